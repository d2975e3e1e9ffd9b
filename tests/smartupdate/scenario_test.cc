// Whole learning runs and later checks, driven the way the check scheduler drives the steps, over
// a library of pages whose only volatile parts are of one kind each. Between the learning run and
// the checks the page goes through its page file, as it does between two check passes. The same
// over real HTTP, with the check pass's own requests, is tests/checking/check_pass_test.cc.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include "pagefile/page_file.h"
#include "smartupdate/compare.h"
#include "smartupdate/steps.h"
#include "support/sandbox.h"

namespace tw {
namespace {

const FileTime kNow = FileTime::FromUnixSeconds(1'700'000'000);

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// Download `n` of a fixture page: its volatile spots as a server would fill them that time.
std::string Download(const std::string& name, int n, bool changed = false) {
  std::string page = test::ReadFileBytes(std::string(TW_SMARTUPDATE_PAGES) + "/" + name + ".html");
  static const char* kAds[] = {"<a href=\"/ad/@N@\"><img src=\"/ad.gif\"></a>",
                               "<p>Advertisement @N@</p>", "<span>Buy now</span><b>@N@</b>"};
  page = ReplaceAll(page, "@AD@", kAds[n % 3]);
  page = ReplaceAll(page, "@BANNER@",
                    n % 2 ? "<aside class=\"banner\"><p>Storm warning @N@</p></aside>\n" : "");
  page = ReplaceAll(page, "@COUNT@", std::to_string(48213 + n * 3));
  page = ReplaceAll(page, "@DATE@",
                    "Sunday " + std::to_string(1 + n % 28) + " March 10:" + std::to_string(10 + n));
  page = ReplaceAll(page, "@TOKEN@", std::to_string(0x5f3a11 * (n + 1)));
  page = ReplaceAll(page, "@N@", std::to_string(n));
  return ReplaceAll(page, "@CHANGE@", changed ? " Now also on Sundays." : "");
}

// The scheduler's part for one page without frames: a new page's first body becomes its content,
// later bodies go to the step of the job's state, a wait ends when its deadline has passed.
// Returns the step result that ended the check.
std::optional<StepResult> RunCheck(std::unique_ptr<PageRecord>& page,
                                   const std::function<std::string()>& fetch) {
  SmartUpdateJob job(std::move(page));
  job.state = JobState::kPageCheckForChange;
  if (job.page->NeverChecked()) {
    job.state = JobState::kPageLearnBaseline;
    job.page->measuredWait = job.page->waitSeconds;
    job.page->SetContent(fetch());
  }
  std::optional<StepResult> result;
  bool waiting = false;
  for (int guard = 0; guard < 100 && !result; ++guard) {
    if (waiting) {
      waiting = false;
      job.wait_phase = WaitPhase::kFinalCheck;
    }
    job.download1 = fetch();
    const JobState state = job.state;
    const StepOutcome outcome =
        state == JobState::kPageLearnBaseline    ? LearnBaseline(job, StepMode::kCompare, kNow)
        : state == JobState::kPageCheckForChange ? CheckForChange(job, kNow)
                                                 : LearnAfterChange(job, StepMode::kCompare, kNow);
    const StepResult r = outcome.result;
    if (outcome.wait_seconds) waiting = true;
    if (r == StepResult::kPageChanged && state == JobState::kPageCheckForChange) {
      job.state = JobState::kPageLearnAfterChange;
    } else if (r != StepResult::kPageDownloadAgain && r != StepResult::kPageChanged) {
      result = r;
    }
  }
  page = std::move(job.page);
  return result;
}

class ScenarioTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ScenarioTest, VolatilePartsAreLearnedAndRealChangesReported) {
  const std::string name = GetParam();
  test::Sandbox sandbox;
  int n = 0;
  bool change = false;
  auto fetch = [&] { return Download(name, n++, change); };

  auto page = std::make_unique<PageRecord>();
  page->title = name;
  page->SetAddress("http://pages.example/" + name);
  page->smartUpdate = 1;
  page->checkCount = 3;
  ASSERT_EQ(RunCheck(page, fetch), StepResult::kFinished);
  EXPECT_EQ(page->status, StatusNone);
  EXPECT_GT(page->maskCount, 0u);
  // Through the page file and back, as between two passes.
  ASSERT_TRUE(WritePage(sandbox.path(), *page).ok());
  auto stored = ReadPage(sandbox.path(), name);
  ASSERT_TRUE(stored.ok());
  std::unique_ptr<PageRecord> again = std::move(*stored);
  const std::string snapshot = again->content;

  for (int check = 0; check < 4; ++check) {
    EXPECT_EQ(RunCheck(again, fetch), StepResult::kFinished) << name << " check " << check;
    EXPECT_EQ(again->content, snapshot);
    EXPECT_EQ(again->updated, 0);
  }
  // A real change outside the records: reported, the records start over from the changed page.
  change = true;
  EXPECT_EQ(RunCheck(again, fetch), StepResult::kFinished);
  EXPECT_EQ(again->updated, 1);
  EXPECT_EQ(again->updatedTime, kNow);
  EXPECT_NE(again->content.find("Now also on Sundays"), std::string::npos);
  EXPECT_EQ(again->status, StatusNone);
  // And the learning after the change masks the volatile parts again->
  again->updated = 0;
  EXPECT_EQ(RunCheck(again, fetch), StepResult::kFinished);
  EXPECT_EQ(again->updated, 0);
}

INSTANTIATE_TEST_SUITE_P(Pages, ScenarioTest,
                         ::testing::Values("counter", "date", "token", "advert", "banner"));

}  // namespace
}  // namespace tw
