// The application facade against a real page folder in a temporary HOME, a real page database
// with its threads, and a local HTTP server.
#include "app/application.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "app/messages.h"
#include "pagedb/error_log.h"
#include "pagefile/page_file.h"
#include "pagefile/title.h"
#include "platform/file_system.h"
#include "platform/in_use_retry.h"
#include "platform/settings_store.h"
#include "platform/url_cache.h"
#include "settings/checking_options.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"

namespace tw::app {
namespace {

// What a subscriber heard, for the test thread to look at.
class EventLog {
 public:
  EventHandler Handler() {
    return [this](const AppEvent& event) {
      std::lock_guard lock(mutex_);
      events_.push_back(event);
    };
  }
  std::vector<AppEvent> Events() {
    std::lock_guard lock(mutex_);
    return events_;
  }
  // The first event of the kind that matches, waited for.
  std::optional<AppEvent> WaitFor(EventKind kind,
                                  const std::function<bool(const AppEvent&)>& match = nullptr) {
    std::optional<AppEvent> found;
    test::WaitFor([&] {
      for (const AppEvent& e : Events()) {
        if (e.kind == kind && (!match || match(e))) {
          found = e;
          return true;
        }
      }
      return false;
    });
    return found;
  }
  bool Has(EventKind kind, const std::string& title) {
    return WaitFor(kind, [&](const AppEvent& e) { return e.page && e.page->title == title; })
        .has_value();
  }

