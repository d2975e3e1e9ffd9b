#include "pagedb/page_database.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <set>
#include <thread>

#include "pagedb/error_log.h"
#include "pagedb/page_database_support.h"
#include "pagedb/page_folder.h"
#include "pagefile/page_file.h"
#include "pagefile/title.h"
#include "platform/file_system.h"
#include "platform/url_cache.h"
#include "resources/strings.h"
#include "support/child_process.h"
#include "support/sandbox.h"

namespace tw {
namespace {

using test::SeenEvent;
namespace pe = page_event;

// Declared after a subscriber that lives in a test's body, stops the database before that
// subscriber goes, also when the test ends early.
struct StopBeforeLeaving {
  PageDatabase& db;
  ~StopBeforeLeaving() { db.Stop(); }
};

class PageDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(store_.WriteString(OptionsKey(), option::kPdb, folder_).ok());
    ASSERT_TRUE(watcher_.StartWatching());
  }
  void TearDown() override { SetCurrentNewPageSettings({}); }

  std::unique_ptr<PageDatabase> MakeDatabase() {
    return std::make_unique<PageDatabase>(store_, std::make_unique<test::FakeCheckThread>(log_),
                                          &watcher_);
  }
  void StartWithRecorder() {
    ASSERT_TRUE(db_->Subscribe(0xFFFFFFFF, &test::EventRecorder::Callback, &events_));
    ASSERT_TRUE(db_->Start().ok());
    ASSERT_TRUE(test::WaitFor([&] { return events_.Count(pe::kFolderUnlocked) > 0; }));
  }
  void AddPage(const std::string& title) {
    ASSERT_TRUE(AddPageWithDefaults(folder_, title, "http://" + title + ".org/", {}).ok());
  }
  // Many never-checked pages at once, written as plain files (no sync, no marks) for speed.
  void PutPages(const std::string& prefix, int count) {
    test::Sandbox scratch;
    ASSERT_TRUE(AddPageWithDefaults(scratch.path(), "x", "http://x.org/", {}).ok());
    const std::string bytes = test::ReadFileBytes(PagePath(scratch.path(), "x"));
    for (int i = 0; i < count; ++i) {
      test::WriteFileBytes(PagePath(folder_, prefix + std::to_string(i)), bytes);
    }
  }
  int Helper(const std::vector<std::string>& args) { return test::RunHelper(args); }
  // Another change whose event shows that everything before it has been reconciled.
  void Settle(const std::string& marker_title) {
    ASSERT_EQ(Helper({"add-pages", folder_, marker_title, "1"}), 0);
    ASSERT_TRUE(events_.WaitForCount(pe::kPageAdded, marker_title + "0", 1));
  }

  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};
  SettingsStore store_ = *SettingsStore::OpenUser();
  std::string folder_ = sandbox_.Sub("pages", true);
  OptionsWatcher watcher_{store_};
  std::shared_ptr<test::CheckThreadLog> log_ = std::make_shared<test::CheckThreadLog>();
  test::EventRecorder events_;
  std::unique_ptr<PageDatabase> db_ = MakeDatabase();
};

TEST_F(PageDatabaseTest, AnEmptyFolderLoadsAsAnEmptyListAndIsPrepared) {
  StartWithRecorder();
  EXPECT_EQ(events_.Events().front().code, pe::kLoadingBegun);
  EXPECT_EQ(events_.Count(pe::kPageAdded), 0);
  EXPECT_TRUE(PathExists(JoinPath(folder_, "lock")));
  EXPECT_NE(test::ReadFileBytes(JoinPath(folder_, kFolderSettingsFile)).find("Comment=Tidewell"),
            std::string::npos);
  EXPECT_EQ(log_->Folder(), folder_);
  EXPECT_EQ(log_->starts, 1);
  EXPECT_EQ(log_->timeout_ms, 40000u);
  EXPECT_EQ(log_->pool_size, 1u);
}

