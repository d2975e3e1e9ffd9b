#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "foundation/timer_thread.h"
#include "foundation/worker_thread.h"
#include "support/sandbox.h"

namespace tw {
namespace {

using std::chrono::milliseconds;

// Waits for stop or messages; counts messages and runs.
class EchoThread final : public WorkerThread {
 public:
  ~EchoThread() override { Stop(); }
  std::atomic<int> runs{0};
  std::atomic<int> messages_seen{0};
  std::atomic<bool> saw_stop_first{false};

 protected:
  int Run() override {
    ++runs;
    if (StopRequested()) {
      saw_stop_first = true;
      return 7;
    }
    SignalStarted();
    for (;;) {
      const WaitResult r = WaitForAny({&stop_event(), &messages()}, kInfinite);
      if (r.index != 1) return 1;
      while (auto m = messages().TryGet()) messages_seen += static_cast<int>(m->param);
    }
  }
};

TEST(WorkerThreadTest, StartRunsAndStopJoins) {
  EchoThread thread;
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(thread.started_event().Wait(std::chrono::seconds(5)));
  EXPECT_FALSE(thread.ended_event().IsSet());
  ASSERT_TRUE(thread.PostThreadMessage(Message{1, 5, nullptr}));
  ASSERT_TRUE(test::WaitFor([&] { return thread.messages_seen == 5; }));
  thread.Stop();
  EXPECT_TRUE(thread.ended_event().IsSet());
  EXPECT_EQ(thread.exit_code(), 1);
  EXPECT_FALSE(thread.HasThread());
}

TEST(WorkerThreadTest, StoppingASuspendedThreadLetsItSeeTheStopFirst) {
  EchoThread thread;
  ASSERT_TRUE(thread.Create());
  EXPECT_EQ(thread.runs.load(), 0);  // suspended: Run has not begun
  thread.Stop();
  EXPECT_TRUE(thread.saw_stop_first);
  EXPECT_EQ(thread.exit_code(), 7);
}

TEST(WorkerThreadTest, StopTwiceAndPostWithoutThreadAreHarmless) {
  EchoThread thread;
  EXPECT_FALSE(thread.PostThreadMessage(Message{1, 1, nullptr}));
  thread.Stop();
  ASSERT_TRUE(thread.Start());
  thread.Stop();
  thread.Stop();
  EXPECT_FALSE(thread.PostThreadMessage(Message{1, 1, nullptr}));
  EXPECT_EQ(thread.runs.load(), 1);
}

TEST(WorkerThreadTest, StartRestartsARunningThread) {
  EchoThread thread;
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(thread.started_event().Wait(std::chrono::seconds(5)));
  ASSERT_TRUE(thread.Start());
  ASSERT_TRUE(thread.started_event().Wait(std::chrono::seconds(5)));
  EXPECT_EQ(thread.runs.load(), 2);
}

TEST(WorkerThreadTest, DestroyingARunningThreadStopsIt) {
  auto thread = std::make_unique<EchoThread>();
  ASSERT_TRUE(thread->Start());
  ASSERT_TRUE(thread->started_event().Wait(std::chrono::seconds(5)));
  thread.reset();  // must join, not hang or leave a thread behind
  SUCCEED();
}

// A one-in-a-thousand race in start and stop is still a bug.
TEST(WorkerThreadTest, StartAndStopThousandsOfTimes) {
  EchoThread thread;
  for (int i = 0; i < 2000; ++i) {
    ASSERT_TRUE(thread.Start());
    if (i % 2 == 0) {
      ASSERT_TRUE(thread.started_event().Wait(std::chrono::seconds(5)));
    }
    thread.Stop();
  }
  EXPECT_GT(thread.runs.load(), 0);
}

// A Start on one thread while another stops must neither hang the stop nor leave the new thread
// with a closed queue.
TEST(WorkerThreadTest, StopAndStartOnTwoThreads) {
  EchoThread thread;
  for (int i = 0; i < 300; ++i) {
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(thread.started_event().Wait(std::chrono::seconds(5)));
    Event stopped{EventReset::kManual};
    std::thread stopper([&] {
      thread.Stop();
      stopped.Set();
    });
    std::thread starter([&] { (void)thread.Start(); });
    starter.join();
    if (!stopped.Wait(std::chrono::seconds(10))) {
      ADD_FAILURE() << "Stop hung in round " << i;
      std::abort();  // the stopper cannot be joined
    }
    stopper.join();
    if (thread.HasThread()) {
      ASSERT_TRUE(thread.PostThreadMessage(Message{1, 0, nullptr})) << "round " << i;
    }
    thread.Stop();
  }
}

TEST(TimerThreadTest, RepeatingTimerFiresOncePerPeriodUntilStopped) {
  std::atomic<int> calls{0};
  TimerThread timer;
  timer.Configure([&] { return ++calls < 1000; }, milliseconds(10), true);
  ASSERT_TRUE(timer.Start());
  ASSERT_TRUE(test::WaitFor([&] { return calls >= 3; }));
  timer.Stop();
  const int after_stop = calls;
  std::this_thread::sleep_for(milliseconds(40));
  EXPECT_EQ(calls.load(), after_stop);
  EXPECT_EQ(timer.exit_code(), 0);
}

TEST(TimerThreadTest, OneShotTimerFiresOnceAndEnds) {
  std::atomic<int> calls{0};
  TimerThread timer;
  timer.Configure(
      [&] {
        ++calls;
        return true;
      },
      milliseconds(5), false);
  ASSERT_TRUE(timer.Start());
  ASSERT_TRUE(timer.ended_event().Wait(std::chrono::seconds(5)));
  EXPECT_EQ(calls.load(), 1);
  EXPECT_EQ(timer.exit_code(), 1);
}

TEST(TimerThreadTest, CallbackCanStopTheTimer) {
  std::atomic<int> calls{0};
  TimerThread timer;
  timer.Configure([&] { return ++calls < 2; }, milliseconds(5), true);
  ASSERT_TRUE(timer.Start());
  ASSERT_TRUE(timer.ended_event().Wait(std::chrono::seconds(5)));
  EXPECT_EQ(calls.load(), 2);
}

TEST(TimerThreadTest, StopIsPromptEvenWithALongPeriod) {
  std::atomic<int> calls{0};
  TimerThread timer;
  timer.Configure(
      [&] {
        ++calls;
        return true;
      },
      std::chrono::minutes(30), true);
  ASSERT_TRUE(timer.Start());
  ASSERT_TRUE(timer.started_event().Wait(std::chrono::seconds(5)));
  timer.Stop();  // would hang for half an hour if the wait ignored the stop event
  EXPECT_EQ(calls.load(), 0);
}

}  // namespace
}  // namespace tw
