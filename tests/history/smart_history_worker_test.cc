// The Smart History worker on its thread: navigations, option changes, page events and the
// automatic pass, against the browsers and URL cache of a home of the test's own.
#include "history/smart_history_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "browser/browser_fixtures.h"
#include "platform/file_system.h"
#include "support/sandbox.h"

namespace tw {
namespace {

using test::BrowserDatabase;
using test::BrowserSchema;
using test::WaitFor;

// What the worker asked of the pages, read from the test's thread.
class SharedPages : public SmartHistoryPages {
 public:
  void ClearUpdated(const WatchedPage& page) override { Record(cleared_, page.title); }
  AddResult AddPage(const std::string&, const std::string& address) override {
    Record(adds_, address);
    return AddResult::kAdded;
  }
  bool Propose(const std::string&, const std::string& address) override {
    Record(proposals_, address);
    return true;
  }
  std::vector<std::string> cleared() const { return Copy(cleared_); }
  std::vector<std::string> adds() const { return Copy(adds_); }
  std::vector<std::string> proposals() const { return Copy(proposals_); }

 private:
  void Record(std::vector<std::string>& list, const std::string& text) {
    std::lock_guard lock(mutex_);
    list.push_back(text);
  }
  std::vector<std::string> Copy(const std::vector<std::string>& list) const {
    std::lock_guard lock(mutex_);
    return list;
  }
  mutable std::mutex mutex_;
  std::vector<std::string> cleared_, adds_, proposals_;
};

class SmartHistoryWorkerTest : public testing::Test {
 protected:
  SmartHistoryWorkerTest() {
    BrowserDatabase places(test::MakeFirefoxProfile(home_.home()) + "/places.sqlite",
                           BrowserSchema::kFirefoxPlaces);
    places.AddFirefoxPageVisitedDaily("http://often.example/", "", 2, Now());
    places.AddFirefoxPageVisitedDaily("http://other.example/", "", 2, Now());
    places.AddFirefoxPageVisitedDaily("http://daily.example/", "", 4, Now());
    places.AddFirefoxPageVisitedDaily("http://watched.example/", "", 5, Now());
  }

  // Waits until the worker has handled everything posted before.
  void Drain(SmartHistoryWorker& worker) {
    const int before = drained_;
    ASSERT_TRUE(
        worker.PageListChanged(PageListChange{PageListChange::Kind::kNewlyUpdated, {}, {}, {}}));
    ASSERT_TRUE(WaitFor([&] { return drained_ > before; }));
  }