TEST_F(PageDatabaseTest, TheDefaultFolderIsMadeOnceAndRemembered) {
  ASSERT_TRUE(store_.DeleteValue(OptionsKey(), option::kPdb).ok());
  const std::string expected = home_.home() + "/Documents/My Tidewell";
  EXPECT_EQ(*GetPageFolder(store_), expected);
  EXPECT_TRUE(GetFileInfo(expected)->is_directory);
  EXPECT_EQ(*store_.ReadString(OptionsKey(), option::kPdb), expected);

  ASSERT_TRUE(store_.WriteString(OptionsKey(), option::kPdb, "/" + std::string(259, 'x')).ok());
  EXPECT_EQ(*GetPageFolder(store_), expected);  // too long: ignored like a missing one
  ASSERT_TRUE(store_.WriteString(OptionsKey(), option::kPdb, folder_).ok());
  EXPECT_EQ(*GetPageFolder(store_), folder_);
}

TEST_F(PageDatabaseTest, LoadingListsEveryPageOnceAndALateSubscriberGetsThemOnce) {
  for (const char* title : {"A", "B", "C"}) AddPage(title);
  test::WriteFileBytes(PagePath(folder_, "Bad"), std::string(70, '\x07'));
  StartWithRecorder();
  ASSERT_TRUE(test::WaitFor([&] { return events_.Count(pe::kPageAdded) >= 3; }));
  // An unreadable page is named in exactly one error file (taken at once here); reconciliation
  // then lists it as a placeholder with its error.
  ASSERT_TRUE(test::WaitFor([&] { return !events_.Texts(pe::kError).empty(); }));
  EXPECT_EQ(events_.Texts(pe::kError),
            std::vector<std::string>{"Page Error: Bad, " +
                                     std::string(*PageErrorText(StatusSystemError, 13)) + "\n"});
  ASSERT_TRUE(events_.WaitForCount(pe::kPageAdded, "Bad", 1));
  EXPECT_TRUE(*IsAddressMarked("http://B.org/"));

  test::EventRecorder late;
  StopBeforeLeaving guard{*db_};
  ASSERT_TRUE(db_->Subscribe(pe::kMaskPages, &test::EventRecorder::Callback, &late));
  ASSERT_TRUE(test::WaitFor([&] { return late.Count(pe::kPageAdded) >= 4; }));
  Settle("Later");
  ASSERT_TRUE(late.WaitForCount(pe::kPageAdded, "Later0", 1));
  for (const char* title : {"A", "B", "C", "Bad", "Later0"}) {
    EXPECT_EQ(late.Count(pe::kPageAdded, title), 1) << title;
    EXPECT_EQ(events_.Count(pe::kPageAdded, title), 1) << title;
  }
  EXPECT_EQ(late.Count(pe::kError), 0);  // its mask asked for pages only
}

TEST_F(PageDatabaseTest, ErrorFilesWaitForASubscriberThatShowsThem) {
  test::EventRecorder pages_only;
  StopBeforeLeaving guard{*db_};
  ASSERT_TRUE(db_->Subscribe(pe::kMaskPages, &test::EventRecorder::Callback, &pages_only));
  ASSERT_TRUE(db_->Start().ok());
  ASSERT_TRUE(WriteErrorFile(folder_, str::kSeriousPageError).ok());
  AddPage("Nudge");  // reconciled after the error file arrived
  ASSERT_TRUE(pages_only.WaitForCount(pe::kPageAdded, "Nudge", 1));
  EXPECT_EQ(FindFiles(folder_, ".twe")->size(), 1u);

  ASSERT_TRUE(db_->Subscribe(pe::kMaskMessages, &test::EventRecorder::Callback, &events_));
  AddPage("Again");
  ASSERT_TRUE(test::WaitFor([&] { return !events_.Texts(pe::kError).empty(); }));
  EXPECT_EQ(events_.Texts(pe::kError),
            std::vector<std::string>{std::string(LoadString(str::kSeriousPageError))});
  EXPECT_TRUE(FindFiles(folder_, ".twe")->empty());
}

