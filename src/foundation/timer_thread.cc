#include "foundation/timer_thread.h"

namespace tw {

TimerThread::~TimerThread() { Stop(); }

void TimerThread::Configure(Callback callback, Timeout period, bool repeat) {
  std::lock_guard lock(mutex_);
  callback_ = std::move(callback);
  period_ = period;
  repeat_ = repeat;
}

void TimerThread::Clear() { Configure(nullptr, Timeout{0}, false); }

Timeout TimerThread::period() const {
  std::lock_guard lock(mutex_);
  return period_;
}

int TimerThread::Run() {
  Callback callback;
  Timeout period;
  bool repeat;
  {
    std::lock_guard lock(mutex_);
    callback = callback_;
    period = period_;
    repeat = repeat_;
  }
  SignalStarted();
  for (;;) {
    const WaitResult result = WaitForAny({&stop_event()}, period);
    if (result.signaled()) return 0;
    if (!result.timed_out()) return -1;
    const bool go_on = callback ? callback() : true;
    if (!go_on || !repeat) return 1;
  }
}

}  // namespace tw
