// HttpTransfer: one HTTP transfer at a time on a libcurl handle that is kept, with its open
// connections, for the object's life.
//
// Perform blocks until the response is in, the transfer fails, a time-out or the deadline passes,
// or the cancel event is set. The time-out applies to connecting (the TLS handshake included) and
// to inactivity (no header line nor piece of body received for that long); the deadline bounds the
// whole transfer, so that a server which trickles a byte now and then cannot hold it for good,
// while a large page that keeps coming has several time-outs' worth of time. What a server sends is
// capped too: the header blocks together, each header line, the body. So what one transfer keeps is
// at most the body cap plus the header cap, whatever the server does (while the body grows, its
// old copy lives beside the new one for a moment). Redirects are never followed here.
// Only http and https are spoken; TLS certificates are verified against the system's CAs, or
// against the bundle that the variable CURL_CA_BUNDLE names (as for the curl tool); proxies come
// from the environment as libcurl reads them (http_proxy, https_proxy, no_proxy).
//
// Threads: one thread at a time performs; the cancel event may be set from any thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/event.h"
#include "platform/error.h"
#include "platform/file_time.h"
#include "platform/http_headers.h"

namespace tw {

// No response body is read past this; a hostile or broken server cannot exhaust memory.
inline constexpr size_t kMaxBodyBytes = size_t{64} << 20;
// All the header blocks of one transfer together: interim 1xx responses and trailers count too,
// so that a server cannot keep a transfer busy with endless headers. A single header line is held
// by libcurl up to CURL_MAX_HTTP_HEADER (100 KiB) until its end comes.
inline constexpr size_t kMaxHeaderBytes = kMaxHeaderBlockBytes;

// The whole-transfer deadline for a time-out: this many time-outs, and never less than
// kMinTransferDeadline (a short time-out must not cut off a large page on a slow line).
inline constexpr int kTransferDeadlineTimeouts = 6;
inline constexpr std::chrono::milliseconds kMinTransferDeadline = std::chrono::minutes(2);
std::chrono::milliseconds TransferDeadlineFor(std::chrono::milliseconds timeout);

enum class CookieEngine {
  // The handle's cookie store is emptied first, so only a Cookie header given in `headers` is sent.
  kOff,
  // The store is emptied and loaded with `engine_cookies`; libcurl then sends the cookies that
  // match, and the response tells what the store holds afterwards (what it set included).
  kOn,
};

struct HttpTransferRequest {
  std::string url;
  bool head_only = false;
  std::string user_agent;
  // Extra header lines "Name: value"; "Name:" removes a header libcurl would add itself.
  std::vector<std::string> headers;
  CookieEngine cookie_engine = CookieEngine::kOff;
  // Lines of a Netscape cookie file (tab-separated), loaded with kOn.
  std::vector<std::string> engine_cookies;
  // Connecting, and each wait for more of the response.
  std::chrono::milliseconds timeout{20000};
  // The whole transfer; none: TransferDeadlineFor(timeout).
  std::optional<std::chrono::milliseconds> deadline;
  size_t max_body = kMaxBodyBytes;
  // GET only: asked once the final header block is in; false ends the transfer without the body.
  std::function<bool(const ResponseHeaders&)> wants_body;
};

struct HttpResponse {
  uint16_t status = 0;
  ResponseHeaders headers;  // of the final response (interim 1xx blocks are dropped)
  FileTime received;        // when its header block ended, on the local clock
  std::string body;         // GET only
  bool body_dropped = false;
  std::vector<std::string> engine_cookies;  // with kOn: the store afterwards, as cookie-file lines
};

class HttpTransfer {
 public:
  HttpTransfer();
  ~HttpTransfer();
  HttpTransfer(const HttpTransfer&) = delete;
  HttpTransfer& operator=(const HttpTransfer&) = delete;

  // Performs one transfer. A body shorter than its Content-Length fails with 122, one over the
  // cap with 8, headers over theirs with 12152, a cancelled transfer with 12017, a time-out or a
  // passed deadline with 12002; see MapCurlFailure.
  Result<HttpResponse> Perform(const HttpTransferRequest& request, const Event* cancel);

 private:
  struct Handles;
  std::unique_ptr<Handles> handles_;  // made by the first Perform
};

// The one place where the outcome of a libcurl transfer becomes an error number: libcurl's code,
// with the TLS library's verification result for certificate failures.
Error MapCurlFailure(int curl_code, long tls_verify_result);

}  // namespace tw