TEST_F(PageDatabaseTest, AnErrorFileThatCannotBeTakenYetLeavesTheFolderQuiet) {
  StartWithRecorder();
  const std::string held = JoinPath(folder_, ErrorFileName(12345));
  test::ChildProcess holder = test::ChildProcess::SpawnHelper({"hold-file", held, "exclusive"});
  ASSERT_EQ(holder.ReadLine(), "ready");
  Settle("Seen");  // reconciled since the file arrived
  const int reconciled = events_.Count(pe::kFolderUnlocked);
  const int signalled = log_->list_changed;
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_LT(events_.Count(pe::kFolderUnlocked) - reconciled, 5);
  EXPECT_LT(log_->list_changed - signalled, 5);

  // Once let go, it is taken after all.
  holder.Kill(SIGKILL);
  holder.Wait();
  EXPECT_TRUE(test::WaitFor([&] { return !PathExists(held); }));
}

TEST_F(PageDatabaseTest, AnotherProcessAddingRewritingAndDeletingGivesOneEventEach) {
  StartWithRecorder();
  ASSERT_EQ(Helper({"add-page", folder_, "News", "http://news.org/"}), 0);
  ASSERT_TRUE(events_.WaitForCount(pe::kPageAdded, "News", 1));
  EXPECT_TRUE(test::WaitFor([&] { return log_->new_pages > 0 && log_->list_changed > 0; }));

  ASSERT_EQ(Helper({"write-page", folder_, "News", "http://news.org/", "0", "0", "checked"}), 0);
  ASSERT_TRUE(events_.WaitForCount(pe::kPageChanged, "News", 1));
  ASSERT_EQ(Helper({"delete-page", folder_, "News"}), 0);
  ASSERT_TRUE(events_.WaitForCount(pe::kPageRemoved, "News", 1));
  EXPECT_FALSE(*IsAddressMarked("http://news.org/"));

  Settle("Quiet");
  EXPECT_EQ(events_.Count(pe::kPageAdded, "News"), 1);
  EXPECT_EQ(events_.Count(pe::kPageChanged, "News"), 1);
  EXPECT_EQ(events_.Count(pe::kPageRemoved, "News"), 1);
}

TEST_F(PageDatabaseTest, ABurstOfNewPagesSettlesWithOneEventPerPage) {
  StartWithRecorder();
  constexpr int kPages = 150;
  ASSERT_EQ(Helper({"add-pages", folder_, "Burst", std::to_string(kPages)}), 0);
  ASSERT_TRUE(test::WaitFor([&] { return events_.Count(pe::kPageAdded) >= kPages; }));
  Settle("After");
  EXPECT_EQ(events_.Count(pe::kPageAdded), kPages + 1);
  EXPECT_EQ(events_.Count(pe::kPageChanged), 0);
}

TEST_F(PageDatabaseTest, APageBeingWrittenIsSkippedUntilItsWriterIsDone) {
  StartWithRecorder();
  const std::string go = sandbox_.Sub("go");
  test::ChildProcess writer =
      test::ChildProcess::SpawnHelper({"write-page-when", folder_, "Slow", "http://slow.org/", go});
  ASSERT_EQ(writer.ReadLine(), "ready");
  Settle("Meanwhile");  // reconciled while Slow was held: neither page nor placeholder
  EXPECT_EQ(events_.Count(pe::kPageAdded, "Slow"), 0);

  test::WriteFileBytes(go, "");
  EXPECT_EQ(writer.Wait(), 0);
  ASSERT_TRUE(events_.WaitForCount(pe::kPageAdded, "Slow", 1));
  for (const SeenEvent& e : events_.Events()) {
    if (e.title == "Slow") {
      EXPECT_EQ(e.address, "http://slow.org/");
    }
  }
}

TEST_F(PageDatabaseTest, AFileThatIsNotAPageFileShowsAsAPlaceholderWithItsError) {
  StartWithRecorder();
  test::WriteFileBytes(PagePath(folder_, "Junk"), "\x02\x00 not a page");
  ASSERT_TRUE(events_.WaitForCount(pe::kPageAdded, "Junk", 1));
  for (const SeenEvent& e : events_.Events()) {
    if (e.title != "Junk") continue;
    EXPECT_EQ(e.status, StatusSystemError);
    EXPECT_EQ(e.errorCode, err::kInvalidData);
  }
  // Repaired, it becomes the page it is.
  ASSERT_EQ(Helper({"write-page", folder_, "Junk", "http://fixed.org/", "0", "0", ""}), 0);
  ASSERT_TRUE(events_.WaitForCount(pe::kPageChanged, "Junk", 1));
}

