#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "foundation/event.h"
#include "foundation/message_queue.h"
#include "support/sandbox.h"

namespace tw {
namespace {

using std::chrono::milliseconds;

TEST(EventTest, ManualResetStaysSetUntilReset) {
  Event event(EventReset::kManual);
  EXPECT_FALSE(event.Wait(milliseconds(0)));
  event.Set();
  EXPECT_TRUE(event.Wait(milliseconds(0)));
  EXPECT_TRUE(event.Wait(milliseconds(0)));
  event.Reset();
  EXPECT_FALSE(event.IsSet());
}

TEST(EventTest, AutoResetIsTakenByExactlyOneWaiter) {
  Event event(EventReset::kAuto);
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i) {
    waiters.emplace_back([&] {
      if (event.Wait(milliseconds(300))) ++woken;
    });
  }
  event.Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(woken.load(), 1);
  EXPECT_FALSE(event.IsSet());
}

TEST(EventTest, IsSetDoesNotConsumeAnAutoResetEvent) {
  Event event(EventReset::kAuto, true);
  EXPECT_TRUE(event.IsSet());
  EXPECT_TRUE(event.Wait(milliseconds(0)));
  EXPECT_FALSE(event.Wait(milliseconds(0)));
}

TEST(WaitForAnyTest, ReportsTheFirstSignalledObjectInListOrder) {
  Event a(EventReset::kAuto), b(EventReset::kManual), c(EventReset::kAuto);
  c.Set();
  b.Set();
  EXPECT_EQ(WaitForAny({&a, &b, &c}, milliseconds(0)).index, 1);
  b.Reset();
  EXPECT_EQ(WaitForAny({&a, &b, &c}, milliseconds(0)).index, 2);
  EXPECT_TRUE(WaitForAny({&a, &b, &c}, milliseconds(20)).timed_out());
}

TEST(WaitForAnyTest, AVeryLongTimeoutStillWaitsAndWakesOnALaterSet) {
  // Schedules of thousands of hours wait longer than poll's int milliseconds and, unchecked, than
  // the clock can add. Null entries are passed over.
  Event event(EventReset::kAuto);
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    event.Set();
  });
  EXPECT_EQ(WaitForAny({nullptr, &event}, Timeout::max()).index, 1);
  setter.join();
  std::thread again([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    event.Set();
  });
  EXPECT_EQ(WaitForAny({&event}, std::chrono::hours(2000)).index, 0);
  again.join();
}

TEST(MessageQueueTest, DeliversInOrderAndWakesWaiters) {
  MessageQueue queue;
  Event stop(EventReset::kManual);
  std::thread poster([&] {
    for (uint32_t i = 1; i <= 100; ++i) ASSERT_TRUE(queue.Post(Message{i, i * 2, nullptr}));
  });
  uint32_t expected = 1;
  while (expected <= 100) {
    const WaitResult r = WaitForAny({&stop, &queue}, std::chrono::seconds(5));
    ASSERT_EQ(r.index, 1);
    while (auto message = queue.TryGet()) {
      EXPECT_EQ(message->id, expected);
      EXPECT_EQ(message->param, expected * 2);
      ++expected;
    }
  }
  poster.join();
  EXPECT_FALSE(queue.TryAcquire());
}

struct Counted : MessagePayload {
  explicit Counted(std::atomic<int>& live) : live_(live) { ++live_; }
  ~Counted() override { --live_; }
  std::atomic<int>& live_;
};

TEST(MessageQueueTest, ClosedQueueRefusesAndFreesPayloads) {
  std::atomic<int> live{0};
  MessageQueue queue;
  ASSERT_TRUE(queue.Post(Message{1, 0, std::make_unique<Counted>(live)}));
  EXPECT_EQ(live.load(), 1);
  queue.Close();
  EXPECT_EQ(live.load(), 0);
  EXPECT_FALSE(queue.Post(Message{2, 0, std::make_unique<Counted>(live)}));
  EXPECT_EQ(live.load(), 0);
  EXPECT_FALSE(queue.TryGet());

  // A refused TryPost leaves the message with the caller, to hand to someone else.
  Message kept{3, 0, std::make_unique<Counted>(live)};
  EXPECT_FALSE(queue.TryPost(kept));
  EXPECT_EQ(live.load(), 1);
  EXPECT_TRUE(kept.payload);
  queue.Reopen();
  EXPECT_TRUE(queue.TryPost(kept));
  EXPECT_EQ(queue.TryGet()->id, 3u);
}

TEST(MessageQueueTest, TakePayloadChecksTheType) {
  std::atomic<int> live{0};
  Message message{1, 0, std::make_unique<Counted>(live)};
  struct Other : MessagePayload {};
  EXPECT_EQ(TakePayload<Other>(message), nullptr);
  auto taken = TakePayload<Counted>(message);
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(message.payload, nullptr);
  taken.reset();
  EXPECT_EQ(live.load(), 0);
}

}  // namespace
}  // namespace tw