 private:
  std::mutex mutex_;
  std::vector<AppEvent> events_;
};

class ApplicationTest : public ::testing::Test {
 protected:
  // New pages' settings are the process's; the next test starts from the defaults.
  void TearDown() override { SetCurrentNewPageSettings({}); }
  std::string folder() const { return home_.home() + "/Documents/My Tidewell"; }
  SettingsStore store() const { return *SettingsStore::OpenUser(); }
  // A page file written straight into the folder, as another process would.
  void WritePage(const std::string& title, const std::string& address) {
    PageSummary page;
    page.SetAddress(address);
    ASSERT_FALSE(CreatePageFile(folder(), title, page));
  }
  // The page's header, once no check is writing the file.
  PageHeader HeaderOf(const std::string& title) {
    Result<PageHeader> header = Error(err::kFileNotFound);
    test::WaitFor([&] {
      header = ReadPageHeader(folder(), title);
      return header.error().code() != err::kSharingViolation;
    });
    EXPECT_TRUE(header.ok()) << title << ": error " << header.error().code();
    return header.ok() ? *header : PageHeader{};
  }
  // The page's address, once no check is writing the file.
  std::string AddressOf(const std::string& title) {
    Result<PageSummary> summary = Error(err::kFileNotFound);
    test::WaitFor([&] {
      summary = ReadPageSummary(folder(), title);
      return summary.error().code() != err::kSharingViolation;
    });
    EXPECT_TRUE(summary.ok()) << title << ": error " << summary.error().code();
    return summary.ok() ? summary->address : std::string();
  }
  std::string ProblemOf(const UserMessage& m) { return std::string(ProblemName(m.problem)); }

  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};
  test::TestHttpServer server_;
  Application app_;
};

TEST_F(ApplicationTest, TheDialogsAddRefusesInTheOrderOfItsRulesAndQueuesTheRest) {
  EXPECT_FALSE(app_.AddPage({"Title", "http://example.org/"}).ok()) << "needs a window";
  Outcome<Application::Window> window = app_.OpenWindow();
  ASSERT_TRUE(window.ok());
  EventLog log;
  Application::Subscription subscription = app_.Subscribe(kAllEvents, log.Handler());
  server_.Serve("/news", 200, "<p>news</p>");
  WritePage("Existing", server_.Url("/old"));
  ASSERT_TRUE(log.Has(EventKind::kPageAdded, "Existing"));

  // The address rules come first, then the title rules, then the duplicate test.
  EXPECT_EQ(ProblemOf(app_.AddPage({"a?b", ""}).message()), "address-required");
  EXPECT_EQ(ProblemOf(app_.AddPage({"a?b", "ftp://example.org/"}).message()), "not-http");
  EXPECT_EQ(ProblemOf(app_.AddPage({"a?b", server_.Url("/news")}).message()), "invalid-title");
  const Outcome<AddedPage> taken = app_.AddPage({"EXISTING", server_.Url("/news")});
  ASSERT_FALSE(taken.ok());
  EXPECT_EQ(taken.message().text, "A page with this title already exists.");
  EXPECT_EQ(taken.message().icon, Icon::kWarning);
  EXPECT_EQ(FieldName(taken.message().field), "title");

  // An empty title is made from the address; the placeholder carries the new-page defaults.
  ASSERT_FALSE(store().WriteDword(OptionsKey(), option::kNoc, 3));
  // The page database reads the options again once the watcher sees the change.
  ASSERT_TRUE(test::WaitFor([] { return CurrentNewPageSettings().checkCount == 3; }));
  const std::string address = server_.Url("/news");
  Outcome<AddedPage> added = app_.AddPage({"", address});
  ASSERT_TRUE(added.ok()) << added.message().text;
  const std::string title = "127.0.0.1-" + std::to_string(server_.port()) + "-news";
  EXPECT_EQ(added->title, title);
  EXPECT_EQ(added->address, address);
  EXPECT_TRUE(added->placeholder.pending);
  EXPECT_EQ(added->placeholder.check_count, 3u);
  // A second add of the same title while the first is under way is refused too.
  EXPECT_EQ(ProblemOf(app_.AddPage({title, address}).message()), "title-taken");

  const std::optional<AppEvent> done = log.WaitFor(EventKind::kRequestDone);
  ASSERT_TRUE(done);
  EXPECT_EQ(done->request->request_id, added->request_id);
  EXPECT_TRUE(done->request->ok);
  EXPECT_TRUE(log.Has(EventKind::kPageAdded, title));
  EXPECT_EQ(HeaderOf(title).checkCount, 3);
  EXPECT_TRUE(*IsAddressMarked(address));
  // A scheme-less address gets "http://" in front.
  added = app_.AddPage({"Bare", "127.0.0.1:" + std::to_string(server_.port()) + "/news"});
  ASSERT_TRUE(added.ok());
  EXPECT_EQ(added->address, address);
}

TEST_F(ApplicationTest, AQuietAddNumbersATakenTitleOrAsksForTheDialog) {
  Outcome<Application::Window> window = app_.OpenWindow();
  ASSERT_TRUE(window.ok());
  EventLog log;
  Application::Subscription subscription = app_.Subscribe(kPageEvents, log.Handler());
  WritePage("Example", "http://example.org/");
  ASSERT_TRUE(log.Has(EventKind::kPageAdded, "Example"));

  // Numbered against the page list and the adds still under way.
  std::vector<std::string> titles;
  for (int i = 0; i < 8; ++i) {
    Outcome<QuietAdd> quiet =
        app_.AddPageQuietly("example", "http://example.org/" + std::to_string(i));
    ASSERT_TRUE(quiet.ok());
    ASSERT_TRUE(quiet->added) << i;
    titles.push_back(quiet->added->title);
  }
  EXPECT_EQ(titles.front(), "examp2");
  EXPECT_EQ(titles.back(), "examp9");
  // Nothing free up to 9, an address the rules refuse, a title they refuse: the dialog decides.
  for (const auto& [title, address] :
       std::vector<std::pair<std::string, std::string>>{{"Example", "http://example.org/x"},
                                                        {"Other", "ftp://example.org/"},
                                                        {"Bad?", "http://example.org/"}}) {
    Outcome<QuietAdd> quiet = app_.AddPageQuietly(title, address);
    ASSERT_TRUE(quiet.ok());
    EXPECT_FALSE(quiet->added) << title;
    EXPECT_EQ(quiet->title, title);
    EXPECT_EQ(quiet->address, address);
  }
  EXPECT_TRUE(log.Has(EventKind::kPageAdded, "examp9"));
}

TEST_F(ApplicationTest, RenameFollowsTheTitleRules) {
  ASSERT_TRUE(app_.AddPageAtOnce("http://example.org/a", "Alpha").ok());
  ASSERT_TRUE(app_.AddPageAtOnce("http://example.org/b", "Beta").ok());
  const std::string max(app_.MaxTitleLength() + 1, 't');
  for (const std::string& bad : {std::string(), std::string("a\tb"), std::string("x?"), max}) {
    const Outcome<Done> renamed = app_.RenamePage("Alpha", bad);
    ASSERT_FALSE(renamed.ok());
    EXPECT_EQ(renamed.message().string_id, 159u) << bad;
  }
  EXPECT_EQ(ProblemOf(app_.RenamePage("Alpha", "beta").message()), "title-taken");
  EXPECT_EQ(ProblemOf(app_.RenamePage("Nobody", "Gamma").message()), "no-such-page");
  // The same title does nothing; a change of letter case alone skips the duplicate test.
  EXPECT_TRUE(app_.RenamePage("Alpha", "Alpha").ok());
  EXPECT_TRUE(app_.RenamePage("Alpha", "ALPHA").ok());
  EXPECT_TRUE(PathExists(PagePath(folder(), "ALPHA")));
  EXPECT_FALSE(PathExists(PagePath(folder(), "Alpha")));
  EXPECT_TRUE(app_.RenamePage("ALPHA", "Gamma").ok());
  EXPECT_EQ(AddressOf("Gamma"), "http://example.org/a");
}

TEST_F(ApplicationTest, DeleteGoesToTheTrashWithItsRecordOrIsPermanent) {
  ASSERT_TRUE(app_.AddPageAtOnce("http://example.org/a b", "Alpha").ok());
  ASSERT_TRUE(app_.AddPageAtOnce("http://example.org/b", "Beta").ok());
  const std::string page_bytes = test::ReadFileBytes(PagePath(folder(), "Alpha"));
  ASSERT_TRUE(app_.DeletePage("Alpha", DeleteMode::kToTrash).ok());
  EXPECT_FALSE(PathExists(PagePath(folder(), "Alpha")));
  const std::string trash = home_.home() + "/.local/share/Trash";
  EXPECT_EQ(test::ReadFileBytes(trash + "/files/Alpha.twp"), page_bytes);
  const std::string info = test::ReadFileBytes(trash + "/info/Alpha.twp.trashinfo");
  // The path where it came from, percent-encoded.
  std::string path = *RealPath(folder()) + "/Alpha.twp";
  path.replace(path.find(' '), 1, "%20");
  EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + path + "\nDeletionDate=", 0), 0u) << info;
  // Names in the trash never collide: a second page of the same name goes beside the first.
  ASSERT_TRUE(app_.AddPageAtOnce("http://example.org/c", "Alpha").ok());
  ASSERT_TRUE(app_.DeletePage("Alpha", DeleteMode::kToTrash).ok());
  EXPECT_TRUE(PathExists(trash + "/files/Alpha.2.twp"));
  EXPECT_TRUE(PathExists(trash + "/info/Alpha.2.twp.trashinfo"));

  ASSERT_TRUE(*IsAddressMarked("http://example.org/b"));
  ASSERT_TRUE(app_.DeletePage("Beta", DeleteMode::kPermanently).ok());
  EXPECT_FALSE(PathExists(PagePath(folder(), "Beta")));
  EXPECT_FALSE(*IsAddressMarked("http://example.org/b"));
  EXPECT_EQ(ProblemOf(app_.DeletePage("Beta", DeleteMode::kPermanently).message()), "no-such-page");
}

