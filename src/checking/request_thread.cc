#include "checking/request_thread.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <new>

#include "foundation/ascii.h"
#include "platform/http_transfer.h"
#include "platform/url.h"

namespace tw {

RequestThread::RequestThread(std::shared_ptr<const RequestContext> context)
    : context_(std::move(context)) {}

RequestThread::~RequestThread() { Stop(); }

Error RequestThread::PostRequest(std::string_view address, bool head_only, bool library_cookies) {
  if (!done_event_.IsSet()) return Error(err::kBusy);
  try {
    address_ = LowerSchemeAndHost(address);
  } catch (const std::bad_alloc&) {
    return Error(err::kNotEnoughMemory);
  }
  last_modified_ = {};
  expires_ = {};
  redirect_ = {};
  body_.reset();
  status_ = 0;
  code_ = 0;
  result_ = kRequestFailure;
  head_only_ = head_only;
  library_cookies_ = library_cookies;
  cancel_event_.Reset();

  // A thread that ended on a failure is joined here and made anew below.
  if (ending_.exchange(false)) WorkerThread::Stop();
  done_event_.Reset();
  go_event_.Set();
  if (!Create() || !Resume()) {
    go_event_.Reset();
    code_ = err::kNotEnoughMemory;
    done_event_.Set();
    return Error(code_);
  }
  return Error();
}

std::optional<std::string> RequestThread::TakeBody() {
  std::optional<std::string> body = std::move(body_);
  body_.reset();
  return body;
}

std::optional<std::string> RequestThread::TakePermanentAddress() {
  std::optional<std::string> address = std::move(redirect_.permanent_address);
  redirect_.permanent_address.reset();
  return address;
}

void RequestThread::CloseRequest(RequestCloseOptions options) {
  if (options.end_thread) {
    Stop();
    transfer_.reset();
  } else if (!done_event_.IsSet()) {
    // Nothing may be freed under a running request: cut it short first.
    Cancel();
    done_event_.Wait();
  }
  result_ = kRequestFailure;
  redirect_ = {};
  status_ = 0;
  address_.clear();
  if (!options.keep_body) body_.reset();
  code_ = 0;
}

void RequestThread::Stop() {
  cancel_event_.Set();
  WorkerThread::Stop();
  ending_ = false;
  go_event_.Reset();
  // A request posted but never begun has nobody left to finish it.
  if (!done_event_.IsSet()) {
    result_ = kRequestFailure;
    code_ = err::kInternetOperationCancelled;
    done_event_.Set();
  }
}

int RequestThread::Run() {
  SignalStarted();
  for (;;) {
    const WaitResult woke = WaitForAny({&stop_event(), &go_event_}, kInfinite);
    if (woke.Is(stop_event())) return 0;
    if (!woke.Is(go_event_)) {
      result_ = kRequestFailure;
      code_ = err::kGenFailure;
      ending_ = true;
      done_event_.Set();
      return -1;
    }
    if (address_.empty()) {
      // Nothing to fetch: the thread ends, as after any failure it cannot recover from; the next
      // request restarts it.
      result_ = kRequestFailure;
      code_ = err::kInternetInvalidUrl;
      ending_ = true;
      done_event_.Set();
      return -1;
    }
    Fetch();
    done_event_.Set();
  }
}

void RequestThread::Fetch() {
  const std::chrono::milliseconds timeout(timeout_ms_);
  const auto deadline = std::chrono::steady_clock::now() +
                        context_->request_deadline.value_or(TransferDeadlineFor(timeout));
  std::string current = address_;
  bool first_turn = true;
  for (;;) {
    FetchOnce(current, first_turn, deadline);
    if (result_ != kRequestFollowRedirect) return;
    if (StopRequested() || cancel_event_.IsSet()) {
      result_ = kRequestFailure;
      code_ = err::kInternetOperationCancelled;
      return;
    }
    current = *redirect_.redirect_address;
    first_turn = false;
  }
}

void RequestThread::AddCookies(HttpTransferRequest& request, bool first_turn) {
  const int64_t now_unix = Now().ToUnixSeconds();
  if (!library_cookies_) {
    request.cookie_engine = CookieEngine::kOff;
    if (context_->cookies) {
      const std::string list = context_->cookies->Current()->HeaderFor(request.url, now_unix);
      if (!list.empty()) request.headers.push_back("Cookie: " + list);
    }
    return;
  }
  // libcurl's engine would send secure cookies over plain HTTP to loopback hosts; they are held
  // back from it on such turns and kept for later ones.
  request.cookie_engine = CookieEngine::kOn;
  if (first_turn) {
    engine_records_.clear();
    if (context_->cookies) engine_records_ = context_->cookies->Current()->records();
  }
  const bool https = StartsWithIgnoreCase(request.url, "https://");
  request.engine_cookies = NetscapeLines(engine_records_, now_unix, https);
  if (https) {
    engine_records_.clear();
  } else {
    std::erase_if(engine_records_, [](const CookieRecord& r) { return !r.secure; });
  }
}

void RequestThread::KeepEngineCookies(const std::vector<std::string>& engine_lines) {
  // What the engine holds now (what the response set included) comes first; the secure cookies
  // held back from this turn follow.
  std::string lines;
  for (const std::string& line : engine_lines) lines.append(line).append("\n");
  std::vector<CookieRecord> records = ParseCookiesTxt(lines);
  records.insert(records.end(), std::make_move_iterator(engine_records_.begin()),
                 std::make_move_iterator(engine_records_.end()));
  engine_records_ = CookieSet(std::move(records)).records();
}

void RequestThread::FetchOnce(const std::string& address, bool first_turn,
                              std::chrono::steady_clock::time_point deadline) {
  body_.reset();
  last_modified_ = {};
  expires_ = {};
  result_ = kRequestFailure;
  try {
    if (!transfer_) transfer_ = std::make_unique<HttpTransfer>();

    HttpTransferRequest request;
    request.url = address;
    request.head_only = head_only_;
    request.user_agent = context_->user_agent;
    request.timeout = std::chrono::milliseconds(timeout_ms_);
    // What is left of the request's own; a transfer past it fails at once.
    request.deadline = std::max(
        std::chrono::milliseconds(0),
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()));
    // Always a fresh copy from the server, and no Accept line: any type will do.
    request.headers = {"Pragma: no-cache", "Cache-Control: no-cache", "Accept:"};
    AddCookies(request, first_turn);
    // Only a success brings a body worth reading; a redirect's or an error's is dropped unread.
    request.wants_body = [](const ResponseHeaders& headers) { return headers.status() / 100 == 2; };

    Result<HttpResponse> response = transfer_->Perform(request, &cancel_event_);
    if (!response.ok()) {
      code_ = response.error().code();
      return;
    }
    status_ = response->status;
    if (library_cookies_) KeepEngineCookies(response->engine_cookies);
    if (status_ / 100 == 3) {
      const RedirectDecision decision =
          DecideRedirect(redirect_, status_, response->headers.Find("Location"), address_);
      switch (decision.outcome) {
        case RedirectOutcome::kFollow:
          result_ = kRequestFollowRedirect;
          return;
        case RedirectOutcome::kNotFollowed:
          result_ = kRequestHttpError;
          code_ = status_;
          return;
        case RedirectOutcome::kFailed:
          code_ = decision.code;
          return;
      }
    }
    if (status_ / 100 != 2) {
      result_ = kRequestHttpError;
      code_ = status_;
      return;
    }
    const ResponseTimes times = MoveTimesToLocalClock(response->headers, response->received);
    last_modified_ = times.last_modified;
    expires_ = times.expires;
    if (!head_only_) {
      if (Error e = CheckContentLength(response->headers, response->body.size())) {
        code_ = e.code();
        last_modified_ = {};
        expires_ = {};
        return;
      }
      if (!response->body.empty()) body_ = std::move(response->body);
    }
    result_ = kRequestSuccess;
  } catch (const std::bad_alloc&) {
    body_.reset();
    result_ = kRequestFailure;
    code_ = err::kNotEnoughMemory;
  }
}

}  // namespace tw