TEST_F(PageDatabaseTest, NewlyUpdatedPagesAreAnnouncedOnceUnlessReNotifyIsOn) {
  AddPage("U");
  StartWithRecorder();
  auto write = [&](const std::string& updated, const std::string& when, const std::string& body) {
    ASSERT_EQ(Helper({"write-page", folder_, "U", "http://U.org/", updated, when, body}), 0);
  };
  int changes = 0;
  auto wait_change = [&] { ASSERT_TRUE(events_.WaitForCount(pe::kPageChanged, "U", ++changes)); };
  // The announcement follows the change event at the end of the same reconciliation.
  auto wait_announced = [&](size_t n) {
    ASSERT_TRUE(test::WaitFor([&] { return events_.Texts(pe::kNewlyUpdated).size() >= n; }));
  };

  write("1", "1000", "a");
  wait_change();
  wait_announced(1);
  EXPECT_EQ(events_.Texts(pe::kNewlyUpdated), std::vector<std::string>{"U http://U.org/"});
  write("1", "1000", "b");  // still updated, same time
  wait_change();
  write("1", "2000", "c");  // a new time, but PageReNotify is off
  wait_change();
  Settle("Quiet");  // that reconciliation is over
  EXPECT_EQ(events_.Texts(pe::kNewlyUpdated).size(), 1u);

  ASSERT_TRUE(store_.WriteDword(OptionsKey(), option::kPageReNotify, 1).ok());
  ASSERT_TRUE(test::WaitFor([&] { return db_->settings().re_notify(); }));
  write("1", "3000", "d");
  wait_change();
  wait_announced(2);
  EXPECT_EQ(events_.Texts(pe::kNewlyUpdated).size(), 2u);
  write("0", "3000", "e");
  wait_change();
  write("1", "3000", "f");  // updated again after being cleared
  wait_change();
  wait_announced(3);
  Settle("Done");
  EXPECT_EQ(events_.Texts(pe::kNewlyUpdated).size(), 3u);
}

TEST_F(PageDatabaseTest, AStopRequestStopsOnlyThisProcesssPass) {
  StartWithRecorder();
  const std::string crs = JoinPath(folder_, "crs");
  // No pass anywhere: the request is stale and goes.
  ASSERT_TRUE(RequestStopChecking(folder_).ok());
  ASSERT_TRUE(test::WaitFor([&] { return !PathExists(crs); }));
  EXPECT_EQ(log_->stop_checking, 0);

  test::ChildProcess pass =
      test::ChildProcess::SpawnHelper({"hold-file", JoinPath(folder_, "lock"), "exclusive"});
  ASSERT_EQ(pass.ReadLine(), "ready");
  // Another process's pass: the request stays for it.
  ASSERT_TRUE(RequestStopChecking(folder_).ok());
  Settle("Other");
  EXPECT_TRUE(PathExists(crs));
  EXPECT_GT(events_.Count(pe::kFolderLocked), 0);
  EXPECT_EQ(log_->stop_checking, 0);

  // Our own pass (the lock holder stands in for it): stopped, and the request consumed.
  log_->pass_running = true;
  Settle("Ours");
  EXPECT_TRUE(test::WaitFor([&] { return log_->stop_checking > 0 && !PathExists(crs); }));
}

TEST_F(PageDatabaseTest, AUsersStopHoldsBackTheCheckingOfNewPagesItSees) {
  // Holds the page database thread inside the event for the page "Trigger", so that what the
  // test does meanwhile is seen by that same reconciliation.
  struct Gate {
    Event reached{EventReset::kManual};
    Event open{EventReset::kManual};
    static void Callback(PageEvent& event, void* context) {
      auto* gate = static_cast<Gate*>(context);
      if (event.code == pe::kPageAdded && event.page->title == "Trigger") {
        gate->reached.Set();
        (void)gate->open.Wait(std::chrono::seconds(30));
      }
    }
  } gate;
  StopBeforeLeaving guard{*db_};
  ASSERT_TRUE(db_->Subscribe(pe::kMaskPages, &Gate::Callback, &gate));
  StartWithRecorder();
  AddPage("Trigger");
  ASSERT_TRUE(gate.reached.Wait(std::chrono::seconds(10)));
  test::WriteFileBytes(JoinPath(folder_, "daa"), "");
  AddPage("Held");
  gate.open.Set();

  ASSERT_TRUE(events_.WaitForCount(pe::kPageAdded, "Held", 1));
  // The stop is forgotten once a reconciliation finds nothing new to check.
  EXPECT_TRUE(test::WaitFor([&] { return !PathExists(JoinPath(folder_, "daa")); }));
  EXPECT_EQ(log_->new_pages, 0);
  Settle("Checked");
  EXPECT_TRUE(test::WaitFor([&] { return log_->new_pages == 1; }));
}

