#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "settings/checking_options.h"
#include "settings/options_watcher.h"
#include "settings/user_settings.h"
#include "support/child_process.h"
#include "support/sandbox.h"

namespace tw {
namespace {

class OptionsTest : public ::testing::Test {
 protected:
  void Set(std::string_view name, uint32_t value) {
    ASSERT_TRUE(store_.WriteDword(OptionsKey(), name, value).ok());
  }
  CheckingOptions Read() {
    Result<CheckingOptions> options = ReadCheckingOptions(store_);
    EXPECT_TRUE(options.ok());
    return options.ok() ? *options : CheckingOptions{};
  }

  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};  // new pages are marked in the user's URL cache
  SettingsStore store_{sandbox_.Sub("config/tidewell/registry")};
};

TEST_F(OptionsTest, ClampsEachValueIntoItsRange) {
  struct Case {
    std::string_view name;
    uint32_t stored;
    uint32_t (*read)(const CheckingOptions&);
    uint32_t expected;
  };
  auto timeout = [](const CheckingOptions& o) { return o.timeoutMs; };
  auto threads = [](const CheckingOptions& o) { return o.threads; };
  auto noc = [](const CheckingOptions& o) { return uint32_t{o.newPage.checkCount}; };
  auto wait = [](const CheckingOptions& o) { return uint32_t{o.newPage.waitSeconds}; };
  auto kept = [](const CheckingOptions& o) { return o.keepVersions; };
  const Case cases[] = {
      {option::kTimeout, 0, timeout, 1000},
      {option::kTimeout, 1, timeout, 1000},
      {option::kTimeout, 300, timeout, 300000},
      {option::kTimeout, 301, timeout, 300000},
      {option::kTimeout, 0xFFFFFFFF, timeout, 300000},
      {option::kThreads, 0, threads, 1},
      {option::kThreads, 31, threads, 31},
      {option::kThreads, 32, threads, 31},
      {option::kNoc, 20, noc, 20},
      {option::kNoc, 25, noc, 20},
      {option::kNoc, 0x10005, noc, 20},
      {option::kCheckWait, 3600, wait, 1800},
      {option::kCheckWait, 1799, wait, 1799},
      {option::kKeepVersions, 0, kept, 0},
      {option::kKeepVersions, 100, kept, 100},
      {option::kKeepVersions, 101, kept, 100},
  };
  for (const Case& c : cases) {
    Set(c.name, c.stored);
    EXPECT_EQ(c.read(Read()), c.expected) << c.name << " " << c.stored;
  }
}

// What the settings show (the options sheet) and what checking uses are one reading of the
// store: a number out of range is clamped in both, never shown as its default while it is
// clamped in use.
TEST_F(OptionsTest, TheSettingsShowANumberOutOfRangeAsCheckingTakesIt) {
  const auto shown = [this](std::string_view name) -> std::optional<uint32_t> {
    Result<std::vector<SettingsValue>> values = LoadUserSettings(store_);
    EXPECT_TRUE(values.ok());
    for (const SettingsValue& value : values.ok() ? *values : std::vector<SettingsValue>()) {
      if (value.name == name) return value.dword;
    }
    return std::nullopt;
  };
  Set(option::kKeepVersions, 101);
  Set(option::kThreads, 32);
  Set(option::kNoc, 0x10005);
  Set(option::kCheckWait, 3600);
  Set(option::kTimeout, 0);          // in range: shown as stored, taken as 1 second
  Set(option::kIntervalValue, 500);  // any count is read as stored
  const CheckingOptions options = Read();
  EXPECT_EQ(shown(option::kKeepVersions), options.keepVersions);
  EXPECT_EQ(options.keepVersions, 100u);
  EXPECT_EQ(shown(option::kThreads), options.threads);
  EXPECT_EQ(options.threads, 31u);
  EXPECT_EQ(shown(option::kNoc), 20u);
  EXPECT_EQ(options.newPage.checkCount, 20u);
  EXPECT_EQ(shown(option::kCheckWait), 1800u);
  EXPECT_EQ(options.newPage.waitSeconds, 1800u);
  EXPECT_EQ(shown(option::kTimeout), 0u);
  EXPECT_EQ(options.timeoutMs, 1000u);
  EXPECT_EQ(shown(option::kIntervalValue), 500u);
  EXPECT_EQ(options.intervalValue, 500u);

  Set(option::kThreads, 0);
  EXPECT_EQ(shown(option::kThreads), 1u);
  EXPECT_EQ(Read().threads, 1u);
  // The other type reads as missing: the default, in both.
  ASSERT_TRUE(store_.WriteString(OptionsKey(), option::kKeepVersions, "5").ok());
  EXPECT_EQ(shown(option::kKeepVersions), kDefaultKeptVersions);
  EXPECT_EQ(Read().keepVersions, kDefaultKeptVersions);
}

TEST_F(OptionsTest, MissingOrUnreadableValuesTakeTheirDefaults) {
  ASSERT_TRUE(store_.OpenKey(OptionsKey(), KeyDisposition::kCreate).ok());
  ASSERT_TRUE(store_.WriteString(OptionsKey(), option::kTimeout, "90").ok());  // the other type
  const CheckingOptions options = Read();
  EXPECT_EQ(options.timeoutMs, 40000u);
  EXPECT_EQ(options.threads, 1u);
  EXPECT_EQ(options.intervalValue, 0u);
  EXPECT_TRUE(options.newPage.smartUpdate);
  EXPECT_FALSE(options.newPage.ignoreLastModified);
  EXPECT_FALSE(options.pageReNotify);  // once the key opens, missing means off
  EXPECT_EQ(options.keepVersions, 10u);
  EXPECT_EQ(options.pdb, "");

  Set(option::kEnableSmartUpdate, 0);
  Set(option::kIgnoreExpire, 7);
  Set(option::kPageReNotify, 0x80000000);
  EXPECT_FALSE(Read().newPage.smartUpdate);
  EXPECT_TRUE(Read().newPage.ignoreExpires);
  EXPECT_TRUE(Read().pageReNotify);

  ASSERT_TRUE(store_.WriteString(OptionsKey(), option::kPdb, "").ok());
  EXPECT_EQ(Read().pdb, "");
  ASSERT_TRUE(store_.WriteString(OptionsKey(), option::kPdb, std::string(260, 'p')).ok());
  EXPECT_EQ(Read().pdb, "");  // 261 bytes with its terminator
  ASSERT_TRUE(store_.WriteString(OptionsKey(), option::kPdb, std::string(259, 'p')).ok());
  EXPECT_EQ(Read().pdb, std::string(259, 'p'));
}

class OptionsWatcherTest : public OptionsTest {
 protected:
  static void Count(void* context) { ++*static_cast<std::atomic<int>*>(context); }

