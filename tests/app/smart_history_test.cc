// Smart History and import through the facade: a real page database, the browsers of a home of
// the test's own, and a local HTTP server for the pages that get added.
#include <gtest/gtest.h>

#include <mutex>

#include "app/application.h"
#include "browser/browser_fixtures.h"
#include "pagefile/page_file.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "platform/url_cache.h"
#include "resources/strings.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"

namespace tw::app {
namespace {

using test::BrowserDatabase;
using test::BrowserSchema;
using test::WaitFor;

// What subscribers and the detection heard, for the test thread to look at.
class Heard {
 public:
  EventHandler Handler() {
    return [this](const AppEvent& event) {
      std::lock_guard lock(mutex_);
      events_.push_back(event);
    };
  }
  bool HasPage(const std::string& title) {
    return Wait([&](const AppEvent& e) {
      return e.kind == EventKind::kPageAdded && e.page && e.page->title == title;
    });
  }
  bool Wait(const std::function<bool(const AppEvent&)>& match) {
    return WaitFor([&] {
      std::lock_guard lock(mutex_);
      return std::any_of(events_.begin(), events_.end(), match);
    });
  }
  std::optional<std::vector<ProposedPage>> LastProposals() {
    std::lock_guard lock(mutex_);
    for (auto it = events_.rbegin(); it != events_.rend(); ++it) {
      if (it->kind == EventKind::kProposals) return it->proposals;
    }
    return std::nullopt;
  }

 private:
  std::mutex mutex_;
  std::vector<AppEvent> events_;
};

class SmartHistoryAppTest : public testing::Test {
 protected:
  SmartHistoryAppTest() {
    for (const char* path : {"/often", "/daily", "/news", "/mail"}) server_.Serve(path, 200, "x");
    const std::string firefox = home_.home() + "/.mozilla/firefox";
    EXPECT_TRUE(CreateDirectories(firefox + "/p").ok());
    test::WriteFileBytes(firefox + "/profiles.ini", "[Profile0]\nPath=p\n");
    BrowserDatabase places(firefox + "/p/places.sqlite", BrowserSchema::kFirefoxPlaces);
    const FileTime now = Now();
    const auto visit = [&](const std::string& address, const char* title, int days) {
      const int64_t place = places.AddFirefoxPage(address, title);
      for (int day = 1; day <= days; ++day) {
        places.AddFirefoxVisit(place, AddSeconds(now, -day * 86400.0));
      }
    };
    visit(server_.Url("/often"), "Often", 2);
    visit(server_.Url("/daily"), "Daily", 4);
    places.AddFirefoxBookmark(3, "Mail", server_.Url("/mail"));
    places.AddFirefoxBookmark(3, "News", server_.Url("/news"));
  }