TEST_F(ApplicationTest, PropertiesCheckTheirFieldsAndWriteOnlyWhatChanged) {
  ASSERT_TRUE(app_.AddPageAtOnce("http://example.org/", "Page").ok());
  // A page that has been checked: its content and times go when its settings change.
  Result<std::unique_ptr<PageRecord>> record = ReadPage(folder(), "Page");
  (*record)->SetContent("<p>stored</p>");
  (*record)->smartUpdate = 1;
  (*record)->checkCount = 2;
  (*record)->waitSeconds = 120;
  ASSERT_FALSE(tw::WritePage(folder(), **record));
  const std::string stored = test::ReadFileBytes(PagePath(folder(), "Page"));

  PageProperties change{"Page", "Page", "http://example.org/", true, 21, 2, false, false};
  Outcome<Done> set = app_.SetPageProperties(change);
  EXPECT_EQ(set.message().text, "Please enter a value between 0 and 20.");
  EXPECT_EQ(FieldName(set.message().field), "checkCount");
  change.check_count = 2;
  change.wait_minutes = 31;
  EXPECT_EQ(app_.SetPageProperties(change).message().text,
            "Please enter a value between 0 and 30.");
  change.wait_minutes = 2;
  change.address = "ftp://example.org/";
  EXPECT_EQ(ProblemOf(app_.SetPageProperties(change).message()), "not-http");

  // What the dialog showed, unchanged: nothing is written.
  change.address = "example.org/";  // "http://" goes in front, as the dialog puts it
  ASSERT_TRUE(app_.SetPageProperties(change).ok());
  EXPECT_EQ(test::ReadFileBytes(PagePath(folder(), "Page")), stored);

  // Smart Update off stores count and wait as 0; the page starts over under its new title.
  change.new_title = "Renamed";
  change.smart_update = false;
  ASSERT_TRUE(app_.SetPageProperties(change).ok());
  EXPECT_FALSE(PathExists(PagePath(folder(), "Page")));
  const PageHeader header = HeaderOf("Renamed");
  EXPECT_EQ(header.smartUpdate, 0);
  EXPECT_EQ(header.checkCount, 0);
  EXPECT_EQ(header.waitSeconds, 0);
  EXPECT_EQ(header.contentLength, 0u);
}

