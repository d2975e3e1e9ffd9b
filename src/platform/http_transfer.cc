#include "platform/http_transfer.h"

#include <curl/curl.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>

namespace tw {
namespace {

using Clock = std::chrono::steady_clock;

// How long one poll may sleep while the connection is still being made; libcurl's own timers
// (the connect time-out among them) wake it earlier when they are due.
constexpr int kConnectingPollMs = 1000;

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

// What the callbacks of one transfer share with the loop that drives it.
struct TransferState {
  const HttpTransferRequest* request = nullptr;
  HttpResponse response;
  Clock::time_point last_activity;
  size_t header_bytes = 0;  // of every block so far
  bool connected = false;
  bool headers_invalid = false;
  bool over_cap = false;
  bool out_of_memory = false;
};

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* state = static_cast<TransferState*>(user);
  const size_t n = size * count;
  state->last_activity = Clock::now();
  state->header_bytes += n;
  if (state->header_bytes > kMaxHeaderBytes) {
    state->headers_invalid = true;
    return 0;
  }
  try {
    ResponseHeaders& headers = state->response.headers;
    headers.AddLine(std::string_view(data, n));
    if (headers.invalid()) {
      state->headers_invalid = true;
      return 0;
    }
    if (headers.complete() && headers.status() >= 200 && state->response.received.IsZero()) {
      state->response.received = Now();
      const HttpTransferRequest& request = *state->request;
      if (!request.head_only && request.wants_body && !request.wants_body(headers)) {
        state->response.body_dropped = true;
        return 0;  // ends the transfer here; the loop takes it for a success
      }
    }
  } catch (const std::bad_alloc&) {
    state->out_of_memory = true;
    return 0;
  }
  return n;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* state = static_cast<TransferState*>(user);
  const size_t n = size * count;
  state->last_activity = Clock::now();
  std::string& body = state->response.body;
  if (n > state->request->max_body - body.size()) {
    state->over_cap = true;
    return 0;
  }
  try {
    if (n > body.capacity() - body.size()) {
      // Grown by doubling, as append would, but never past the cap; reserve() would round up to
      // double the old capacity, while a fresh string takes exactly what it is given.
      std::string grown;
      grown.reserve(
          std::min(std::max(body.capacity() * 2, body.size() + n), state->request->max_body));
      grown.append(body);
      body.swap(grown);
    }
    body.append(data, n);
  } catch (const std::bad_alloc&) {
    state->out_of_memory = true;
    return 0;
  }
  return n;
}

// Called when the connection is made (or reused), just before the request goes out: from here
// on the time-out measures inactivity.
int OnConnected(void* user, char*, char*, int, int) {
  auto* state = static_cast<TransferState*>(user);
  state->connected = true;
  state->last_activity = Clock::now();
  return CURL_PREREQFUNC_OK;
}

}  // namespace

struct HttpTransfer::Handles {
  CURL* easy = nullptr;
  CURLM* multi = nullptr;
  std::string default_ca_file;
  std::string default_ca_path;

  ~Handles() {
    if (multi) curl_multi_cleanup(multi);
    if (easy) curl_easy_cleanup(easy);
  }
};

std::chrono::milliseconds TransferDeadlineFor(std::chrono::milliseconds timeout) {
  return std::max(timeout * kTransferDeadlineTimeouts, kMinTransferDeadline);
}

HttpTransfer::HttpTransfer() { GlobalInit(); }

HttpTransfer::~HttpTransfer() = default;

