#include "checking/schedule_timer.h"

namespace tw {

ScheduleTimer::ScheduleTimer(Event& scheduled_check, Timeout minute)
    : scheduled_check_(scheduled_check), minute_(minute) {}

ScheduleTimer::~ScheduleTimer() { timer_.Stop(); }

void ScheduleTimer::Apply(uint32_t unit, uint32_t count) {
  std::lock_guard lock(mutex_);
  if (unit == unit_ && count == count_) return;
  unit_ = unit;
  count_ = count;
  timer_.Stop();
  if (count == 0) {
    timer_.Clear();
    return;
  }
  // Counted in 64 bits: a long schedule must not wrap round to a short one.
  const Timeout period = minute_ * (unit == 1 ? int64_t{1} : int64_t{60}) * int64_t{count};
  timer_.Configure(
      [this] {
        scheduled_check_.Set();
        return true;
      },
      period, true);
  if (timer_.Start()) ++starts_;
}

Timeout ScheduleTimer::period() const { return timer_.period(); }

uint64_t ScheduleTimer::starts() const {
  std::lock_guard lock(mutex_);
  return starts_;
}

}  // namespace tw