  SmartHistoryWorker::Hooks Hooks() {
    SmartHistoryWorker::Hooks hooks;
    hooks.active = [this] { return active_.load(); };
    hooks.announce_updated = [this](const std::vector<WatchedPage>&) { ++drained_; };
    return hooks;
  }

  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};
  Result<SettingsStore> store_ = SettingsStore::OpenUser();
  SharedPages pages_;
  std::atomic<bool> active_{true};
  std::atomic<int> drained_{0};
};

TEST_F(SmartHistoryWorkerTest, DecidesOnEveryNavigationWithItsOwnCopyOfThePageList) {
  ASSERT_TRUE(store_.ok());
  SmartHistoryWorker worker(*store_, pages_, Hooks());
  ASSERT_TRUE(worker.StartWorking());
  ASSERT_TRUE(worker.PageListChanged(PageListChange{
      PageListChange::Kind::kAdded, {"Watched", "http://watched.example/", true}, {}, {}}));
  ASSERT_TRUE(worker.Navigated(Navigation{"http://often.example/", "Often"}));
  ASSERT_TRUE(worker.Navigated(Navigation{"http://watched.example/", "Watched"}));
  Drain(worker);
  EXPECT_EQ(pages_.proposals(), std::vector<std::string>{"http://often.example/"});
  EXPECT_EQ(pages_.cleared(), std::vector<std::string>{"Watched"});

  // Once the page is gone from the list, its address is one like any other.
  ASSERT_TRUE(worker.PageListChanged(PageListChange{
      PageListChange::Kind::kRemoved, {"Watched", "http://watched.example/", true}, {}, {}}));
  ASSERT_TRUE(worker.Navigated(Navigation{"http://watched.example/", "Watched"}));
  Drain(worker);
  EXPECT_EQ(pages_.proposals(),
            (std::vector<std::string>{"http://often.example/", "http://watched.example/"}));
}

TEST_F(SmartHistoryWorkerTest, FollowsOptionChangesAndItsActiveFlag) {
  SmartHistoryWorker worker(*store_, pages_, Hooks());
  ASSERT_TRUE(worker.StartWorking());
  ASSERT_TRUE(WriteAutoSh(*store_, AutoSh::kDoNotNotify).ok());
  ASSERT_TRUE(worker.OptionsChanged());
  ASSERT_TRUE(worker.Navigated(Navigation{"http://often.example/", ""}));
  Drain(worker);
  EXPECT_TRUE(pages_.proposals().empty());
  EXPECT_TRUE(*IsAddressMarked("http://often.example/"));  // known, never proposed

  active_ = false;
  ASSERT_TRUE(worker.OptionsChanged());
  ASSERT_TRUE(WriteAutoSh(*store_, AutoSh::kDetect).ok());
  ASSERT_TRUE(worker.Navigated(Navigation{"http://other.example/", ""}));
  Drain(worker);
  EXPECT_FALSE(*IsAddressMarked("http://other.example/"));
  active_ = true;
  ASSERT_TRUE(worker.OptionsChanged());
  ASSERT_TRUE(worker.Navigated(Navigation{"http://other.example/", ""}));
  Drain(worker);
  EXPECT_EQ(pages_.proposals(), std::vector<std::string>{"http://other.example/"});
}

TEST_F(SmartHistoryWorkerTest, TheAutomaticPassAddsThePagesVisitedOften) {
  SmartHistoryWorker worker(*store_, pages_, Hooks());
  ASSERT_TRUE(worker.StartWorking());
  ASSERT_TRUE(worker.RunAutomaticPass());
  Drain(worker);
  EXPECT_EQ(pages_.adds(),
            (std::vector<std::string>{"http://daily.example/", "http://watched.example/"}));
}

TEST_F(SmartHistoryWorkerTest, HandsNewlyUpdatedPagesAndErrorsOn) {
  std::vector<std::string> told;
  std::mutex mutex;
  SmartHistoryWorker::Hooks hooks;
  hooks.announce_updated = [&](const std::vector<WatchedPage>& pages) {
    std::lock_guard lock(mutex);
    for (const WatchedPage& p : pages) told.push_back("updated " + p.title);
  };
  hooks.announce_errors = [&](const std::vector<std::string>& errors) {
    std::lock_guard lock(mutex);
    for (const std::string& e : errors) told.push_back("error " + e);
  };
  SmartHistoryWorker worker(*store_, pages_, hooks);
  ASSERT_TRUE(worker.StartWorking());
  ASSERT_TRUE(worker.PageListChanged(PageListChange{
      PageListChange::Kind::kNewlyUpdated, {}, {{"News", "http://news/", true}}, {}}));
  ASSERT_TRUE(worker.PageListChanged(
      PageListChange{PageListChange::Kind::kErrors, {}, {}, {"Page Error: x"}}));
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard lock(mutex);
    return told.size() == 2;
  }));
  EXPECT_EQ(told, (std::vector<std::string>{"updated News", "error Page Error: x"}));
}

TEST_F(SmartHistoryWorkerTest, StartsAndStopsOverAndOverWithWorkQueued) {
  SmartHistoryWorker worker(*store_, pages_, Hooks());
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(worker.StartWorking());
    (void)worker.Navigated(Navigation{"http://often.example/" + std::to_string(i), ""});
    (void)worker.RunAutomaticPass();
    worker.Stop();
  }
  EXPECT_FALSE(worker.Navigated(Navigation{"http://often.example/", ""}));
}

}  // namespace
}  // namespace tw