Result<HttpResponse> HttpTransfer::Perform(const HttpTransferRequest& request,
                                           const Event* cancel) {
  if (!handles_) {
    auto handles = std::make_unique<Handles>();
    handles->easy = curl_easy_init();
    handles->multi = curl_multi_init();
    if (!handles->easy || !handles->multi) return Error(err::kNotEnoughMemory);
    char* text = nullptr;
    if (curl_easy_getinfo(handles->easy, CURLINFO_CAINFO, &text) == CURLE_OK && text) {
      handles->default_ca_file = text;
    }
    text = nullptr;
    if (curl_easy_getinfo(handles->easy, CURLINFO_CAPATH, &text) == CURLE_OK && text) {
      handles->default_ca_path = text;
    }
    handles_ = std::move(handles);
  }
  CURL* easy = handles_->easy;

  TransferState state;
  state.request = &request;
  state.last_activity = Clock::now();
  const Clock::time_point deadline =
      state.last_activity + request.deadline.value_or(TransferDeadlineFor(request.timeout));

  curl_slist* list = nullptr;
  for (const std::string& line : request.headers) {
    curl_slist* more = curl_slist_append(list, line.c_str());
    if (!more) {
      curl_slist_free_all(list);
      return Error(err::kNotEnoughMemory);
    }
    list = more;
  }
  const Slist headers(list);

  // Every option, and the cookie store, is set for every transfer, so nothing of the previous
  // one carries over.
  curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  if (request.head_only) curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, request.user_agent.c_str());
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.timeout.count()));
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  const char* bundle = std::getenv("CURL_CA_BUNDLE");
  if (bundle && *bundle) {
    curl_easy_setopt(easy, CURLOPT_CAINFO, bundle);
  } else {
    curl_easy_setopt(
        easy, CURLOPT_CAINFO,
        handles_->default_ca_file.empty() ? nullptr : handles_->default_ca_file.c_str());
  }
  curl_easy_setopt(easy, CURLOPT_CAPATH,
                   handles_->default_ca_path.empty() ? nullptr : handles_->default_ca_path.c_str());
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &state);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &state);
  curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &OnConnected);
  curl_easy_setopt(easy, CURLOPT_PREREQDATA, &state);

  curl_easy_setopt(easy, CURLOPT_COOKIELIST, "ALL");
  if (request.cookie_engine == CookieEngine::kOn) {
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");  // switches the engine on
    for (const std::string& line : request.engine_cookies) {
      curl_easy_setopt(easy, CURLOPT_COOKIELIST, line.c_str());
    }
  }

  if (curl_multi_add_handle(handles_->multi, easy) != CURLM_OK) {
    return Error(err::kInternetInternalError);
  }
  struct Detach {
    CURLM* multi;
    CURL* easy;
    ~Detach() { curl_multi_remove_handle(multi, easy); }
  } detach{handles_->multi, easy};

  CURLcode code = CURLE_OK;
  bool finished = false;
  while (!finished) {
    int running = 0;
    const CURLMcode mc = curl_multi_perform(handles_->multi, &running);
    if (mc != CURLM_OK) {
      code = mc == CURLM_OUT_OF_MEMORY ? CURLE_OUT_OF_MEMORY : CURLE_FAILED_INIT;
      break;
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(handles_->multi, &queued)) {
      if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
        code = message->data.result;
        finished = true;
      }
    }
    if (finished) break;
    if (cancel && cancel->IsSet()) {
      code = CURLE_ABORTED_BY_CALLBACK;
      break;
    }
    const Clock::time_point now = Clock::now();
    if (now >= deadline) {
      code = CURLE_OPERATION_TIMEDOUT;
      break;
    }
    std::chrono::milliseconds wait = std::chrono::milliseconds(kConnectingPollMs);
    if (state.connected) {
      const auto idle =
          std::chrono::duration_cast<std::chrono::milliseconds>(now - state.last_activity);
      if (idle >= request.timeout) {
        code = CURLE_OPERATION_TIMEDOUT;
        break;
      }
      wait = request.timeout - idle;
    }
    // Rounded up, so that the wait does not end just short of the deadline and spin.
    wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
    const int wait_ms = static_cast<int>(wait.count());
    curl_waitfd extra{};
    unsigned extra_count = 0;
    if (cancel) {
      extra.fd = cancel->wait_fd();
      extra.events = CURL_WAIT_POLLIN;
      extra_count = 1;
    }
    if (curl_multi_poll(handles_->multi, &extra, extra_count, wait_ms, nullptr) != CURLM_OK) {
      code = CURLE_FAILED_INIT;
      break;
    }
  }

  if (code == CURLE_WRITE_ERROR && state.response.body_dropped) code = CURLE_OK;
  if (code != CURLE_OK) {
    if (code == CURLE_UNSUPPORTED_PROTOCOL && state.connected) {
      code = CURLE_WEIRD_SERVER_REPLY;  // the answer was no HTTP (libcurl calls it HTTP/0.9)
    } else if (state.out_of_memory) {
      code = CURLE_OUT_OF_MEMORY;
    } else if (state.over_cap) {
      code = CURLE_FILESIZE_EXCEEDED;
    } else if (state.headers_invalid) {
      code = CURLE_WEIRD_SERVER_REPLY;
    } else if (code == CURLE_OUT_OF_MEMORY && state.connected && state.response.received.IsZero()) {
      code = CURLE_WEIRD_SERVER_REPLY;  // how libcurl reports a header line past its cap
    }
    long verify = 0;
    curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verify);
    return MapCurlFailure(code, verify);
  }
  long status = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  state.response.status = static_cast<uint16_t>(status);
  if (request.cookie_engine == CookieEngine::kOn) {
    curl_slist* cookies = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_COOKIELIST, &cookies) == CURLE_OK) {
      const Slist owned(cookies);
      for (curl_slist* c = cookies; c; c = c->next)
        state.response.engine_cookies.push_back(c->data);
    }
  }
  if (state.response.received.IsZero()) state.response.received = Now();
  return std::move(state.response);
}

