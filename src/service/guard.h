// The guard in front of the service's HTTP API: who may talk to it. Pure functions over the
// request's headers; any thread.
//
// The service listens on 127.0.0.1 only, but a web page in the user's browser can still reach it:
// through a host name that a DNS server points at 127.0.0.1 (refused by the Host check), or by
// sending requests from its own origin (refused by the secret, which only the user's own address
// carries, and by the Origin check on every call).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tw::service {

// The name of the cookie that carries the secret; one per port, so that services on several
// ports keep theirs apart in one browser.
std::string CookieName(int port);

// Whether a Host header names this service: 127.0.0.1:PORT or localhost:PORT.
bool IsOwnHost(std::string_view host, int port);
// Whether an Origin header is this service's own: http://127.0.0.1:PORT or http://localhost:PORT.
bool IsOwnOrigin(std::string_view origin, int port);

// The value of the cookie `name` in a Cookie header.
std::optional<std::string> CookieValue(std::string_view cookie_header, std::string_view name);
// The token of an "Authorization: Bearer TOKEN" header.
std::optional<std::string> BearerToken(std::string_view authorization);

// Compares two secrets in time that does not depend on where they differ.
bool SameSecret(std::string_view given, std::string_view secret);

// Whether a Content-Type is JSON (parameters such as charset aside).
bool IsJsonContentType(std::string_view content_type);

}  // namespace tw::service
