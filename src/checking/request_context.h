// What every request of a process shares: the user agent and the browser's cookies. The page
// database reads it when it starts and hands it to its request threads.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "checking/cookie_jar.h"

namespace tw {

struct RequestContext {
  std::string user_agent;
  std::shared_ptr<CookieJar> cookies;  // null: no cookies are ever sent
  // How long one request may take in all, its redirects included; none: the transfer deadline
  // of the request thread's time-out (TransferDeadlineFor). Tests make it short.
  std::optional<std::chrono::milliseconds> request_deadline;

  // The user agent from the settings store (ReadUserAgent) and the cookie sources of the user
  // (UserCookieSources).
  static std::shared_ptr<const RequestContext> FromUserSettings();
};

// The `User Agent` value under the browser's Internet Settings key of the settings store when it
// is there, not empty, shorter than 260 bytes and a single line; else string 149.
std::string ReadUserAgent();

// The cookie sources of the user: the settings store's CookieFile value and the cookie database
// of every browser profile found below HOME.
CookieJar::Sources UserCookieSources();

}  // namespace tw
