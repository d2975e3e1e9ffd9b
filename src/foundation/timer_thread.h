// TimerThread: calls a callback once per period until stopped.
//
// The first call comes one full period after Start, then one per period while the repeat flag is
// on and the callback asks to continue. The callback runs on the timer's own thread.
#pragma once

#include <functional>
#include <mutex>

#include "foundation/thread_annotations.h"
#include "foundation/worker_thread.h"

namespace tw {

class TimerThread final : public WorkerThread {
 public:
  // Returns true to continue, false to stop the timer.
  using Callback = std::function<bool()>;

  TimerThread() = default;
  ~TimerThread() override;

  // Takes effect at the next Start.
  void Configure(Callback callback, Timeout period, bool repeat);
  // Forgets callback, period and repeat flag (the timer must be stopped first).
  void Clear();
  Timeout period() const;

 protected:
  // 0 when stopped, 1 when the callback said stop or the timer does not repeat, -1 on a failed
  // wait.
  int Run() override;

 private:
  mutable std::mutex mutex_;
  Callback callback_ TW_GUARDED_BY(mutex_);
  Timeout period_ TW_GUARDED_BY(mutex_){0};
  bool repeat_ TW_GUARDED_BY(mutex_) = false;
};

}  // namespace tw
