// The rules of HTTP retrieval that do not depend on the transport: which redirects are followed
// and what they leave behind, response times moved from the server's clock to ours, and the
// Content-Length check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/file_time.h"
#include "platform/http_headers.h"

namespace tw {

// Redirects followed per request at most; one more fails with 12028.
inline constexpr uint32_t kMaxRedirects = 6;
// The longest address the system stores (a page file keeps its length in 16 bits).
inline constexpr size_t kMaxAddressLength = 2084;

enum class RedirectKind : uint32_t { kNone = 0, kTemporary = 1, kPermanent = 2 };

// What one request has seen of redirects so far.
struct RedirectState {
  RedirectKind kind = RedirectKind::kNone;
  uint32_t count = 0;
  std::optional<std::string> redirect_address;   // what the next turn fetches
  std::optional<std::string> permanent_address;  // target of a permanent redirect, for the page
};

enum class RedirectOutcome {
  kFollow,       // fetch state.redirect_address next
  kNotFollowed,  // the request ends as an HTTP error with the status
  kFailed,       // the request fails with `code`
};

struct RedirectDecision {
  RedirectOutcome outcome = RedirectOutcome::kFailed;
  uint32_t code = 0;
};

// Decides on a 3xx response and updates the state. `address` is the request's own address; a
// relative Location is taken against the address just fetched (the redirect address if there is
// one). Only 301, 302 and 303 are followed. A 301 records its target as the permanent address
// unless a temporary redirect came between two permanent ones, so that a page is never moved to
// where a temporary redirect led.
RedirectDecision DecideRedirect(RedirectState& state, uint16_t status,
                                std::optional<std::string_view> location, std::string_view address);

struct ResponseTimes {
  FileTime last_modified;  // zero when absent
  FileTime expires;        // zero when absent
};

// Clocks closer than this are taken to agree (see MoveTimesToLocalClock).
inline constexpr double kClockAgreementSeconds = 5;

// Last-Modified and Expires moved from the server's clock (its Date header, else ours) to ours:
// a Last-Modified equal to the server's Date is our `local_now`. A server whose clock is within
// kClockAgreementSeconds of ours keeps its times as they are. Unreadable dates are absent.
ResponseTimes MoveTimesToLocalClock(const ResponseHeaders& headers, FileTime local_now);

// Error 122 when the body is shorter than the response's Content-Length; no length, or a length
// that is no number, checks nothing.
Error CheckContentLength(const ResponseHeaders& headers, size_t body_length);

}  // namespace tw
