// Smart History's decisions: the address rules, the analysis of the history, the decision on a
// navigation, the automatic pass and the detection, with the known-address marks of a real URL
// cache.
#include "history/smart_history.h"

#include <gtest/gtest.h>

#include <ctime>

#include "browser/browser_fixtures.h"
#include "history/address_match.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "resources/strings.h"
#include "support/child_process.h"
#include "support/sandbox.h"

namespace tw {
namespace {

using test::BrowserDatabase;
using test::BrowserSchema;

const FileTime kNow = FileTime::FromUnixSeconds(1'750'000'000);

FileTime DaysAgo(int days) { return test::NoonDaysBefore(kNow, days); }

// A browser's history written as the readers hand it over: visits of addresses on given days.
class HistoryBuilder {
 public:
  HistoryBuilder& Visit(const std::string& address, std::initializer_list<int> days_ago,
                        const std::string& title = "") {
    uint32_t index = IndexOf(address, title);
    for (int days : days_ago) {
      const FileTime when = DaysAgo(days);
      history_.visits.push_back(HistoryVisit{index, when});
      HistoryPage& page = history_.pages[index];
      ++page.visit_count;
      page.last_visit = std::max(page.last_visit, when);
    }
    return *this;
  }
  // Sets what the browser's own count and last visit say, apart from the visits.
  HistoryBuilder& Entry(const std::string& address, uint32_t count, FileTime last) {
    HistoryPage& page = history_.pages[IndexOf(address, "")];
    page.visit_count = count;
    page.last_visit = last;
    return *this;
  }
  const BrowserHistory& history() const { return history_; }

 private:
  uint32_t IndexOf(const std::string& address, const std::string& title) {
    for (uint32_t i = 0; i < history_.pages.size(); ++i) {
      if (history_.pages[i].address == address) return i;
    }
    history_.pages.push_back(HistoryPage{address, title, 0, {}});
    return static_cast<uint32_t>(history_.pages.size() - 1);
  }
  BrowserHistory history_;
};

UserHistory Build(std::initializer_list<BrowserHistory> browsers) {
  const std::vector<BrowserHistory> all(browsers);
  return UserHistory::Build(all, kNow);
}

std::vector<std::string> Addresses(const std::vector<HistoryCandidate>& candidates) {
  std::vector<std::string> out;
  for (const HistoryCandidate& c : candidates) out.push_back(c.address);
  return out;
}

TEST(AddressMatchTest, CaseAndOneFinalSlashAside) {
  EXPECT_TRUE(SameAddress("http://Example.org/News", "http://example.org/news"));
  EXPECT_TRUE(SameAddress("http://example.org/news/", "HTTP://EXAMPLE.ORG/NEWS"));
  EXPECT_TRUE(SameAddress("http://example.org/", "http://example.org"));
  EXPECT_FALSE(SameAddress("http://example.org//", "http://example.org/"));
  // Only the slash may differ: a site's home is not every page of the site.
  EXPECT_FALSE(SameAddress("http://example.org/", "http://example.org/news"));
  EXPECT_FALSE(SameAddress("http://example.org/n", "http://example.org/news/"));
  EXPECT_EQ(AddressKey("HTTP://Example.org/"), AddressKey("http://example.org"));
  EXPECT_NE(AddressKey("http://example.org/a/"), AddressKey("http://example.org/a//"));
}

TEST(FrequentPagesTest, DetectionNeedsFourItemsAndTakesHitsAndLastVisits) {
  HistoryBuilder firefox;
  firefox.Visit("http://four.example/", {0, 1, 2, 3}, "Four days")
      .Visit("http://three.example/", {0, 1, 2})  // repeats 2: not enough
      .Visit("http://weekly.example/", {8, 15, 22, 29})
      .Visit("ftp://files.example/", {0, 1, 2, 3})
      .Visit("HTTP://LOUD.EXAMPLE/", {0, 1, 2, 3})
      .Visit("http://home.example/", {0, 1, 2, 3});
  HistoryBuilder chromium;
  // The same page in another browser, with a final "/" and other letter case: one candidate,
  // whose hits add up and whose last access is the later one.
  chromium.Visit("http://FOUR.example", {40}).Entry("http://FOUR.example", 10, DaysAgo(0));
  const UserHistory history = Build({firefox.history(), chromium.history()});
  const std::vector<std::string> start = {"http://HOME.example"};

  std::optional<std::vector<HistoryCandidate>> found =
      FindFrequentPages(history, start, AnalysisMode::kDetection, nullptr);
  ASSERT_TRUE(found);
  EXPECT_EQ(Addresses(*found),
            (std::vector<std::string>{"http://four.example/", "HTTP://LOUD.EXAMPLE/",
                                      "http://weekly.example/"}));
  const HistoryCandidate& four = (*found)[0];
  EXPECT_EQ(four.title, "Four days");
  EXPECT_EQ(four.repeats, 3);
  EXPECT_EQ(four.hits, 4u + 10u);
  EXPECT_EQ(four.last_access, DaysAgo(0));

  // The automatic pass takes "http" and the start pages exactly and matches entries without the
  // slash rule.
  found = FindFrequentPages(history, start, AnalysisMode::kAutomaticPass, nullptr);
  ASSERT_TRUE(found);
  EXPECT_EQ(Addresses(*found),
            (std::vector<std::string>{"http://four.example/", "http://home.example/",
                                      "http://weekly.example/"}));
  EXPECT_EQ((*found)[0].hits, 4u);

  EXPECT_FALSE(FindFrequentPages(history, start, AnalysisMode::kDetection, [] { return true; }));
}

TEST(FrequentPagesTest, ACandidateWithoutVisitedEntryKeepsNoLastAccess) {
  HistoryBuilder browser;
  browser.Visit("http://a.example/", {1, 2, 3, 4}).Entry("http://a.example/", 0, FileTime{});
  const UserHistory history = Build({browser.history()});
  ASSERT_TRUE(history.visited().empty());
  std::optional<std::vector<HistoryCandidate>> found =
      FindFrequentPages(history, {}, AnalysisMode::kDetection, nullptr);
  ASSERT_EQ(found->size(), 1u);
  EXPECT_TRUE((*found)[0].last_access.IsZero());
  EXPECT_TRUE(VisitedRecently(FileTime{}, kNow));
  EXPECT_TRUE(VisitedRecently(AddSeconds(kNow, -15.9 * 86400), kNow));
  EXPECT_FALSE(VisitedRecently(AddSeconds(kNow, -16 * 86400), kNow));
}

// Records what the decisions ask of the pages, and answers as told.
class RecordingPages : public SmartHistoryPages {
 public:
  void ClearUpdated(const WatchedPage& page) override { cleared.push_back(page.title); }
  AddResult AddPage(const std::string& title, const std::string& address) override {
    adds.push_back(title + " <" + address + ">");
    return add_result;
  }
  bool Propose(const std::string& title, const std::string& address) override {
    proposals.push_back(title + " <" + address + ">");
    return propose_result;
  }

  std::vector<std::string> cleared;
  std::vector<std::string> adds;
  std::vector<std::string> proposals;
  AddResult add_result = AddResult::kAdded;
  bool propose_result = true;
};

class NavigationTest : public testing::Test {
 protected:
  NavigationTest() {
    HistoryBuilder browser;
    browser.Visit("http://twice.example/", {1, 2}, "Twice")
        .Visit("http://thrice.example/", {0, 1, 2})
        .Visit("http://once.example/", {3})
        .Visit("http://stale.example/", {17, 20, 30})
        .Visit("http://home.example/", {1, 2, 3});
    history_ = Build({browser.history()});
    index_ = NavigationIndex(history_);
    context_.history = &index_;
    context_.now = kNow;
    context_.start_pages = start_pages_;
  }

  NavigationOutcome Navigate(const std::string& address, const std::string& title = "") {
    return DecideNavigation(Navigation{address, title}, context_, *marks_, pages_, nullptr);
  }

  test::Sandbox sandbox_;
  Result<UrlCache> marks_ = UrlCache::Open(sandbox_.Sub("urlcache.sqlite"));
  UserHistory history_;
  NavigationIndex index_;
  std::vector<std::string> start_pages_ = {"http://HOME.example"};
  NavigationContext context_;
  RecordingPages pages_;
};

TEST_F(NavigationTest, AnAddressOnItsThirdDayIsProposedOnce) {
  ASSERT_TRUE(marks_.ok());
  // Two days in the history, and today's visit: three items.
  EXPECT_EQ(Navigate("http://twice.example/", "Twice"), NavigationOutcome::kProposed);
  EXPECT_EQ(pages_.proposals, std::vector<std::string>{"Twice <http://twice.example/>"});
  EXPECT_TRUE(*marks_->IsMarked("http://twice.example/"));
  EXPECT_EQ(Navigate("http://twice.example/", "Twice"), NavigationOutcome::kKnown);
  // Today's visit already in the history counts once.
  EXPECT_EQ(Navigate("http://thrice.example/"), NavigationOutcome::kProposed);
  EXPECT_EQ(Navigate("http://once.example/"), NavigationOutcome::kNotFrequent);
  // The count of items compares exactly: letter case and the final "/" make another address.
  EXPECT_EQ(Navigate("http://THRICE.example/"), NavigationOutcome::kNotFrequent);
  EXPECT_EQ(Navigate("http://twice.example"), NavigationOutcome::kNotFrequent);
  // Last visited 17 days ago: not proposed, whatever its items.
  EXPECT_EQ(Navigate("http://stale.example/"), NavigationOutcome::kNotFrequent);
  // The home page never is.
  EXPECT_EQ(Navigate("http://home.example/"), NavigationOutcome::kNotFrequent);
  EXPECT_FALSE(*marks_->IsMarked("http://home.example/"));
}

TEST_F(NavigationTest, ArrivingAtAWatchedPageClearsItsUpdatedFlag) {
  const std::vector<WatchedPage> watched = {{"News", "http://Twice.example", true},
                                            {"Quiet", "http://thrice.example/", false}};
  context_.pages = watched;
  EXPECT_EQ(Navigate("http://twice.example/"), NavigationOutcome::kWatchedPage);
  EXPECT_EQ(Navigate("http://thrice.example/"), NavigationOutcome::kWatchedPage);
  EXPECT_EQ(pages_.cleared, std::vector<std::string>{"News"});
  EXPECT_TRUE(pages_.proposals.empty());
}

TEST_F(NavigationTest, WhatHappensToAQualifyingPageFollowsAutoSh) {
  context_.auto_sh = AutoSh::kDoNotNotify;
  EXPECT_EQ(Navigate("http://twice.example/"), NavigationOutcome::kKeptKnown);
  EXPECT_EQ(Navigate("http://twice.example/"), NavigationOutcome::kKnown);
  EXPECT_TRUE(pages_.proposals.empty());

  context_.auto_sh = AutoSh::kAddAutomatically;
  EXPECT_EQ(Navigate("http://thrice.example/", "Thrice"), NavigationOutcome::kAdded);
  EXPECT_EQ(pages_.adds, std::vector<std::string>{"Thrice <http://thrice.example/>"});
  EXPECT_TRUE(pages_.proposals.empty());

  // A title the add cannot take, or a failed add, ends as a proposal.
  ASSERT_TRUE(marks_->Unmark("http://thrice.example/").ok());
  pages_.add_result = SmartHistoryPages::AddResult::kNeedsDialog;
  EXPECT_EQ(Navigate("http://thrice.example/", "Thrice"), NavigationOutcome::kProposed);
  EXPECT_EQ(pages_.proposals.size(), 1u);

  // A proposal that cannot be handed on forgets the address again.
  ASSERT_TRUE(marks_->Unmark("http://thrice.example/").ok());
  context_.auto_sh = AutoSh::kDetect;
  pages_.propose_result = false;
  EXPECT_EQ(Navigate("http://thrice.example/"), NavigationOutcome::kProposalFailed);
  EXPECT_FALSE(*marks_->IsMarked("http://thrice.example/"));
}

TEST_F(NavigationTest, NothingIsDoneWhileInactiveOrStopping) {
  context_.active = false;
  EXPECT_EQ(Navigate("http://twice.example/"), NavigationOutcome::kIgnored);
  context_.active = true;
  EXPECT_EQ(DecideNavigation(Navigation{"http://twice.example/", ""}, context_, *marks_, pages_,
                             [] { return true; }),
            NavigationOutcome::kIgnored);
  EXPECT_FALSE(*marks_->IsMarked("http://twice.example/"));
}

TEST_F(NavigationTest, TheAutomaticPassAddsWhatIsNotKnownAndForgetsWhatFailed) {
  HistoryBuilder browser;
  browser.Visit("http://a.example/", {0, 1, 2, 3})
      .Visit("http://b.example/", {0, 1, 2, 3})
      .Visit("http://c.example/", {0, 1, 2, 3})
      .Visit("http://old.example/", {20, 21, 22, 23});
  const UserHistory history = Build({browser.history()});
  ASSERT_TRUE(marks_->Mark("http://b.example/").ok());
  struct FailingC : RecordingPages {
    AddResult AddPage(const std::string& title, const std::string& address) override {
      RecordingPages::AddPage(title, address);
      return address == "http://c.example/" ? AddResult::kFailed : AddResult::kAdded;
    }
  } pages;
  EXPECT_EQ(RunAutomaticPass(history, {}, kNow, *marks_, pages, nullptr), 1u);
  EXPECT_EQ(pages.adds, (std::vector<std::string>{"http://a.example/ <http://a.example/>",
                                                  "http://c.example/ <http://c.example/>"}));
  EXPECT_TRUE(*marks_->IsMarked("http://a.example/"));
  EXPECT_FALSE(*marks_->IsMarked("http://c.example/"));
  EXPECT_FALSE(*marks_->IsMarked("http://old.example/"));
  pages.adds.clear();
  EXPECT_EQ(RunAutomaticPass(history, {}, kNow, *marks_, pages, nullptr), 0u);
  EXPECT_EQ(pages.adds, std::vector<std::string>{"http://c.example/ <http://c.example/>"});
}

TEST_F(NavigationTest, ResetForgetsEveryKnownAddressButThePages) {
  for (const char* address :
       {"http://page.example/", "http://proposed.example/", "http://PAGE.example/"}) {
    ASSERT_TRUE(marks_->Mark(address).ok());
  }
  const std::vector<std::string> pages = {"http://page.example/"};
  ASSERT_TRUE(ResetSmartHistory(*marks_, pages).ok());
  EXPECT_TRUE(*marks_->IsMarked("http://page.example/"));
  EXPECT_FALSE(*marks_->IsMarked("http://proposed.example/"));
  EXPECT_FALSE(*marks_->IsMarked("http://PAGE.example/"));  // pages compare exactly
  EXPECT_EQ(Navigate("http://twice.example/"), NavigationOutcome::kProposed);
  ASSERT_TRUE(ResetSmartHistory(*marks_, pages).ok());
  EXPECT_EQ(Navigate("http://twice.example/"), NavigationOutcome::kProposed);  // once more
}

// The user's browsers below a home of the test's own.
class UserBrowsersTest : public testing::Test {
 protected:
  std::string FirefoxProfile() { return test::MakeFirefoxProfile(home_.home()); }

  std::vector<std::string> Detect() {
    std::vector<std::string> reports;
    RunDetection(
        [&reports](DetectionReport report, std::optional<HistoryCandidate> candidate) {
          reports.push_back(std::to_string(static_cast<uint32_t>(report)) +
                            (candidate ? " " + candidate->title : ""));
        },
        Now(), nullptr);
    return reports;
  }

  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};
};

TEST_F(UserBrowsersTest, DetectionReportsToTheSmartHistoryWindow) {
  EXPECT_EQ(Detect(), (std::vector<std::string>{"1", "3"}));
  const std::string profile = FirefoxProfile();
  test::WriteFileBytes(profile + "/prefs.js",
                       "user_pref(\"browser.startup.homepage\", \"http://home.example/\");");
  const FileTime now = Now();
  {
    BrowserDatabase places(profile + "/places.sqlite", BrowserSchema::kFirefoxPlaces);
    const int64_t news = places.AddFirefoxPage("http://news.example/", "Daily News");
    const int64_t home = places.AddFirefoxPage("http://home.example/", "Home");
    for (int day = 0; day < 4; ++day) {
      places.AddFirefoxVisit(news, AddSeconds(now, -day * 86400.0));
      places.AddFirefoxVisit(home, AddSeconds(now, -day * 86400.0));
    }
  }
  EXPECT_EQ(Detect(), (std::vector<std::string>{"1", "0 Daily News", "2"}));
  test::WriteFileBytes(profile + "/places.sqlite", "damaged");
  EXPECT_EQ(Detect(), (std::vector<std::string>{"1", "4"}));

  // Once told to stop, nothing more is reported.
  int asked = 0;
  std::vector<DetectionReport> reports;
  RunDetection([&](DetectionReport r, std::optional<HistoryCandidate>) { reports.push_back(r); },
               now, [&asked] { return ++asked > 1; });
  EXPECT_EQ(reports, std::vector<DetectionReport>{DetectionReport::kStarted});
}

TEST_F(UserBrowsersTest, HistoryIsKeptShortOnlyWhereABrowserSaysSo) {
  EXPECT_FALSE(HistoryKeptShort());
  const std::string profile = FirefoxProfile();
  test::WriteFileBytes(profile + "/prefs.js", "user_pref(\"browser.history_expire_days\", 29);");
  EXPECT_TRUE(HistoryKeptShort());
  test::WriteFileBytes(profile + "/prefs.js", "user_pref(\"browser.history_expire_days\", 30);");
  EXPECT_FALSE(HistoryKeptShort());
}

TEST_F(UserBrowsersTest, AutoShIsReadWithItsDefault) {
  Result<SettingsStore> store = SettingsStore::OpenUser();
  ASSERT_TRUE(store.ok());
  EXPECT_EQ(ReadAutoSh(*store), AutoSh::kDetect);
  ASSERT_TRUE(WriteAutoSh(*store, AutoSh::kDoNotNotify).ok());
  EXPECT_EQ(ReadAutoSh(*store), AutoSh::kDoNotNotify);
  ASSERT_TRUE(store->WriteDword(LoadString(str::kOptionsKey), "AutoSH", 5).ok());
  EXPECT_EQ(ReadAutoSh(*store), AutoSh::kDetect);
}

TEST_F(UserBrowsersTest, KnownAddressesAreSharedByEveryProcessOfTheUser) {
  const std::string profile = FirefoxProfile();
  {
    BrowserDatabase places(profile + "/places.sqlite", BrowserSchema::kFirefoxPlaces);
    const FileTime now = Now();
    for (const char* address : {"http://often.example/", "http://page.example/"}) {
      const int64_t place = places.AddFirefoxPage(address, "");
      places.AddFirefoxVisit(place, AddSeconds(now, -86400.0));
      places.AddFirefoxVisit(place, AddSeconds(now, -2 * 86400.0));
    }
  }
  const auto navigate = [](const std::string& address) {
    test::ChildProcess child = test::ChildProcess::SpawnHelper({"navigate", address});
    std::optional<std::string> line = child.ReadLine();
    EXPECT_EQ(child.Wait(), 0);
    return line.value_or("");
  };
  EXPECT_EQ(navigate("http://often.example/"), "proposed");
  EXPECT_EQ(navigate("http://often.example/"), "known");  // another process remembers
  EXPECT_EQ(navigate("http://page.example/"), "proposed");
  EXPECT_TRUE(*IsAddressMarked("http://often.example/"));

  // A reset in a third process, with one of them watched, is seen by the next.
  EXPECT_EQ(test::RunHelper({"reset-smart-history", "http://page.example/"}), 0);
  EXPECT_FALSE(*IsAddressMarked("http://often.example/"));
  EXPECT_TRUE(*IsAddressMarked("http://page.example/"));
  EXPECT_EQ(navigate("http://often.example/"), "proposed");
  EXPECT_EQ(navigate("http://page.example/"), "known");
}

}  // namespace
}  // namespace tw