  int SetElsewhere(std::string_view key, std::string_view name, uint32_t value) {
    return test::RunHelper({"settings-set-dword", store_.path(), std::string(key),
                            std::string(name), std::to_string(value)});
  }
};

TEST_F(OptionsWatcherTest, TellsWindowsAndFunctionsOfChangesByAnotherProcess) {
  OptionsWatcher watcher(store_);
  ASSERT_TRUE(watcher.StartWatching());
  EXPECT_TRUE(store_.OpenKey(OptionsKey()).ok());  // made by the watcher

  MessageQueue window;
  std::atomic<int> calls{0};
  ASSERT_TRUE(watcher.Subscribe(&window));
  ASSERT_TRUE(watcher.Subscribe(&OptionsWatcherTest::Count, &calls));

  ASSERT_EQ(SetElsewhere(OptionsKey(), option::kTimeout, 60), 0);
  std::optional<Message> message = window.Get(std::chrono::seconds(5));
  ASSERT_TRUE(message);
  EXPECT_EQ(message->id, kOptionsChangedMessage);
  EXPECT_TRUE(test::WaitFor([&] { return calls == 1; }));

  // After Unsubscribe returns the function is never called again.
  ASSERT_TRUE(watcher.Unsubscribe(&OptionsWatcherTest::Count, nullptr));
  ASSERT_EQ(SetElsewhere(OptionsKey(), option::kTimeout, 61), 0);
  EXPECT_TRUE(window.Get(std::chrono::seconds(5)));
  // A value outside the options key is no change of the options.
  ASSERT_EQ(SetElsewhere("SOFTWARE\\Orvanta\\Tidewell", "Other", 1), 0);
  EXPECT_FALSE(window.Get(std::chrono::milliseconds(300)));
  EXPECT_EQ(calls, 1);

  ASSERT_TRUE(watcher.Unsubscribe(&window));
  watcher.Stop();
  EXPECT_FALSE(watcher.Subscribe(&window));
}

TEST_F(OptionsWatcherTest, StartsAndStopsCleanlyWithSubscriptionsInFlight) {
  OptionsWatcher watcher(store_);
  MessageQueue window;
  std::atomic<int> calls{0};
  for (int round = 0; round < 200; ++round) {
    ASSERT_TRUE(watcher.StartWatching());
    ASSERT_TRUE(watcher.Subscribe(&window));
    ASSERT_TRUE(watcher.Subscribe(&OptionsWatcherTest::Count, &calls));
    if (round % 2) {
      ASSERT_TRUE(watcher.Unsubscribe(&window));
    }
    watcher.Stop();
  }
}

TEST_F(OptionsWatcherTest, AFunctionMayUnsubscribeItselfWhileCalled) {
  struct Self {
    OptionsWatcher* watcher;
    std::atomic<int> calls{0};
    static void Once(void* context) {
      auto* self = static_cast<Self*>(context);
      ++self->calls;
      EXPECT_TRUE(self->watcher->Unsubscribe(&Self::Once, self));
    }
  };
  OptionsWatcher watcher(store_);
  ASSERT_TRUE(watcher.StartWatching());
  Self self{&watcher};
  MessageQueue window;
  ASSERT_TRUE(watcher.Subscribe(&Self::Once, &self));
  ASSERT_TRUE(watcher.Subscribe(&window));
  for (uint32_t value : {1u, 2u}) {
    Set(option::kThreads, value);
    ASSERT_TRUE(window.Get(std::chrono::seconds(5)));
  }
  EXPECT_EQ(self.calls, 1);
}

}  // namespace
}  // namespace tw
