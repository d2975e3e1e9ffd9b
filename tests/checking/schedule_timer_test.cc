#include "checking/schedule_timer.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tw {
namespace {

TEST(ScheduleTimerTest, RestartsOnlyForANewScheduleAndFiresEachPeriod) {
  Event scheduled(EventReset::kAuto);
  // A schedule minute of 5 ms: "every 2 minutes" fires every 10 ms.
  ScheduleTimer timer(scheduled, std::chrono::milliseconds(5));
  timer.Apply(7, 0);
  EXPECT_EQ(timer.starts(), 0u);
  EXPECT_EQ(timer.period().count(), 0);

  timer.Apply(1, 2);
  EXPECT_EQ(timer.period(), std::chrono::milliseconds(10));
  timer.Apply(1, 2);
  EXPECT_EQ(timer.starts(), 1u);
  for (int firing = 0; firing < 3; ++firing) EXPECT_TRUE(scheduled.Wait(std::chrono::seconds(5)));

  timer.Apply(2, 2);  // any unit but 1 counts hours
  EXPECT_EQ(timer.period(), std::chrono::milliseconds(600));
  timer.Apply(0, 2);
  EXPECT_EQ(timer.starts(), 3u);

  timer.Apply(0, 0);
  EXPECT_EQ(timer.period().count(), 0);
  scheduled.Reset();
  EXPECT_FALSE(scheduled.Wait(std::chrono::milliseconds(50)));

  // A long schedule stays long instead of wrapping round in 32 bits.
  ScheduleTimer hours(scheduled);
  hours.Apply(2, 2000);
  EXPECT_EQ(hours.period(), std::chrono::hours(2000));
}

}  // namespace
}  // namespace tw