TEST_F(PageDatabaseTest, ARenamedPageIsNewToCheckOnlyIfItWasNeverChecked) {
  // Checked, and the check failed: no content, but an error.
  PageRecord failed;
  failed.title = "failed";
  failed.SetAddress("http://failed.org/");
  failed.status = StatusHttpError;
  failed.errorCode = 404;
  ASSERT_TRUE(WritePage(folder_, failed).ok());
  AddPage("fresh");
  StopBeforeLeaving guard{*db_};
  StartWithRecorder();

  // How many new-pages checks the rename asked for.
  auto checks_after_rename = [&](const std::string& from, const std::string& to) {
    const int before = log_->new_pages;
    const int list_changes = log_->list_changed;
    EXPECT_TRUE(RenamePage(folder_, from, to).ok());
    EXPECT_TRUE(events_.WaitForCount(pe::kPageAdded, to, 1));
    // The reconciliation that saw the rename (one look at the folder sees both names) tells a
    // running pass of the change last of all.
    EXPECT_TRUE(test::WaitFor([&] { return log_->list_changed > list_changes; }));
    return log_->new_pages - before;
  };
  EXPECT_EQ(checks_after_rename("failed", "failed, renamed"), 0);
  EXPECT_EQ(checks_after_rename("fresh", "fresh, renamed"), 1);
}

TEST_F(PageDatabaseTest, ANewFolderReplacesTheListWithoutRemovalEvents) {
  AddPage("Old");
  StartWithRecorder();
  ASSERT_TRUE(events_.WaitForCount(pe::kPageAdded, "Old", 1));
  const std::string other = sandbox_.Sub("other", true);
  ASSERT_TRUE(AddPageWithDefaults(other, "New", "http://new.org/", {}).ok());

  ASSERT_TRUE(store_.WriteString(OptionsKey(), option::kPdb, other).ok());
  ASSERT_TRUE(events_.WaitForCount(pe::kPageAdded, "New", 1));
  EXPECT_EQ(events_.Count(pe::kLoadingBegun), 2);
  EXPECT_EQ(events_.Count(pe::kPageRemoved), 0);
  EXPECT_EQ(db_->page_folder(), other);
  EXPECT_EQ(log_->Folder(), other);
  // The old folder is no longer watched; the new one is.
  AddPage("Ignored");
  ASSERT_TRUE(AddPageWithDefaults(other, "Seen", "http://seen.org/", {}).ok());
  ASSERT_TRUE(events_.WaitForCount(pe::kPageAdded, "Seen", 1));
  EXPECT_EQ(events_.Count(pe::kPageAdded, "Ignored"), 0);
}