Error MapCurlFailure(int curl_code, long tls_verify_result) {
  switch (static_cast<CURLcode>(curl_code)) {
    case CURLE_OK:
      return Error();
    case CURLE_UNSUPPORTED_PROTOCOL:
      return Error(err::kInternetUnrecognizedScheme);
    case CURLE_URL_MALFORMAT:
      return Error(err::kInternetInvalidUrl);
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
      return Error(err::kInternetNameNotResolved);
    case CURLE_COULDNT_CONNECT:
    case CURLE_PROXY:
      return Error(err::kInternetCannotConnect);
    case CURLE_OPERATION_TIMEDOUT:
      return Error(err::kInternetTimeout);
    case CURLE_ABORTED_BY_CALLBACK:
      return Error(err::kInternetOperationCancelled);
    case CURLE_PARTIAL_FILE:  // the body ended before its announced length
      return Error(err::kInsufficientBuffer);
    case CURLE_OUT_OF_MEMORY:
    case CURLE_FILESIZE_EXCEEDED:  // the body cap
    case CURLE_WRITE_ERROR:
      return Error(err::kNotEnoughMemory);
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_AGAIN:
      return Error(err::kInternetConnectionAborted);
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_GOT_NOTHING:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_HTTP3:
    case CURLE_TOO_MANY_REDIRECTS:
      return Error(err::kHttpInvalidServerResponse);
    case CURLE_PEER_FAILED_VERIFICATION:
      switch (tls_verify_result) {
        // The chain was good and libcurl's own host name check failed: libcurl leaves 0 or
        // marks it with OpenSSL's "unspecified" 1.
        case X509_V_OK:
        case X509_V_ERR_UNSPECIFIED:
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
          return Error(err::kInternetSecCertCnInvalid);
        case X509_V_ERR_CERT_NOT_YET_VALID:
        case X509_V_ERR_CERT_HAS_EXPIRED:
          return Error(err::kInternetSecCertDateInvalid);
        case X509_V_ERR_CERT_REVOKED:
          return Error(err::kInternetSecCertRevoked);
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_CERT_UNTRUSTED:
          return Error(err::kInternetInvalidCa);
        default:
          return Error(err::kInternetSecInvalidCert);
      }
    case CURLE_SSL_ISSUER_ERROR:
      return Error(err::kInternetInvalidCa);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
    case CURLE_USE_SSL_FAILED:
      return Error(err::kInternetSecurityChannelError);
    default:
      return Error(err::kInternetInternalError);
  }
}

}  // namespace tw
