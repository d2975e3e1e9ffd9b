#include "checking/check_thread.h"

#include <algorithm>
#include <cerrno>

#include "checking/check_pass.h"
#include "pagedb/error_log.h"
#include "settings/checking_options.h"

namespace tw {
namespace {

// Made before main, so that a signal handler never constructs anything.
Event g_interrupt{EventReset::kManual};

}  // namespace

CheckThread::CheckThread() : CheckThread(Options{}) {}

CheckThread::CheckThread(Options options)
    : options_(std::move(options)),
      schedule_timer_(scheduled_check_, options_.schedule_minute),
      timeout_ms_(kDefaultTimeoutMs) {}

CheckThread::~CheckThread() { Stop(); }

void CheckThread::SetEventSink(PageEventSink* sink) {
  std::lock_guard lock(mutex_);
  sink_ = sink;
}

void CheckThread::SetPageFolder(const std::string& folder) {
  std::lock_guard lock(mutex_);
  folder_ = folder;
}

void CheckThread::SetPassSettings(const PassSettings& settings) {
  std::lock_guard lock(mutex_);
  timeout_ms_ = settings.timeoutMs;
  pool_size_ = std::clamp<uint32_t>(settings.poolSize, 1, kMaxPoolSize);
  keep_versions_ = std::min(settings.keepVersions, kMaxKeptVersions);
}

void CheckThread::ApplySchedule(uint32_t unit, uint32_t count) {
  schedule_timer_.Apply(unit, count);
}

void CheckThread::SignalNewPages() { new_pages_.Set(); }
void CheckThread::SignalPageListChanged() { list_changed_.Set(); }
void CheckThread::SignalStopChecking() { stop_checking_.Set(); }
void CheckThread::SignalCheckNow() { scheduled_check_.Set(); }

void CheckThread::InterruptFromSignal() {
  const int saved = errno;
  g_interrupt.Set();
  errno = saved;
}

bool CheckThread::PrepareStart(Mode mode) {
  WorkerThread::Stop();
  mode_ = mode;
  std::shared_ptr<const RequestContext> context = options_.request_context;
  if (!context) context = RequestContext::FromUserSettings();
  std::lock_guard lock(mutex_);
  last_pass_error_ = Error();
  context_ = std::move(context);
  return context_ != nullptr;
}

bool CheckThread::Start() {
  if (!PrepareStart(Mode::kService)) return false;
  SetPriority(ThreadPriority::kBelowNormal);
  if (!Create() || !Resume()) return false;
  return started_event().Wait();
}

void CheckThread::SignalStop() { stop_event().Set(); }

void CheckThread::Stop() { WorkerThread::Stop(); }

Error CheckThread::RunOnce() {
  if (!PrepareStart(Mode::kOneShot)) return Error(err::kGenFailure);
  if (!Create() || !Resume()) return Error(err::kGenFailure);
  const bool ended = ended_event().Wait();
  WorkerThread::Stop();  // joins the thread, which has ended
  if (!ended) return Error(err::kGenFailure);
  std::lock_guard lock(mutex_);
  return last_pass_error_;
}

int CheckThread::Run() {
  SignalStarted();
  if (mode_ == Mode::kOneShot) {
    const Error e = RunPass(PassKind::kAllPages);
    {
      std::lock_guard lock(mutex_);
      last_pass_error_ = e;
    }
    Report(e);
    return 1;
  }
  for (;;) {
    const WaitResult woke = WaitForAny({&stop_event(), &scheduled_check_, &new_pages_}, kInfinite);
    if (woke.Is(stop_event())) return 1;
    if (woke.Is(scheduled_check_)) {
      if (Error e = RunPass(PassKind::kAllPages)) {
        // No further checks until the page database starts the thread again.
        Report(e);
        return -1;
      }
    } else if (woke.Is(new_pages_)) {
      Report(RunPass(PassKind::kNewPagesOnly));
    } else {
      return -1;
    }
  }
}

Error CheckThread::RunPass(PassKind kind) {
  PassSetup setup;
  {
    std::lock_guard lock(mutex_);
    setup.folder = folder_;
    setup.pool_size = pool_size_;
    setup.timeout_ms = timeout_ms_;
    setup.keep_versions = keep_versions_;
    setup.context = context_;
    setup.sink = sink_;
  }
  setup.kind = kind;
  setup.one_shot = mode_ == Mode::kOneShot;
  setup.stop = &stop_event();
  setup.interrupt = &g_interrupt;
  setup.stop_checking = &stop_checking_;
  setup.list_changed = &list_changed_;
  setup.pass_running = &pass_running_;
  const Error e = RunCheckPass(setup);
  pass_running_ = false;
  return e;
}

void CheckThread::Report(Error error) {
  std::string folder;
  PageEventSink* sink;
  {
    std::lock_guard lock(mutex_);
    folder = folder_;
    sink = sink_;
  }
  if (folder.empty()) {
    // No folder to put an error file in.
    if (!error.ok() && !error.IsNothingThere()) (void)PostErrorEvent(sink, 0, error);
    return;
  }
  ReportError(folder, sink, error);
}

}  // namespace tw
