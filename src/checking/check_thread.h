// CheckThread: the thread that runs check passes over the page folder (check_pass.h), owned by
// the page database through CheckThreadControl.
//
// In service mode (Start) it sleeps until a pass is asked for: the scheduled-check event (the
// online schedule's ScheduleTimer, or the Refresh command through SignalCheckNow) asks for a
// pass over all pages, the new-pages event for one over pages never checked. A scheduled pass
// that fails is reported through the error log and ends the thread; a failed new-pages pass is
// reported and the thread waits on. In one-shot mode (RunOnce) it runs one pass over all pages
// and ends; no page database thread watches the folder then, so the pass acts on a "crs" stop
// request itself.
//
// Every member may be called from any thread but the check thread's own; SignalStop never
// blocks, RunOnce blocks until its pass has ended. InterruptFromSignal is for signal handlers.
//
// Stop protocol: SignalStop sets the stop event; a running pass ends at its next stop test (its
// requests are cut short, page files stay as they were or are wholly written, the lock file is
// closed). Stop does the same and waits for the thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "checking/check_pass.h"
#include "checking/request_context.h"
#include "checking/schedule_timer.h"
#include "foundation/event.h"
#include "foundation/thread_annotations.h"
#include "foundation/worker_thread.h"
#include "pagedb/check_thread_control.h"
#include "platform/error.h"

namespace tw {

class CheckThread final : public WorkerThread, public CheckThreadControl {
 public:
  struct Options {
    // Shared by every request of a pass; null: the user's agent and cookies, read at each start.
    std::shared_ptr<const RequestContext> request_context;
    // The length of one schedule minute (tests shorten it).
    Timeout schedule_minute = std::chrono::minutes(1);
  };

  CheckThread();
  explicit CheckThread(Options options);
  ~CheckThread() override;

  // CheckThreadControl.
  void SetEventSink(PageEventSink* sink) override;
  void SetPageFolder(const std::string& folder) override;
  void SetPassSettings(const PassSettings& settings) override;
  void ApplySchedule(uint32_t unit, uint32_t count) override;
  void SignalNewPages() override;
  void SignalPageListChanged() override;
  void SignalStopChecking() override;
  // The Refresh command: a pass over all pages, as the schedule asks for one.
  void SignalCheckNow() override;
  bool PassRunning() const override { return pass_running_.load(std::memory_order_relaxed); }
  bool Start() override;
  void SignalStop() override;
  void Stop() override;
  // One pass over all pages on a fresh thread; the pass's error when it failed (also reported
  // through the error log), 31 when the thread could not run.
  Error RunOnce() override;

  // For SIGINT and SIGTERM handlers; async-signal-safe (it writes to an eventfd). Every pass of
  // the process, running or still to come, ends at its next stop test as on the thread's stop
  // (without the user-stop marker "daa"), and RunOnce returns. It cannot be undone: the process
  // is on its way out.
  static void InterruptFromSignal();

  const ScheduleTimer& schedule_timer() const { return schedule_timer_; }

 protected:
  int Run() override;

 private:
  enum class Mode { kService, kOneShot };
  Error RunPass(PassKind kind);
  bool PrepareStart(Mode mode);
  void Report(Error error);

  const Options options_;
  Event scheduled_check_{EventReset::kAuto};
  Event new_pages_{EventReset::kAuto};
  Event list_changed_{EventReset::kManual};
  Event stop_checking_{EventReset::kManual};
  ScheduleTimer schedule_timer_;  // after the event it sets

  std::atomic<bool> pass_running_{false};
  std::atomic<Mode> mode_{Mode::kService};

  mutable std::mutex mutex_;
  Error last_pass_error_ TW_GUARDED_BY(mutex_);  // of the one-shot pass
  PageEventSink* sink_ TW_GUARDED_BY(mutex_) = nullptr;
  std::string folder_ TW_GUARDED_BY(mutex_);
  uint32_t timeout_ms_ TW_GUARDED_BY(mutex_);
  uint32_t pool_size_ TW_GUARDED_BY(mutex_) = 1;
  uint32_t keep_versions_ TW_GUARDED_BY(mutex_) = kDefaultKeptVersions;
  std::shared_ptr<const RequestContext> context_ TW_GUARDED_BY(mutex_);
};

}  // namespace tw