TEST_F(ApplicationTest, TheWizardStepsOneSettingAtATimeAndBack) {
  ASSERT_TRUE(app_.AddPageAtOnce("http://example.org/", "Page").ok());
  auto with_server_times = [&] {
    Result<PageHeader> header = ReadPageHeader(folder(), "Page");
    header->smartUpdate = 1;
    header->lastModified = FileTime{1};
    header->expires = FileTime{2};
    ASSERT_FALSE(WritePageHeader(folder(), "Page", *header));
  };
  auto settings = [&] {
    const PageHeader h = HeaderOf("Page");
    return std::to_string(h.smartUpdate) + std::to_string(h.ignoreLastModified) +
           std::to_string(h.ignoreExpires) + std::to_string(h.checkCount);
  };
  // Smart Update on, the server sends both times and neither is ignored. The wizard resets the
  // page, so the times are put back before each run.
  std::vector<std::string> seen;
  for (int i = 0; i < 3; ++i) {
    with_server_times();
    ASSERT_TRUE(app_.RunSmartUpdateWizard("Page", WizardAnswer::kUpdating, 5).ok());
    seen.push_back(settings());
  }
  EXPECT_EQ(HeaderOf("Page").waitSeconds, 300);
  for (int i = 0; i < 3; ++i) {
    with_server_times();
    ASSERT_TRUE(app_.RunSmartUpdateWizard("Page", WizardAnswer::kNotUpdating, 0).ok());
    seen.push_back(settings());
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"1100", "1110", "1111", "1110", "1010", "1000"}));
  EXPECT_EQ(HeaderOf("Page").waitSeconds, 0);
  EXPECT_EQ(app_.RunSmartUpdateWizard("Page", WizardAnswer::kUpdating, 31).message().text,
            "Please enter a value between 0 and 30.");
}

TEST_F(ApplicationTest, ResetAndClearUpdatedKeepWhatTheyShould) {
  ASSERT_TRUE(app_.AddPageAtOnce("http://example.org/", "Page").ok());
  Result<std::unique_ptr<PageRecord>> record = ReadPage(folder(), "Page");
  (*record)->SetContent("<p>stored</p>");
  (*record)->updated = 1;
  (*record)->ignoreExpires = 1;
  ASSERT_FALSE(tw::WritePage(folder(), **record));
  ASSERT_TRUE(app_.ClearUpdated("Page").ok());
  EXPECT_EQ(HeaderOf("Page").updated, 0);
  EXPECT_EQ(HeaderOf("Page").contentLength, 13u) << "only the flag changes";
  ASSERT_TRUE(app_.ResetPage("Page").ok());
  const PageHeader reset = HeaderOf("Page");
  EXPECT_EQ(reset.contentLength, 0u);
  EXPECT_EQ(reset.ignoreExpires, 0);
  EXPECT_EQ(AddressOf("Page"), "http://example.org/");
  EXPECT_EQ(ProblemOf(app_.ResetPage("Nobody").message()), "no-such-page");
}

