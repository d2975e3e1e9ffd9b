// RequestThread: a worker thread that fetches one page address at a time over HTTP.
//
// The check scheduler owns a pool of these and drives each from its own thread:
//   1. PostRequest(address, head_only, library_cookies) while done_event() is set. The thread
//      fetches the address with GET or HEAD, follows up to 6 redirects (301, 302, 303) and sets
//      done_event() when the outcome is ready. The time-out bounds connecting and every wait for
//      data; the request as a whole, redirects included, ends by its deadline (TransferDeadlineFor
//      the time-out), so a server that trickles fails it with 12002 like a time-out.
//   2. Wait for done_event(), alone or among other events (WaitForAny), or test IsDone().
//   3. Read the outcome: result() and code(), status(), last_modified(), expires(),
//      redirect_kind(); take the body (TakeBody) and a permanent redirect's target
//      (TakePermanentAddress).
//   4. CloseRequest() after every finished request: the object is idle again and keeps its
//      thread, its libcurl handle and open connections for the next request.
// Cancel() may be called from any thread: a running request ends at once with result 3 and code
// 12017 (a request that is not running is not affected). CloseRequest({.end_thread = true})
// cancels, ends the thread and drops the handle with its connections; the next PostRequest
// starts afresh.
//
// Fields are written by the thread only between the posting of a request and the setting of
// done_event(), and read by the scheduler only after it, so they need no lock. A thread that
// ended on a failure is restarted by the next PostRequest, so no request waits forever.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "checking/request_context.h"
#include "checking/retrieval_rules.h"
#include "foundation/event.h"
#include "foundation/worker_thread.h"
#include "platform/error.h"
#include "platform/file_time.h"

namespace tw {

class HttpTransfer;
struct HttpTransferRequest;

enum RequestResult : uint32_t {
  kRequestFollowRedirect = 0,  // internal to the thread; callers never see it
  kRequestSuccess = 1,
  kRequestHttpError = 2,  // code() holds the HTTP status
  kRequestFailure = 3,    // code() holds a Windows-numbered error; also the idle value
};

// How RequestThread::CloseRequest makes the object idle.
struct RequestCloseOptions {
  // Also cancel a running request, end the thread and drop the libcurl handle with its
  // connections.
  bool end_thread = false;
  // Keep the body for TakeBody.
  bool keep_body = false;
};

class RequestThread final : public WorkerThread {
 public:
  static constexpr uint32_t kDefaultTimeoutMs = 20000;

  explicit RequestThread(std::shared_ptr<const RequestContext> context);
  ~RequestThread() override;

  // Applies to connecting and to inactivity, and gives the request's deadline; set by the pool
  // from the Timeout option while idle.
  void set_timeout_ms(uint32_t timeout_ms) { timeout_ms_ = timeout_ms; }
  uint32_t timeout_ms() const { return timeout_ms_; }

  // Starts a request; the scheme and host of the address are lower-cased, the rest is kept. Fails
  // with 170 while a request runs, and when the thread cannot be started (done is set again).
  Error PostRequest(std::string_view address, bool head_only, bool library_cookies);
  bool IsDone() const { return done_event_.IsSet(); }
  Event& done_event() { return done_event_; }

  // The body of a successful GET (ownership passes to the caller); nullopt when there is none.
  std::optional<std::string> TakeBody();
  // The target of a permanent redirect, taken (it is cleared here); nullopt when there is none.
  std::optional<std::string> TakePermanentAddress();
  // Makes the object idle: result 3, redirect kind 0, status 0, code 0; addresses dropped; the
  // body dropped unless kept.
  void CloseRequest(RequestCloseOptions options = {});
  // Ends a running request at once with result 3, code 12017. Any thread.
  void Cancel() { cancel_event_.Set(); }
  // Cancels a running request, then ends the thread.
  void Stop() override;

  uint32_t result() const { return result_; }
  uint32_t code() const { return code_; }
  uint16_t status() const { return status_; }
  RedirectKind redirect_kind() const { return redirect_.kind; }
  uint32_t redirect_count() const { return redirect_.count; }
  FileTime last_modified() const { return last_modified_; }
  FileTime expires() const { return expires_; }
  bool head_only() const { return head_only_; }
  const std::string& address() const { return address_; }
  size_t body_length() const { return body_ ? body_->size() : 0; }

 protected:
  int Run() override;

 private:
  void Fetch();
  void FetchOnce(const std::string& address, bool first_turn,
                 std::chrono::steady_clock::time_point deadline);
  // Explicit mode: the lookup's Cookie header; library mode: the engine's cookies for this turn.
  void AddCookies(HttpTransferRequest& request, bool first_turn);
  void KeepEngineCookies(const std::vector<std::string>& engine_lines);

  const std::shared_ptr<const RequestContext> context_;
  uint32_t timeout_ms_ = kDefaultTimeoutMs;
  Event go_event_{EventReset::kAuto};
  Event done_event_{EventReset::kManual, true};
  Event cancel_event_{EventReset::kManual};
  // Set by the thread, before done, when it is about to end on a failure.
  std::atomic<bool> ending_{false};
  std::unique_ptr<HttpTransfer> transfer_;  // the thread's; made by its first request
  // Library mode: the cookies the engine starts the next turn of a request with.
  std::vector<CookieRecord> engine_records_;

  FileTime last_modified_;
  FileTime expires_;
  uint32_t result_ = kRequestFailure;
  bool head_only_ = false;
  bool library_cookies_ = false;
  uint16_t status_ = 0;
  std::string address_;
  RedirectState redirect_;
  std::optional<std::string> body_;
  uint32_t code_ = 0;
};

}  // namespace tw