TEST_F(PageDatabaseTest, PageRequestsAreCarriedOutAndReportedDone) {
  SetCurrentNewPageSettings({});
  ASSERT_TRUE(store_.WriteDword(OptionsKey(), option::kNoc, 4).ok());
  StartWithRecorder();
  auto request = [&](PageRequest::Kind kind, const std::string& name, const std::string& address) {
    auto r = std::make_unique<PageRequest>();
    r->kind = kind;
    r->name = name;
    r->address = address;
    return db_->PostPageRequest(std::move(r));
  };

  ASSERT_TRUE(request(PageRequest::kAddPage, "Req", "http://req.org/").ok());
  ASSERT_TRUE(events_.WaitForCount(pe::kRequestDone, "Req", 1));
  ASSERT_TRUE(events_.WaitForCount(pe::kPageAdded, "Req", 1));
  EXPECT_EQ(ReadPageHeader(folder_, "Req")->checkCount, 4);  // the options' defaults
  EXPECT_TRUE(*IsAddressMarked("http://req.org/"));

  ASSERT_TRUE(request(PageRequest::kAddPage, "Req", "http://other.org/").ok());
  ASSERT_TRUE(events_.WaitForCount(pe::kRequestDone, "Req", 2));
  // The failure is reported through an error file, which this process takes at once.
  ASSERT_TRUE(test::WaitFor([&] { return !events_.Texts(pe::kError).empty(); }));

  test::Sandbox elsewhere;
  ASSERT_TRUE(AddPageWithDefaults(elsewhere.path(), "Imported", "http://imp.org/", {}).ok());
  const std::string source = PagePath(elsewhere.path(), "Imported");
  ASSERT_TRUE(request(PageRequest::kImportPageFile, source, "").ok());
  ASSERT_TRUE(events_.WaitForCount(pe::kPageAdded, "Imported", 1));
  ASSERT_TRUE(request(PageRequest::kDeletePage, "Req", "").ok());
  ASSERT_TRUE(events_.WaitForCount(pe::kPageRemoved, "Req", 1));
  ASSERT_TRUE(events_.WaitForCount(pe::kRequestDone, "Req", 3));  // the page is unmarked by then
  EXPECT_FALSE(*IsAddressMarked("http://req.org/"));

  std::vector<std::pair<uint8_t, uint32_t>> outcomes;
  for (const SeenEvent& e : events_.Events()) {
    if (e.code == pe::kRequestDone) outcomes.emplace_back(e.result, e.error);
  }
  EXPECT_EQ(outcomes, (std::vector<std::pair<uint8_t, uint32_t>>{
                          {1, 0}, {0, err::kFileExists}, {1, 0}, {1, 0}}));
  EXPECT_EQ(request(PageRequest::kAddPage, std::string(300, 't'), "http://t.org/").code(),
            err::kFilenameTooLong);
}

TEST_F(PageDatabaseTest, EventsInFlightOutliveTheirSubscriberAndTheDatabase) {
  AddPage("Kept");
  MessageQueue window;
  ASSERT_TRUE(db_->Subscribe(pe::kMaskPages, &window));
  ASSERT_TRUE(db_->Start().ok());
  std::optional<Message> message;
  ASSERT_TRUE(test::WaitFor([&] {
    while ((message = window.TryGet())) {
      if (message->param == pe::kPageAdded) return true;
    }
    return false;
  }));
  AddPage("Queued");
  ASSERT_TRUE(test::WaitFor([&] { return window.size() > 0; }));
  EXPECT_TRUE(db_->Unsubscribe(&window));
  db_.reset();
  EXPECT_EQ(TakePayload<PageEventMessage>(*message)->event.page->title, "Kept");
  std::optional<Message> queued = window.TryGet();
  ASSERT_TRUE(queued);
  EXPECT_EQ(TakePayload<PageEventMessage>(*queued)->event.page->title, "Queued");
}

TEST_F(PageDatabaseTest, StoppingWhileLoadingOrReconcilingEndsCleanly) {
  PutPages("P", 2000);
  for (int round = 0; round < 5; ++round) {
    auto db = MakeDatabase();
    test::EventRecorder recorder;
    ASSERT_TRUE(db->Subscribe(0xFFFFFFFF, &test::EventRecorder::Callback, &recorder));
    ASSERT_TRUE(db->Start().ok());
    db->Stop();
    EXPECT_FALSE(db->Subscribe(0xFFFFFFFF, &test::EventRecorder::Callback, &recorder));
  }
  // A writer that never stops keeps reconciliation busy.
  test::ChildProcess writer =
      test::ChildProcess::SpawnHelper({"write-pages", folder_, "Busy", "100000"});
  ASSERT_EQ(writer.ReadLine(), "ready");
  StartWithRecorder();
  ASSERT_TRUE(events_.WaitForCount(pe::kPageChanged, "Busy", 3));
  db_->Stop();

  writer.Kill(SIGKILL);
  writer.Wait();
}