  std::string folder() const { return home_.home() + "/Documents/My Tidewell"; }

  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};
  test::TestHttpServer server_;
  Application app_;
};

TEST_F(SmartHistoryAppTest, ANavigationIsProposedAndTheDialogAddsWhatIsChecked) {
  EXPECT_EQ(app_.NavigatedTo(server_.Url("/often"), "Often").message().problem,
            Problem::kBrowserFailed);  // no window, no worker
  Outcome<Application::Window> window = app_.OpenWindow();
  ASSERT_TRUE(window.ok());
  Heard heard;
  Application::Subscription subscription =
      app_.Subscribe(kSmartHistoryEvents | kPageEvents | kRequestEvents, heard.Handler());
  ASSERT_TRUE(app_.NavigatedTo(server_.Url("/often"), "Often").ok());
  ASSERT_TRUE(app_.NavigatedTo(server_.Url("/daily"), "Daily").ok());
  ASSERT_TRUE(WaitFor([&] { return app_.SmartHistoryProposals().size() == 2; }));
  EXPECT_EQ(heard.LastProposals(), app_.SmartHistoryProposals());
  EXPECT_EQ(app_.SmartHistoryProposals()[0], (ProposedPage{"Often", server_.Url("/often")}));

  Outcome<ProposalResult> answered = app_.AnswerSmartHistoryProposals(ProposalAnswer{
      {ProposedPage{"Often", server_.Url("/often")}}, AutoSh::kDoNotNotify, std::nullopt});
  ASSERT_TRUE(answered.ok()) << answered.message().text;
  ASSERT_EQ(answered->added.size(), 1u);
  EXPECT_FALSE(answered->needs_dialog);
  EXPECT_TRUE(heard.HasPage("Often"));
  EXPECT_TRUE(app_.SmartHistoryProposals().empty());
  EXPECT_EQ(app_.SmartHistoryMode(), AutoSh::kDoNotNotify);
  // The page not checked stays known, and is not proposed again.
  EXPECT_TRUE(*IsAddressMarked(server_.Url("/daily")));
  ASSERT_TRUE(app_.ResetSmartHistory().ok());
  EXPECT_FALSE(*IsAddressMarked(server_.Url("/daily")));
  EXPECT_TRUE(*IsAddressMarked(server_.Url("/often")));  // a page's address stays known
}

TEST_F(SmartHistoryAppTest, ATitleThatIsTakenOpensTheAddPageDialog) {
  Outcome<Application::Window> window = app_.OpenWindow();
  ASSERT_TRUE(window.ok());
  Heard heard;
  Application::Subscription subscription = app_.Subscribe(kPageEvents, heard.Handler());
  PageSummary existing;
  existing.SetAddress(server_.Url("/news"));
  ASSERT_FALSE(CreatePageFile(folder(), "Daily", existing));
  ASSERT_TRUE(heard.HasPage("Daily"));
  ASSERT_TRUE(MarkAddress(server_.Url("/daily")).ok());

  const ProposedPage daily{"Daily", server_.Url("/daily")};
  const ProposedPage often{"Often", server_.Url("/often")};
  Outcome<ProposalResult> answered =
      app_.AnswerSmartHistoryProposals(ProposalAnswer{{daily, often}, std::nullopt, std::nullopt});
  ASSERT_TRUE(answered.ok());
  EXPECT_TRUE(answered->added.empty());
  EXPECT_EQ(answered->needs_dialog, daily);
  EXPECT_EQ(answered->remaining, std::vector<ProposedPage>{often});
  // The dialog is cancelled: the address may be proposed again.
  ASSERT_TRUE(app_.ForgetProposedPage(daily.address).ok());
  EXPECT_FALSE(*IsAddressMarked(daily.address));
}

TEST_F(SmartHistoryAppTest, ArrivingAtAnUpdatedPageClearsItsFlag) {
  PageSummary page;
  page.SetAddress(server_.Url("/news"));
  page.header.updated = 1;
  ASSERT_TRUE(CreateDirectories(folder()).ok());
  ASSERT_FALSE(CreatePageFile(folder(), "News", page));
  Outcome<Application::Window> window = app_.OpenWindow();
  ASSERT_TRUE(window.ok());
  ASSERT_TRUE(WaitFor([&] {
    Outcome<Page> news = app_.GetPage("News");
    return news.ok() && news->updated;
  }));
  // Letter case and a final "/" aside, it is the page's address.
  ASSERT_TRUE(app_.NavigatedTo(server_.Url("/NEWS/"), "").ok());
  EXPECT_TRUE(WaitFor([&] {
    const auto header = ReadPageHeader(folder(), "News");  // the writer may hold it for a moment
    return header.ok() && !header->updated;
  }));
}

TEST_F(SmartHistoryAppTest, TheAutomaticPassAndTheDetection) {
  Outcome<Application::Window> window = app_.OpenWindow();
  ASSERT_TRUE(window.ok());
  std::mutex mutex;
  std::vector<std::string> reports;
  {
    Application::Detection detection =
        app_.StartDetection([&](DetectionReport report, std::optional<HistoryCandidate> c) {
          std::lock_guard lock(mutex);
          reports.push_back(std::to_string(static_cast<int>(report)) + (c ? " " + c->title : ""));
        });
    ASSERT_TRUE(WaitFor([&] { return detection.finished(); }));
  }
  EXPECT_EQ(reports, (std::vector<std::string>{"1", "0 Daily", "2"}));
  EXPECT_FALSE(app_.HistoryKeptShort());

  Heard heard;
  Application::Subscription subscription = app_.Subscribe(kPageEvents, heard.Handler());
  ASSERT_TRUE(app_.RunSmartHistoryPass().ok());
  EXPECT_TRUE(heard.HasPage("Daily"));
}

TEST_F(SmartHistoryAppTest, ImportAddsTheCheckedFavoritesOnce) {
  Outcome<Application::Window> window = app_.OpenWindow();
  ASSERT_TRUE(window.ok());
  Heard heard;
  Application::Subscription subscription = app_.Subscribe(kPageEvents, heard.Handler());
  PageSummary existing;
  existing.SetAddress(server_.Url("/daily"));
  ASSERT_FALSE(CreatePageFile(folder(), "News", existing));
  ASSERT_TRUE(heard.HasPage("News"));

  const FilledImportTree filled = app_.FillImportTree(ImportSource::kFavorites);
  const ImportTree& tree = filled.tree;
  EXPECT_FALSE(tree.fill_error);
  // Favorites / Firefox / Bookmarks Menu, Bookmarks Toolbar / Mail, News ...
  const ImportEntry& toolbar = tree.root.children.at(0).children.at(1);
  ASSERT_EQ(toolbar.children.size(), 2u);
  const uint32_t mail = toolbar.children[0].id;
  const uint32_t news = toolbar.children[1].id;
  Outcome<ImportAddResult> result = app_.AddImportEntries(filled.token, {mail, news});
  ASSERT_TRUE(result.ok());
  // "News" is taken: Mail is added, and the walk ends at News with both messages.
  EXPECT_EQ(result->added, 1u);
  ASSERT_TRUE(result->add_error);
  EXPECT_EQ(result->add_error->problem, Problem::kTitleTaken);
  ASSERT_TRUE(result->error);
  EXPECT_EQ(result->error->text, LoadString(str::kFavoritesAddError));
  EXPECT_TRUE(heard.HasPage("Mail"));
  // Back and on again: Mail is not added twice.
  result = app_.AddImportEntries(filled.token, {mail});
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result->added, 0u);
  EXPECT_FALSE(result->error);

  const FilledImportTree history = app_.FillImportTree(ImportSource::kHistory);
  EXPECT_NE(history.token, filled.token);
  EXPECT_EQ(history.tree.root.text, "History");
  EXPECT_FALSE(history.tree.root.children.empty());
  // A token never given, or of a fill long gone, names no tree.
  EXPECT_FALSE(app_.AddImportEntries(history.token + 1, {}).ok());
  for (size_t i = 0; i < Application::kKeptImportTrees; ++i) {
    (void)app_.FillImportTree(ImportSource::kHistory);
  }
  EXPECT_FALSE(app_.AddImportEntries(filled.token, {mail}).ok());
}

}  // namespace
}  // namespace tw::app
