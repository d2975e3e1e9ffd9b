// Visit history from the browsers' own databases, and the History folder and "visited" entries
// made of it.
#include "browser/history.h"

#include <gtest/gtest.h>

#include <ctime>

#include "browser/browser_fixtures.h"
#include "browser/user_history.h"
#include "platform/file_system.h"
#include "support/sandbox.h"

namespace tw {
namespace {

using test::BrowserDatabase;
using test::BrowserSchema;
using test::NoonDaysBefore;

BrowserProfile Profile(BrowserFamily family, const std::string& folder) {
  return BrowserProfile{
      family, family == BrowserFamily::kFirefox ? "Firefox" : "Chromium", "", "p", folder, true};
}

TEST(HistoryTest, ReadsTheVisitsARunningFirefoxCommitted) {
  test::Sandbox sandbox;
  const FileTime now = Now();
  BrowserDatabase browser(sandbox.Sub("places.sqlite"), BrowserSchema::kFirefoxPlaces);
  const int64_t news = browser.AddFirefoxPage("http://news.example/", "News");
  const int64_t frame = browser.AddFirefoxPage("http://ads.example/frame", "");
  browser.AddFirefoxVisit(news, NoonDaysBefore(now, 1));
  browser.AddFirefoxVisit(news, NoonDaysBefore(now, 0), /*typed=*/2);
  browser.AddFirefoxVisit(frame, now, /*framed link=*/8);
  browser.AddFirefoxVisit(frame, now, /*embedded=*/4);
  browser.BeginPendingWrite();
  browser.AddFirefoxVisit(news, now);

  Result<BrowserHistory> history = ReadHistory(Profile(BrowserFamily::kFirefox, sandbox.path()));
  ASSERT_TRUE(history.ok()) << history.error().code();
  ASSERT_EQ(history->pages.size(), 2u);
  EXPECT_EQ(history->pages[0].address, "http://news.example/");
  EXPECT_EQ(history->pages[0].title, "News");
  EXPECT_EQ(history->pages[0].visit_count, 2u);
  // Times come back to the microsecond.
  EXPECT_EQ(history->pages[0].last_visit.ticks / 10, NoonDaysBefore(now, 0).ticks / 10);
  EXPECT_EQ(history->pages[1].visit_count, 0u);
  ASSERT_EQ(history->visits.size(), 2u);  // the frame's loads are no visits
  EXPECT_EQ(history->visits[0].page, 0u);
  EXPECT_EQ(history->visits[1].time.ticks / 10, NoonDaysBefore(now, 0).ticks / 10);
}

TEST(HistoryTest, ReadsChromiumHistoryAndRefusesWhatIsNone) {
  test::Sandbox sandbox;
  const FileTime now = Now();
  {
    BrowserDatabase browser(sandbox.Sub("History"), BrowserSchema::kChromiumHistory);
    const int64_t mail = browser.AddChromiumUrl("https://mail.example/inbox", "Inbox");
    const int64_t sub = browser.AddChromiumUrl("https://mail.example/frame", "");
    browser.AddChromiumVisit(mail, NoonDaysBefore(now, 3),
                             1 | 0x30000000);  // typed, chain start+end
    browser.AddChromiumVisit(sub, now, 3);     // a frame
    browser.AddChromiumVisit(sub, now, 4);
    browser.AddChromiumUrl(std::string("http://long.example/") + std::string(9000, 'x'), "long");
  }
  Result<BrowserHistory> history = ReadHistory(Profile(BrowserFamily::kChromium, sandbox.path()));
  ASSERT_TRUE(history.ok()) << history.error().code();
  ASSERT_EQ(history->pages.size(), 2u);  // the over-long address is passed over
  EXPECT_EQ(history->pages[0].visit_count, 1u);
  EXPECT_EQ(history->pages[0].last_visit.ticks / 10, NoonDaysBefore(now, 3).ticks / 10);
  ASSERT_EQ(history->visits.size(), 1u);

  const std::string other = sandbox.Sub("other", true);
  EXPECT_EQ(ReadHistory(Profile(BrowserFamily::kChromium, other)).error().code(),
            err::kFileNotFound);
  // A Firefox database where Chromium's is expected is of no shape this reader knows.
  { BrowserDatabase wrong(other + "/History", BrowserSchema::kFirefoxPlaces); }
  EXPECT_EQ(ReadHistory(Profile(BrowserFamily::kChromium, other)).error().code(),
            err::kInvalidData);
}

// Items of the History folder as "period|site|address" lines.
std::vector<std::string> Items(const UserHistory& history) {
  std::vector<std::string> out;
  for (const HistoryPeriod& period : history.periods()) {
    const std::string label =
        (period.kind == HistoryPeriod::Kind::kDay ? "day" : "week") + std::to_string(period.age);
    for (const HistorySite& site : period.sites) {
      for (uint32_t page : site.items) {
        out.push_back(label + "|" + site.name + "|" + history.address(page));
      }
    }
  }
  return out;
}

TEST(UserHistoryTest, OneItemPerAddressAndPeriodGroupedBySite) {
  const FileTime now = Now();
  BrowserHistory firefox;
  firefox.pages = {{"http://a.example/x", "", 4, NoonDaysBefore(now, 0)},
                   {"http://b.example/", "B", 1, NoonDaysBefore(now, 6)},
                   {"file:///home/u/notes.html", "Notes", 1, NoonDaysBefore(now, 20)}};
  firefox.visits = {{0, NoonDaysBefore(now, 0)},  {0, NoonDaysBefore(now, 0)},
                    {0, NoonDaysBefore(now, 1)},  {0, NoonDaysBefore(now, 7)},
                    {0, NoonDaysBefore(now, 13)}, {1, NoonDaysBefore(now, 6)},
                    {2, NoonDaysBefore(now, 20)}};
  BrowserHistory chromium;
  // The same address in another browser joins the same items; its title fills the gap.
  chromium.pages = {{"http://a.example/x", "A from Chromium", 2, NoonDaysBefore(now, 14)},
                    {"http://A.example/x", "", 1, NoonDaysBefore(now, 0)}};
  chromium.visits = {{0, NoonDaysBefore(now, 14)}, {1, NoonDaysBefore(now, 0)}};
  const std::vector<BrowserHistory> both = {firefox, chromium};
  const UserHistory history = UserHistory::Build(both, now);

  EXPECT_EQ(Items(history), (std::vector<std::string>{
                                "day0|a.example|http://A.example/x",
                                "day0|a.example|http://a.example/x",
                                "day1|a.example|http://a.example/x",
                                "day6|b.example|http://b.example/",
                                // Days 7 to 13 before today are the week before the seven days.
                                "week1|a.example|http://a.example/x",
                                "week2|a.example|http://a.example/x",
                                "week2|file|file:///home/u/notes.html",
                            }));
  EXPECT_EQ(history.item_count(), 7u);
  EXPECT_EQ(history.page_count(), 4u);
  EXPECT_EQ(history.title(0), "A from Chromium");
  // The visited entries are per browser: the same address may have several.
  ASSERT_EQ(history.visited().size(), 5u);
  EXPECT_EQ(history.visited()[3].page, 0u);
  EXPECT_EQ(history.visited()[3].hits, 2u);
}

TEST(UserHistoryTest, NamesThePeriodsAsTheHistoryTreeShowsThem) {
  const auto label = [](HistoryPeriod::Kind kind, uint32_t age, int weekday) {
    return PeriodLabel(HistoryPeriod{kind, age, {}}, weekday);
  };
  EXPECT_EQ(label(HistoryPeriod::Kind::kDay, 0, 3), "Today");
  EXPECT_EQ(label(HistoryPeriod::Kind::kDay, 1, 3), "Yesterday");
  EXPECT_EQ(label(HistoryPeriod::Kind::kDay, 2, 3), "Monday");  // two days before a Wednesday
  EXPECT_EQ(label(HistoryPeriod::Kind::kDay, 6, 0), "Monday");
  EXPECT_EQ(label(HistoryPeriod::Kind::kWeek, 1, 0), "Last Week");
  EXPECT_EQ(label(HistoryPeriod::Kind::kWeek, 3, 0), "3 Weeks Ago");
}

TEST(UserHistoryTest, ReadsEveryProfileAndPassesOverOneItCannotRead) {
  test::Sandbox sandbox;
  test::ScopedHome home(sandbox);
  const FileTime now = Now();
  EXPECT_EQ(ReadUserHistory(now)->item_count(), 0u);
  const std::string firefox = home.home() + "/.mozilla/firefox";
  ASSERT_TRUE(CreateDirectories(firefox + "/good").ok());
  ASSERT_TRUE(CreateDirectories(firefox + "/broken").ok());
  test::WriteFileBytes(firefox + "/profiles.ini",
                       "[Profile0]\nPath=good\n[Profile1]\nPath=broken\n");
  test::WriteFileBytes(firefox + "/broken/places.sqlite", "not a database");
  EXPECT_EQ(ReadUserHistory(now).error().code(), err::kInvalidData);
  {
    BrowserDatabase good(firefox + "/good/places.sqlite", BrowserSchema::kFirefoxPlaces);
    good.AddFirefoxVisit(good.AddFirefoxPage("http://kept.example/", "Kept"), now);
  }
  Result<UserHistory> history = ReadUserHistory(now);
  ASSERT_TRUE(history.ok());
  EXPECT_EQ(Items(*history), std::vector<std::string>{"day0|kept.example|http://kept.example/"});
}

}  // namespace
}  // namespace tw