TEST_F(PageDatabaseTest, StartAndStopRepeatedWhileOtherThreadsSubscribeAndPost) {
  AddPage("One");
  std::atomic<bool> done{false};
  std::vector<std::unique_ptr<PageDatabase>> dbs;
  for (int i = 0; i < 2; ++i) dbs.push_back(MakeDatabase());
  std::atomic<PageDatabase*> current{nullptr};
  std::thread client([&] {
    test::EventRecorder recorder;
    MessageQueue window;
    while (!done) {
      PageDatabase* db = current.load();
      if (!db) continue;
      (void)db->Subscribe(0xFFFFFFFF, &test::EventRecorder::Callback, &recorder);
      (void)db->Subscribe(0xFFFFFFFF, &window);
      auto request = std::make_unique<PageRequest>();
      request->kind = PageRequest::kDeletePage;
      request->name = "Nothing";
      (void)db->PostPageRequest(std::move(request));
      (void)db->Unsubscribe(&test::EventRecorder::Callback, &recorder);
      (void)db->Unsubscribe(&window);
      while (window.TryGet()) {
      }
    }
  });
  for (int round = 0; round < 100; ++round) {
    PageDatabase& db = *dbs[round % 2];
    ASSERT_TRUE(db.Start().ok());
    current = &db;
    db.Stop();
    current = nullptr;
  }
  done = true;
  client.join();
}

TEST_F(PageDatabaseTest, TheOneShotStartReadsOptionsAndStartsNothing) {
  ASSERT_TRUE(store_.WriteDword(OptionsKey(), option::kIntervalValue, 30).ok());
  ASSERT_TRUE(store_.WriteDword(OptionsKey(), option::kTimeout, 7).ok());
  ASSERT_TRUE(store_.WriteDword(OptionsKey(), option::kEnableSmartUpdate, 0).ok());
  ASSERT_TRUE(db_->Subscribe(0xFFFFFFFF, &test::EventRecorder::Callback, &events_));
  ASSERT_TRUE(db_->Start(PageDatabase::StartMode::kOptionsOnly).ok());
  EXPECT_EQ(log_->timeout_ms, 7000u);
  EXPECT_EQ(log_->schedule_count, 30u);
  EXPECT_FALSE(CurrentNewPageSettings().smartUpdate);
  EXPECT_EQ(log_->starts, 0);
  EXPECT_FALSE(PathExists(JoinPath(folder_, "lock")));
  EXPECT_TRUE(db_->RunCheckPassOnce().ok());
  EXPECT_EQ(log_->runs, 1);
  EXPECT_EQ(events_.Count(pe::kFolderLocked), 1);  // the pass's own event reached us
  EXPECT_EQ(events_.Count(pe::kLoadingBegun), 0);
}

TEST_F(PageDatabaseTest, TwoProcessesReconcilingTakeEachErrorFileOnce) {
  test::ChildProcess other = test::ChildProcess::SpawnHelper({"run-pdb"});
  StartWithRecorder();
  ASSERT_EQ(other.ReadLine(), "ready");
  constexpr int kFiles = 40;
  for (int i = 0; i < kFiles; ++i) {
    ASSERT_TRUE(WritePageErrorFile(folder_, "p" + std::to_string(i), str::kUnknownError).ok());
  }
  // Ours arrive by callback, the other process's as lines; collect until all are accounted for.
  std::multiset<std::string> theirs;
  ASSERT_TRUE(test::WaitFor(
      [&] {
        while (std::optional<std::string> line = other.ReadLine(std::chrono::milliseconds(10))) {
          EXPECT_EQ(line->rfind("error ", 0), 0u) << *line;
          theirs.insert(line->substr(6));
        }
        return events_.Texts(pe::kError).size() + theirs.size() >= kFiles;
      },
      std::chrono::seconds(20)));
  std::multiset<std::string> all(theirs);
  for (const std::string& text : events_.Texts(pe::kError)) all.insert(text);
  EXPECT_EQ(all.size(), static_cast<size_t>(kFiles));
  for (int i = 0; i < kFiles; ++i) {
    EXPECT_EQ(all.count("Page Error: p" + std::to_string(i) + ", Unknown error."), 1u) << i;
  }
  other.Kill(SIGKILL);
  other.Wait();
}

}  // namespace
}  // namespace tw