TEST_F(ApplicationTest, WindowsShareOneDatabaseThatTheLastOneStops) {
  EXPECT_FALSE(app_.page_database_running());
  EventLog log;
  Application::Subscription subscription = app_.Subscribe(kPageEvents, log.Handler());
  std::optional<Application::Window> first, second;
  first.emplace(app_.OpenWindow().value());
  second.emplace(app_.OpenWindow().value());
  EXPECT_TRUE(app_.page_database_running());
  first.reset();
  // Still running for the second window: a page dropped into the folder is seen.
  EXPECT_TRUE(app_.page_database_running());
  WritePage("Dropped", "http://example.org/");
  EXPECT_TRUE(log.Has(EventKind::kPageAdded, "Dropped"));
  second.reset();
  EXPECT_FALSE(app_.page_database_running());
  // Nothing runs to see the folder now; a new window loads it afresh.
  Outcome<Application::Window> third = app_.OpenWindow();
  ASSERT_TRUE(third.ok());
  EXPECT_TRUE(test::WaitFor([&] {
    Outcome<PageList> list = app_.ListPages();
    return list.ok() && list->pages.size() == 1 && list->pages[0].title == "Dropped";
  }));
}

TEST_F(ApplicationTest, ALateSubscriberHearsThePageListFirst) {
  ASSERT_TRUE(app_.AddPageAtOnce("http://example.org/b", "Beta").ok());
  ASSERT_TRUE(app_.AddPageAtOnce("http://example.org/a", "alpha").ok());
  Outcome<Application::Window> window = app_.OpenWindow();
  ASSERT_TRUE(window.ok());
  ASSERT_TRUE(test::WaitFor([&] { return app_.ListPages()->pages.size() == 2; }));
  EventLog log;
  {
    Application::Subscription subscription =
        app_.Subscribe(kPageEvents | kCheckingEvents, log.Handler());
    const std::vector<AppEvent> events = log.Events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, EventKind::kLoading);
    EXPECT_EQ(events[1].page->title, "alpha");
    EXPECT_EQ(events[2].page->title, "Beta");
    EXPECT_EQ(events[3].kind, EventKind::kChecking);
  }
  // Gone with its subscription: nothing more arrives.
  WritePage("Later", "http://example.org/");
  ASSERT_TRUE(test::WaitFor([&] { return app_.ListPages()->pages.size() == 3; }));
  EXPECT_EQ(log.Events().size(), 4u);
}

TEST_F(ApplicationTest, CheckNowChecksThePagesAndTellsOfIt) {
  server_.Serve("/a", 200, "<p>a</p>");
  ASSERT_TRUE(app_.AddPageAtOnce(server_.Url("/a"), "Alpha").ok());
  EXPECT_EQ(ProblemOf(app_.CheckNow().message()), "internal") << "needs a window";
  Outcome<Application::Window> window = app_.OpenWindow();
  ASSERT_TRUE(window.ok());
  EventLog log;
  Application::Subscription subscription =
      app_.Subscribe(kPageEvents | kCheckingEvents, log.Handler());
  ASSERT_TRUE(app_.CheckNow().ok());
  EXPECT_TRUE(test::WaitFor([&] { return HeaderOf("Alpha").contentLength != 0; }));
  EXPECT_TRUE(log.WaitFor(EventKind::kChecking, [](const AppEvent& e) { return e.checking; }));
  EXPECT_TRUE(log.WaitFor(EventKind::kPageChanged));
  EXPECT_TRUE(test::WaitFor([&] { return !app_.IsChecking(); }));
}

