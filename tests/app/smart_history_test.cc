// Smart History and import through the facade: a real page database, the browsers of a home of
// the test's own, and a local HTTP server for the pages that get added. Proposals, their answers
// and the import's adds are seen end to end through the service (tests/service).
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

#include "app/application.h"
#include "browser/browser_fixtures.h"
#include "pagefile/page_file.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"

namespace tw::app {
namespace {

using test::BrowserDatabase;
using test::BrowserSchema;
using test::WaitFor;

// What subscribers heard, for the test thread to look at.
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

 private:
  std::mutex mutex_;
  std::vector<AppEvent> events_;
};

class SmartHistoryAppTest : public testing::Test {
 protected:
  SmartHistoryAppTest() {
    for (const char* path : {"/often", "/daily", "/news", "/mail"}) server_.Serve(path, 200, "x");
    BrowserDatabase places(test::MakeFirefoxProfile(home_.home()) + "/places.sqlite",
                           BrowserSchema::kFirefoxPlaces);
    places.AddFirefoxPageVisitedDaily(server_.Url("/often"), "Often", 2, Now());
    places.AddFirefoxPageVisitedDaily(server_.Url("/daily"), "Daily", 4, Now());
    places.AddFirefoxBookmark(3, "Mail", server_.Url("/mail"));
    places.AddFirefoxBookmark(3, "News", server_.Url("/news"));
  }

  std::string folder() const { return home_.home() + "/Documents/My Tidewell"; }

  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};
  test::TestHttpServer server_;
  Application app_;
};

TEST_F(SmartHistoryAppTest, ArrivingAtAnUpdatedPageClearsItsFlag) {
  EXPECT_EQ(app_.NavigatedTo(server_.Url("/news"), "News").message().problem,
            Problem::kBrowserFailed);  // no window, no worker
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

// The detection is seen through the service (tests/service); the automatic pass only here.
TEST_F(SmartHistoryAppTest, TheAutomaticPassAddsThePagesVisitedOften) {
  Outcome<Application::Window> window = app_.OpenWindow();
  ASSERT_TRUE(window.ok());
  Heard heard;
  Application::Subscription subscription = app_.Subscribe(kPageEvents, heard.Handler());
  ASSERT_TRUE(app_.RunSmartHistoryPass().ok());
  EXPECT_TRUE(heard.HasPage("Daily"));
}

// What an import adds, and why one fails, is seen through the service (tests/service); here, how
// long the facade keeps the trees it filled.
TEST_F(SmartHistoryAppTest, AnImportTokenNamesItsOwnTreeUntilItIsPushedOut) {
  Outcome<Application::Window> window = app_.OpenWindow();
  ASSERT_TRUE(window.ok());
  const FilledImportTree filled = app_.FillImportTree(ImportSource::kFavorites);
  // Favorites / Firefox / Bookmarks Menu, Bookmarks Toolbar / Mail, News ...
  const ImportEntry& toolbar = filled.tree.root.children.at(0).children.at(1);
  ASSERT_EQ(toolbar.children.size(), 2u);
  const uint32_t mail = toolbar.children[0].id;

  const FilledImportTree history = app_.FillImportTree(ImportSource::kHistory);
  EXPECT_NE(history.token, filled.token);
  EXPECT_EQ(history.tree.root.text, "History");
  // A token never given, or of a fill long gone, names no tree.
  EXPECT_FALSE(app_.AddImportEntries(history.token + 1, {}).ok());
  for (size_t i = 0; i < Application::kKeptImportTrees; ++i) {
    (void)app_.FillImportTree(ImportSource::kHistory);
  }
  EXPECT_FALSE(app_.AddImportEntries(filled.token, {mail}).ok());
}

}  // namespace
}  // namespace tw::app
