// The check thread in its two modes, with the page database that drives it and with other
// processes on the same folder.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <thread>

#include "checking/check_support.h"
#include "pagedb/page_database.h"
#include "pagedb/page_database_support.h"
#include "support/child_process.h"

namespace tw {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

std::string Html(const std::string& inside) { return "<html><body>" + inside + "</body></html>"; }

class CheckThreadTest : public test::CheckTest {
 protected:
  // Every page's snapshot and status, to compare before and after.
  std::string Folder() {
    std::string all;
    Result<std::vector<FoundFile>> files = FindFiles(folder_, kPageFileSuffix);
    EXPECT_TRUE(files.ok());
    for (const FoundFile& f : *files) {
      Result<std::unique_ptr<PageRecord>> page = ReadPage(folder_, TitleOfFileName(f.name));
      EXPECT_TRUE(page.ok()) << f.name << " is damaged";
      all += f.name + ":" + test::ReadFileBytes(JoinPath(folder_, f.name)) + "\n";
    }
    return all;
  }
  void UseOptions(uint32_t threads) {
    ASSERT_TRUE(store_.WriteDword(OptionsKey(), option::kThreads, threads).ok());
  }
  // A one-shot pass in another process, started as the host starts one.
  test::ChildProcess SpawnPass() {
    test::ChildProcess child = test::ChildProcess::SpawnHelper({"check-once"});
    EXPECT_EQ(child.ReadLine(), "ready");
    return child;
  }
};

TEST_F(CheckThreadTest, TheScheduleAsksForAPassEachPeriod) {
  server_.Serve("/page", 200, Html("page"));
  AddPage("page", "/page");
  auto thread = MakeThread(1, 20000, milliseconds(20));
  ASSERT_TRUE(thread->Start());
  thread->ApplySchedule(1, 5);  // five short minutes
  EXPECT_EQ(thread->schedule_timer().period(), milliseconds(100));
  EXPECT_TRUE(test::WaitFor([&] { return server_.request_count() >= 4; }));
  thread->ApplySchedule(2, 1);  // hours
  EXPECT_EQ(thread->schedule_timer().period(), milliseconds(1200));
  thread->ApplySchedule(2, 0);
  thread->Stop();
  EXPECT_EQ(Page("page")->content, Html("page"));
  EXPECT_FALSE(thread->PassRunning());
}

TEST_F(CheckThreadTest, AFailedScheduledPassEndsTheThreadAndAFailedNewPagesPassDoesNot) {
  // A lock file that cannot be opened fails every pass.
  ASSERT_TRUE(CreateDirectories(JoinPath(folder_, "lock")).ok());
  auto thread = MakeThread();
  ASSERT_TRUE(thread->Start());
  auto error_files = [&] {
    Result<std::vector<FoundFile>> found = FindFiles(folder_, ".twe");
    return found.ok() ? found->size() : 0;
  };
  thread->SignalNewPages();
  ASSERT_TRUE(test::WaitFor([&] { return error_files() == 1; }));
  EXPECT_FALSE(thread->ended_event().Wait(milliseconds(100)));
  thread->SignalCheckNow();
  EXPECT_TRUE(thread->ended_event().Wait(seconds(10)));
  EXPECT_EQ(thread->exit_code(), -1);
  EXPECT_EQ(error_files(), 2u);
  EXPECT_FALSE(thread->RunOnce().ok());
}

TEST_F(CheckThreadTest, TheStopCheckingEventEndsAServicePassAsTheUserStop) {
  test::Gate gate;
  server_.On("/slow", [&](const httplib::Request&, httplib::Response& response) {
    gate.WaitIn(server_);
    response.set_content(Html("slow"), "text/html");
  });
  AddPage("slow", "/slow");
  const std::string before = PageBytes("slow");
  auto thread = MakeThread();
  ASSERT_TRUE(thread->Start());
  thread->SignalCheckNow();
  ASSERT_TRUE(test::WaitFor([&] { return server_.request_count() == 1; }));
  EXPECT_TRUE(thread->PassRunning());
  thread->SignalStopChecking();
  EXPECT_TRUE(test::WaitFor([&] { return !thread->PassRunning(); }));
  EXPECT_TRUE(PathExists(JoinPath(folder_, "daa")));
  EXPECT_EQ(PageBytes("slow"), before);
  // The thread waits on for the next pass.
  gate.Open();
  thread->SignalCheckNow();
  // Read while the pass may be writing it: a sharing violation only means "not yet".
  EXPECT_TRUE(test::WaitFor([&] {
    Result<std::unique_ptr<PageRecord>> page = ReadPage(folder_, "slow");
    return page.ok() && (*page)->contentLength > 0;
  }));
  EXPECT_FALSE(PathExists(JoinPath(folder_, "daa")));
  thread->Stop();
}

TEST_F(CheckThreadTest, ThePageDatabaseHasNewPagesCheckedAndSeesThemRewritten) {
  server_.Serve("/old", 200, Html("old"));
  server_.Serve("/new", 200, Html("new"));
  AddPage("old", "/old");
  ASSERT_TRUE(RunOnce());
  ASSERT_EQ(RequestsFor("/old"), 1u);

  test::EventRecorder events;
  PageDatabase db(store_, MakeThread(2), nullptr);
  ASSERT_TRUE(db.Subscribe(0xFFFFFFFF, &test::EventRecorder::Callback, &events));
  ASSERT_TRUE(db.Start().ok());
  ASSERT_TRUE(events.WaitForCount(page_event::kPageAdded, "old", 1));
  AddPage("new", "/new");
  // Added, checked by a new-pages pass, and reconciled once the pass has let the folder go.
  EXPECT_TRUE(events.WaitForCount(page_event::kPageChanged, "new", 1));
  EXPECT_EQ(Page("new")->content, Html("new"));
  EXPECT_GE(events.Count(page_event::kFolderLocked), 1);
  EXPECT_EQ(RequestsFor("/old"), 1u);  // only pages never checked
  db.Stop();
}

// The page database finds a new page while another process's pass holds the folder, which may
// have listed it before the page came; once the folder is free the page is checked here.
TEST_F(CheckThreadTest, APageAddedWhileAnotherProcessHoldsTheFolderIsCheckedWhenItIsFree) {
  server_.Serve("/new", 200, Html("new"));
  PageRecord old;
  old.title = "old";
  old.SetAddress(server_.Url("/old"));
  old.SetContent(Html("old"));
  ASSERT_TRUE(WritePage(folder_, old).ok());
  test::ChildProcess holder =
      test::ChildProcess::SpawnHelper({"hold-file", JoinPath(folder_, "lock"), "exclusive"});
  ASSERT_EQ(holder.ReadLine(), "ready");

  test::EventRecorder events;
  PageDatabase db(store_, MakeThread(), nullptr);
  ASSERT_TRUE(db.Subscribe(0xFFFFFFFF, &test::EventRecorder::Callback, &events));
  ASSERT_TRUE(db.Start().ok());
  // Loaded: the page below is found by a reconciliation.
  ASSERT_TRUE(events.WaitForCount(page_event::kPageAdded, "old", 1));
  AddPage("new", "/new");
  ASSERT_TRUE(events.WaitForCount(page_event::kPageAdded, "new", 1));
  EXPECT_GE(events.Count(page_event::kFolderLocked), 1);

  holder.Kill(SIGKILL);
  EXPECT_EQ(holder.Wait(), 128 + SIGKILL);
  EXPECT_TRUE(events.WaitForCount(page_event::kPageChanged, "new", 1));
  EXPECT_EQ(Page("new")->content, Html("new"));
  EXPECT_EQ(RequestsFor("/new"), 1u);
  EXPECT_EQ(RequestsFor("/old"), 0u);
  db.Stop();
}

// Another process's one-shot pass holds the folder: a pass here returns at once, successfully.
// SIGTERM ends that pass promptly (the server never answers), with nothing left behind.
TEST_F(CheckThreadTest, AnotherProcessHoldsTheFolderUntilSigtermEndsItsPassPromptly) {
  test::Gate gate;
  server_.On("/slow", [&](const httplib::Request&, httplib::Response& response) {
    gate.WaitIn(server_);
    response.set_content(Html("slow"), "text/html");
  });
  for (const char* title : {"a", "b", "c"}) AddPage(title, "/slow");
  UseOptions(2);
  const std::string before = Folder();
  test::ChildProcess other = SpawnPass();
  ASSERT_TRUE(test::WaitFor([&] { return server_.request_count() == 2; }));

  EXPECT_TRUE(RunOnce(4));
  EXPECT_EQ(server_.request_count(), 2u);
  other.Kill(SIGTERM);
  EXPECT_EQ(other.ReadLine(), "done 1");
  EXPECT_EQ(other.Wait(), 0);
  EXPECT_EQ(Folder(), before);
  EXPECT_FALSE(PathExists(JoinPath(folder_, "daa")));
  EXPECT_TRUE(LockIsFree());
  gate.Open();
  ASSERT_TRUE(RunOnce());
  EXPECT_EQ(Page("c")->content, Html("slow"));
}

TEST_F(CheckThreadTest, SigkillInTheMiddleOfPassesDamagesNoPageAndLeavesNoLock) {
  // Every download differs and Smart Update is off, so every check writes its page back.
  std::atomic<int> n{0};
  server_.On("/busy", [&](const httplib::Request&, httplib::Response& response) {
    server_.Pause(milliseconds(2));
    response.set_content(Html(std::string(20000, 'x') + std::to_string(++n)), "text/html");
  });
  for (int i = 0; i < 40; ++i) AddPage("p" + std::to_string(i), "/busy", {.smartUpdate = false});
  UseOptions(4);
  for (int round = 1; round <= 6; ++round) {
    const int seen = n;
    test::ChildProcess pass = SpawnPass();
    ASSERT_TRUE(test::WaitFor([&] { return n >= seen + 5 * round; }));
    pass.Kill(SIGKILL);
    EXPECT_EQ(pass.Wait(), 128 + SIGKILL);
    Folder();  // every page reads
    EXPECT_TRUE(LockIsFree());
  }
  const int seen = n;
  ASSERT_TRUE(RunOnce(4));
  EXPECT_EQ(n - seen, 40);
}

}  // namespace
}  // namespace tw
