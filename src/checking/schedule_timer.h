// ScheduleTimer: the online schedule. A TimerThread that sets the scheduled-check event it was
// given once per period, for the check thread that owns both.
//
// Apply takes the schedule as the options give it (unit 1 = minutes, any other unit = hours; a
// count of 0 = no schedule). Applying the pair applied last changes nothing, so rereading
// unchanged options never delays the next check; any other pair restarts the timer, whose first
// firing then comes one full period later. Members may be called from any thread.
#pragma once

#include <cstdint>
#include <mutex>

#include "foundation/event.h"
#include "foundation/thread_annotations.h"
#include "foundation/timer_thread.h"

namespace tw {

class ScheduleTimer {
 public:
  // `minute` is the length of one schedule minute; tests shorten it.
  explicit ScheduleTimer(Event& scheduled_check, Timeout minute = std::chrono::minutes(1));
  ~ScheduleTimer();
  ScheduleTimer(const ScheduleTimer&) = delete;
  ScheduleTimer& operator=(const ScheduleTimer&) = delete;

  void Apply(uint32_t unit, uint32_t count);

  // The period of the schedule (0 without one).
  Timeout period() const;
  // How often the timer was (re)started.
  uint64_t starts() const;

 private:
  Event& scheduled_check_;
  const Timeout minute_;
  TimerThread timer_;
  mutable std::mutex mutex_;
  uint32_t unit_ TW_GUARDED_BY(mutex_) = 0;
  uint32_t count_ TW_GUARDED_BY(mutex_) = 0;
  uint64_t starts_ TW_GUARDED_BY(mutex_) = 0;
};

}  // namespace tw