TEST_F(ApplicationTest, OpenClearsTheFlagFirstAndHandsOnlyWebAddressesToTheBrowser) {
  // A fake opener first on PATH writes what it is given.
  const std::string bin = sandbox_.Sub("bin", true), opened = sandbox_.Sub("opened");
  test::WriteFileBytes(bin + "/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + opened + "'\n");
  ASSERT_EQ(::chmod((bin + "/xdg-open").c_str(), 0755), 0);
  test::ScopedEnv path("PATH", bin + ":/usr/bin:/bin");
  ASSERT_TRUE(app_.AddPageAtOnce("http://example.org/a", "Page").ok());
  Result<PageHeader> header = ReadPageHeader(folder(), "Page");
  header->updated = 1;
  ASSERT_FALSE(WritePageHeader(folder(), "Page", *header));

  ASSERT_TRUE(app_.OpenPage("Page").ok());
  EXPECT_EQ(test::ReadFileBytes(opened), "http://example.org/a\n");
  EXPECT_EQ(HeaderOf("Page").updated, 0);

  // A page file from elsewhere naming a local file goes nowhere.
  PageSummary local;
  local.SetAddress("file:///etc/passwd");
  ASSERT_FALSE(CreatePageFile(folder(), "Local", local));
  std::remove(opened.c_str());
  const Outcome<Done> refused = app_.OpenPage("Local");
  EXPECT_EQ(refused.message().text, "An error occurred while communicating with the web browser.");
  EXPECT_FALSE(PathExists(opened));
  EXPECT_EQ(ProblemOf(app_.OpenPage("Nobody").message()), "no-such-page");
}

TEST_F(ApplicationTest, AnImportCopiesThePageFileAndSaysHowItWent) {
  ASSERT_TRUE(app_.AddPageAtOnce("http://example.org/", "Here").ok());
  const std::string elsewhere = sandbox_.Sub("elsewhere", true);
  PageSummary page;
  page.SetAddress("http://example.org/imported");
  ASSERT_FALSE(CreatePageFile(elsewhere, "Imported", page));
  ASSERT_FALSE(CreatePageFile(elsewhere, "Here", page));

  Outcome<Application::Window> window = app_.OpenWindow();
  ASSERT_TRUE(window.ok());
  EventLog log;
  Application::Subscription subscription =
      app_.Subscribe(kPageEvents | kRequestEvents, log.Handler());
  Outcome<uint64_t> imported = app_.ImportPageFile(PagePath(elsewhere, "Imported"));
  ASSERT_TRUE(imported.ok());
  std::optional<AppEvent> done = log.WaitFor(EventKind::kRequestDone, [&](const AppEvent& e) {
    return e.request->request_id == *imported;
  });
  ASSERT_TRUE(done);
  EXPECT_TRUE(done->request->ok);
  EXPECT_EQ(done->request->kind, RequestKind::kImport);
  EXPECT_TRUE(log.Has(EventKind::kPageAdded, "Imported"));
  EXPECT_EQ(AddressOf("Imported"), "http://example.org/imported");

  // A page of that name is never replaced: the import fails with the adding message.
  imported = app_.ImportPageFile(PagePath(elsewhere, "Here"));
  ASSERT_TRUE(imported.ok());
  done = log.WaitFor(EventKind::kRequestDone,
                     [&](const AppEvent& e) { return e.request->request_id == *imported; });
  ASSERT_TRUE(done);
  EXPECT_FALSE(done->request->ok);
  EXPECT_EQ(done->request->error->text, "An error occurred while adding the page.");
  EXPECT_EQ(AddressOf("Here"), "http://example.org/");
}

TEST_F(ApplicationTest, ErrorsWaitInTheFolderUntilSomeoneListensForThem) {
  ASSERT_TRUE(app_.AddPageAtOnce("http://example.org/", "Page").ok());
  Outcome<Application::Window> window = app_.OpenWindow();
  ASSERT_TRUE(window.ok());
  EventLog pages;
  Application::Subscription only_pages = app_.Subscribe(kPageEvents, pages.Handler());
  ASSERT_TRUE(pages.Has(EventKind::kPageAdded, "Page"));
  ASSERT_FALSE(WriteErrorFile(folder(), 0, Error(err::kAccessDenied)));
  WritePage("Nudge", "http://example.org/nudge");  // the folder is looked at again
  ASSERT_TRUE(pages.Has(EventKind::kPageAdded, "Nudge"));
  // Nobody shows errors: the file stays for a window that will.
  EXPECT_EQ(FindFiles(folder(), ".twe")->size(), 1u);

  EventLog messages;
  Application::Subscription listening = app_.Subscribe(kMessageEvents, messages.Handler());
  WritePage("Nudge again", "http://example.org/nudge2");
  const std::optional<AppEvent> errors = messages.WaitFor(EventKind::kErrors);
  ASSERT_TRUE(errors);
  EXPECT_EQ(errors->errors,
            std::vector<std::string>{"Unknown error, More Information: Access was denied."});
  EXPECT_TRUE(test::WaitFor([&] { return FindFiles(folder(), ".twe")->empty(); }));
}

}  // namespace
}  // namespace tw::app
