// The notification thread with windows of the test's own: one dialog at a time, pages added to the
// open one, a window that goes away, "ntf" held while the dialog is shown, and the sound.
#include "notify/notification_thread.h"

#include <gtest/gtest.h>

#include <mutex>

#include "cli/run_tidewell.h"
#include "pagedb/page_folder.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "settings/checking_options.h"
#include "settings/user_settings.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"

namespace tw {
namespace {

// Windows that keep what they were asked to show.
class RecordingWindows : public NotificationWindows {
 public:
  struct Shown {
    uint64_t id;
    std::vector<std::string> titles;  // or errors
  };
  bool HasWindow() override { return has_window_; }
  bool ShowUpdatedPages(uint64_t id, const std::vector<AnnouncedPage>& pages, bool) override {
    std::lock_guard lock(mutex_);
    if (!has_window_) return false;
    Shown shown{id, {}};
    for (const AnnouncedPage& page : pages) shown.titles.push_back(page.title);
    updated_.push_back(shown);
    return true;
  }
  bool ShowErrors(uint64_t id, const std::vector<std::string>& errors) override {
    std::lock_guard lock(mutex_);
    errors_.push_back({id, errors});
    return has_window_;
  }
  bool ShowMessage(const std::string& text) override {
    std::lock_guard lock(mutex_);
    messages_.push_back(text);
    return true;
  }
  bool OpenWindow(const WindowStart&) override { return false; }

  std::vector<Shown> updated() {
    std::lock_guard lock(mutex_);
    return updated_;
  }
  std::vector<Shown> errors() {
    std::lock_guard lock(mutex_);
    return errors_;
  }
  std::vector<std::string> messages() {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  std::atomic<bool> has_window_{true};

 private:
  std::mutex mutex_;
  std::vector<Shown> updated_;
  std::vector<Shown> errors_;
  std::vector<std::string> messages_;
};

NotificationThread::DialogAnswer AnswerOf(uint64_t id, bool do_not_show_again,
                                          bool abandoned = false) {
  NotificationThread::DialogAnswer answer;
  answer.id = id;
  answer.do_not_show_again = do_not_show_again;
  answer.abandoned = abandoned;
  return answer;
}

class NotificationThreadTest : public ::testing::Test {
 protected:
  NotificationThreadTest() { EXPECT_TRUE(thread_.Start()); }
  ~NotificationThreadTest() override { thread_.Stop(); }
  std::string Folder() { return *GetPageFolder(store_); }
  // Whether some process holds "ntf" as a shown dialog does.
  bool NtfHeld() {
    return File::Open(Folder() + "/ntf",
                      OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kOpenAlways})
               .error()
               .code() == err::kSharingViolation;
  }

  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};
  test::ScopedEnv bus_{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + sandbox_.Sub("no-bus")};
  SettingsStore store_ = *SettingsStore::OpenUser();
  RecordingWindows windows_;
  NotificationThread thread_{store_, &windows_};
};

TEST_F(NotificationThreadTest, PagesAnnouncedWhileTheDialogIsOpenAreAddedOnce) {
  thread_.AnnounceUpdatedPages({{"A", "http://a/"}, {"B", "http://b/"}});
  ASSERT_TRUE(test::WaitFor([&] { return windows_.updated().size() == 1; }));
  EXPECT_TRUE(NtfHeld());
  thread_.AnnounceUpdatedPages({{"b", "http://b/"}, {"C", "http://c/"}});
  thread_.AnnounceErrors({"An error."});  // waits for the dialog to close
  ASSERT_TRUE(test::WaitFor([&] { return windows_.updated().size() == 2; }));
  const std::vector<RecordingWindows::Shown> shown = windows_.updated();
  EXPECT_EQ(shown[1].id, shown[0].id);
  EXPECT_EQ(shown[1].titles, std::vector<std::string>{"C"});
  EXPECT_TRUE(windows_.errors().empty());

  thread_.Answer(AnswerOf(shown[0].id, /*do_not_show_again=*/true));
  ASSERT_TRUE(test::WaitFor([&] { return windows_.errors().size() == 1; }));
  EXPECT_FALSE(NtfHeld());
  EXPECT_EQ(*store_.ReadDword(OptionsKey(), setting::kPageNotify), 0u);

  // PageNotify 0: nothing is shown, but the sound plays (a player of the test's own).
  test::Sandbox bin;
  test::WriteScript(bin.path(), "pw-play", "echo \"$2\" > '" + bin.Sub("played") + "'\n");
  test::ScopedEnv path("PATH", bin.path());
  ASSERT_TRUE(store_.WriteString(SoundKey(), "", "/sounds/a.wav").ok());
  thread_.AnnounceUpdatedPages({{"D", "http://d/"}});
  ASSERT_TRUE(test::WaitFor([&] { return !test::ReadFileBytes(bin.Sub("played")).empty(); }));
  EXPECT_EQ(test::ReadFileBytes(bin.Sub("played")), "/sounds/a.wav\n");
  EXPECT_EQ(windows_.updated().size(), 2u);
}

TEST_F(NotificationThreadTest, AnotherHolderOfNtfKeepsTheDialogAway) {
  Result<File> other = File::Open(
      Folder() + "/ntf", OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kOpenAlways});
  ASSERT_TRUE(other.ok());
  thread_.AnnounceUpdatedPages({{"A", "http://a/"}});
  thread_.AnnounceErrors({"After."});
  ASSERT_TRUE(test::WaitFor([&] { return windows_.errors().size() == 1; }));
  EXPECT_TRUE(windows_.updated().empty());
}

TEST_F(NotificationThreadTest, ADialogWhoseWindowWentAwayIsShownAgainOrClosed) {
  thread_.AnnounceUpdatedPages({{"A", "http://a/"}});
  ASSERT_TRUE(test::WaitFor([&] { return windows_.updated().size() == 1; }));
  const uint64_t id = windows_.updated()[0].id;
  thread_.Answer(AnswerOf(id, false, /*abandoned=*/true));  // another window takes it
  ASSERT_TRUE(test::WaitFor([&] { return windows_.updated().size() == 2; }));
  EXPECT_EQ(windows_.updated()[1].titles, std::vector<std::string>{"A"});
  windows_.has_window_ = false;
  thread_.Answer(AnswerOf(id, false, /*abandoned=*/true));  // none is left
  ASSERT_TRUE(test::WaitFor([&] { return !NtfHeld(); }));
  // A stale answer changes nothing.
  thread_.Answer(AnswerOf(id, /*do_not_show_again=*/true));
  // With neither a window nor a desktop, the failure is said where it can be.
  thread_.AnnounceErrors({"x"});
  ASSERT_TRUE(test::WaitFor([&] { return !windows_.messages().empty(); }));
  EXPECT_EQ(windows_.messages()[0], "An error occurred while notifying you of an event.");
  EXPECT_FALSE(store_.ReadDword(OptionsKey(), setting::kPageNotify).ok());
}

}  // namespace
}  // namespace tw
