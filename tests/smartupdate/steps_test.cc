#include "smartupdate/steps.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "resources/strings.h"
#include "smartupdate/compare.h"

namespace tw {
namespace {

const FileTime kNow = FileTime::FromUnixSeconds(1'700'000'000);

class StepsTest : public ::testing::Test {
 protected:
  StepsTest() : job_(std::make_unique<PageRecord>()) {
    page().SetAddress("http://example.org/");
    page().smartUpdate = 1;
    page().checkCount = 2;
  }
  PageRecord& page() { return *job_.page; }

  StepResult Baseline(std::string download, FileTime now = kNow) {
    job_.download1 = std::move(download);
    return Take(LearnBaseline(job_, StepMode::kCompare, now), now);
  }
  StepResult Check(std::string download) {
    job_.download1 = std::move(download);
    return Take(CheckForChange(job_, kNow), kNow);
  }
  StepResult AfterChange(std::string download, FileTime now = kNow) {
    job_.download1 = std::move(download);
    return Take(LearnAfterChange(job_, StepMode::kCompare, now), now);
  }
  // The scheduler's side of a step: a wait it asks for lasts until `deadline_`.
  StepResult Take(StepOutcome outcome, FileTime now) {
    if (outcome.wait_seconds) deadline_ = AddSeconds(now, *outcome.wait_seconds);
    return outcome.result;
  }
  void AddMask(uint32_t index, uint32_t kind) {
    page().masks.Append(std::make_unique<MaskEntry>(index, kind, 0));
    page().maskCount = page().masks.count();
  }
  // The scheduler's side of a wait: the deadline passed.
  void DeadlinePassed() {
    ASSERT_TRUE(deadline_.has_value());
    deadline_.reset();
    job_.wait_phase = WaitPhase::kFinalCheck;
  }

  SmartUpdateJob job_;
  std::optional<FileTime> deadline_;  // the job waits until then
};

TEST_F(StepsTest, BaselineOfAnUnchangingPageWaitsOnceThenEnds) {
  page().SetContent("<p>a</p>");
  page().measuredWait = 90;
  job_.state = JobState::kPageLearnBaseline;
  EXPECT_EQ(Baseline("<p>a</p>"), StepResult::kPageDownloadAgain);
  EXPECT_EQ(Baseline("<p>a</p>"), StepResult::kPageDownloadAgain);
  // Check for Changes (2) quiet downloads: wait until now plus the page's wait.
  EXPECT_EQ(job_.quiet_counter, 2);
  EXPECT_EQ(deadline_, AddSeconds(kNow, 90));
  DeadlinePassed();
  // The final check after the wait finds nothing new: finished, and the wait is cleared.
  EXPECT_EQ(Baseline("<p>a</p>"), StepResult::kFinished);
  EXPECT_EQ(page().measuredWait, 0);
  EXPECT_EQ(job_.wait_phase, WaitPhase::kDone);
}

TEST_F(StepsTest, BaselineLearnsDifferencesAndStartsCountingAgain) {
  page().SetContent("<p>a</p><span>1</span>");
  EXPECT_EQ(Baseline("<p>a</p><span>1</span>"), StepResult::kPageDownloadAgain);
  EXPECT_EQ(job_.quiet_counter, 1);
  EXPECT_EQ(Baseline("<p>a</p><span>2</span>"), StepResult::kPageDownloadAgain);
  EXPECT_EQ(job_.changes_counter, 1);
  EXPECT_EQ(job_.quiet_counter, 0);
  EXPECT_EQ(page().maskCount, 1u);
  EXPECT_EQ(page().masks.first()->kind, mask_kind::kWholeElement);
  EXPECT_EQ(page().content, "<p>a</p><span>2</span>");
  // A different download allowed by the records is a quiet one; the page still stores it.
  EXPECT_EQ(Baseline("<p>a</p><span>3</span>"), StepResult::kPageDownloadAgain);
  EXPECT_EQ(job_.quiet_counter, 1);
  EXPECT_EQ(page().content, "<p>a</p><span>3</span>");
}

TEST_F(StepsTest, ThirteenthLearningChangeIsTooManyAndStoresNothing) {
  page().SetContent("<i>0</i>");
  std::string doc;
  for (int i = 1; i <= kMaxLearningChanges; ++i) {
    doc += "<b>x</b>";  // each download adds an element at the end: a new record each time
    ASSERT_EQ(Baseline("<i>0</i>" + doc), StepResult::kPageDownloadAgain) << i;
  }
  EXPECT_EQ(job_.changes_counter, kMaxLearningChanges);
  const std::string content = page().content;
  const uint32_t masks = page().maskCount;
  EXPECT_EQ(Baseline("<u>" + doc), StepResult::kPageError);
  EXPECT_EQ(page().status, StatusMessage);
  EXPECT_EQ(page().errorCode, str::kTooManyChanges);
  EXPECT_EQ(page().content, content);
  EXPECT_EQ(page().maskCount, masks);
}

TEST_F(StepsTest, AFailingWalkLeavesSnapshotAndRecordsAsTheyWere) {
  page().SetContent("<p>1</p><img src");
  AddMask(7, mask_kind::kTextBefore);
  EXPECT_EQ(Baseline("<p>2</p><img src"), StepResult::kPageError);
  EXPECT_EQ(page().errorCode, str::kPageProcessingError);
  EXPECT_EQ(page().content, "<p>1</p><img src");
  EXPECT_EQ(page().maskCount, 1u);
  EXPECT_EQ(page().masks.first()->index, 7u);
  // A step called without a download is a fault of the caller: a serious error, not a crash.
  EXPECT_EQ(LearnBaseline(job_, StepMode::kCompare, kNow).result, StepResult::kPageError);
  EXPECT_EQ(page().errorCode, str::kSeriousPageError);
}

TEST_F(StepsTest, AMovedLastModifiedMakesEqualBytesGoThroughTheWalk) {
  page().SetContent("<iframe src=\"f.html\"></iframe>");
  page().lastModified = FileTime::FromUnixSeconds(1000);
  job_.response_last_modified = FileTime::FromUnixSeconds(2000);
  EXPECT_EQ(Baseline("<iframe src=\"f.html\"></iframe>"), StepResult::kPageDownloadAgain);
  EXPECT_EQ(job_.quiet_counter, 1);
  // The walk found the unchanged frame element: the page now has its frame, and the job visits it.
  ASSERT_EQ(page().frameCount, 1u);
  EXPECT_EQ(page().frames.first()->address, "http://example.org/f.html");
  ASSERT_EQ(job_.frames.count(), 1u);
  EXPECT_EQ(job_.frames.first()->target, page().frames.first());
}

TEST_F(StepsTest, CheckForChangeKeepsTheSnapshotWhenRecordsAllowTheDifference) {
  page().SetContent("<p>a</p><!-- 1 -->");
  EXPECT_EQ(Check("<p>a</p><!-- 1 -->"), StepResult::kFinished);
  // A comment differs: equal for the walk with Smart Update on, a change with it off.
  EXPECT_EQ(Check("<p>a</p><!-- 2 -->"), StepResult::kFinished);
  EXPECT_EQ(page().content, "<p>a</p><!-- 1 -->");
  page().smartUpdate = 0;
  EXPECT_EQ(Check("<p>a</p><!-- 2 -->"), StepResult::kPageChanged);
  EXPECT_EQ(page().content, "<p>a</p><!-- 2 -->");

  page().SetContent("<i>a</i>Visitors 5<b>x</b>");
  AddMask(1, mask_kind::kTextBefore);
  EXPECT_EQ(Check("<i>a</i>Visitors 6<b>x</b>"), StepResult::kFinished);
  EXPECT_EQ(page().content, "<i>a</i>Visitors 5<b>x</b>");  // no drift with filtered changes
  EXPECT_EQ(page().maskCount, 1u);
  // A real change drops every record and replaces the snapshot.
  EXPECT_EQ(Check("<i>A</i>Visitors 6<b>x</b>"), StepResult::kPageChanged);
  EXPECT_EQ(page().maskCount, 0u);
  EXPECT_TRUE(page().masks.empty());
  EXPECT_EQ(page().content, "<i>A</i>Visitors 6<b>x</b>");
}

TEST_F(StepsTest, LearnAfterChangeEndsAfterCheckCountPlusOneQuietDownloads) {
  page().SetContent("<p>new</p>");
  job_.state = JobState::kPageLearnAfterChange;
  EXPECT_EQ(AfterChange("<p>new</p>"), StepResult::kPageChanged);
  EXPECT_EQ(page().updated, 1);
  EXPECT_EQ(page().updatedTime, kNow);
  EXPECT_EQ(AfterChange("<p>new</p>"), StepResult::kPageChanged);
  EXPECT_FALSE(deadline_.has_value());  // wait 0: no waiting
  EXPECT_EQ(AfterChange("<p>new</p>"), StepResult::kFinished);

  // With a wait, the download that brings the quiet counter to Check for Changes waits.
  page().measuredWait = 30;
  job_.quiet_counter = 0;
  EXPECT_EQ(AfterChange("<p>new</p>"), StepResult::kPageChanged);
  EXPECT_EQ(AfterChange("<p>new</p>"), StepResult::kPageChanged);
  EXPECT_EQ(deadline_, AddSeconds(kNow, 30));
}

TEST_F(StepsTest, FramesAreLearnedAndCheckedAsTheirOwnDocuments) {
  auto frame = std::make_unique<FrameEntry>();
  frame->SetAddress("http://example.org/f.html");
  frame->SetContent("<p>1</p><b>x</b>");
  frame->waitSeconds = 20;
  page().frames.Append(std::move(frame));
  page().frameCount = 1;
  job_.BuildFrameList();
  job_.frame_cursor = job_.frames.first();
  FrameEntry& f = *page().frames.first();
  job_.state = JobState::kFrameLearnBaseline;

  // A frame keeps its snapshot when a download brings nothing new, and stores it otherwise.
  EXPECT_EQ(Baseline("<p>2</p><b>x</b>"), StepResult::kFrameDownloadAgain);
  EXPECT_EQ(f.content, "<p>2</p><b>x</b>");
  EXPECT_EQ(f.maskCount, 1u);
  EXPECT_EQ(Baseline("<p>3</p><b>x</b>"), StepResult::kFrameDownloadAgain);
  EXPECT_EQ(f.content, "<p>2</p><b>x</b>");
  EXPECT_EQ(Baseline("<p>2</p><b>x</b>"), StepResult::kFrameDownloadAgain);
  EXPECT_EQ(deadline_, AddSeconds(kNow, 20));

  job_.ResetForNextDocument();
  EXPECT_EQ(Check("<p>4</p><b>x</b>"), StepResult::kFinished);
  EXPECT_EQ(Check("<p>4</p><b>y</b>"), StepResult::kFrameChanged);
  EXPECT_EQ(f.maskCount, 0u);
  job_.ResetForNextDocument();
  page().checkCount = 1;
  EXPECT_EQ(AfterChange("<p>4</p><b>y</b>"), StepResult::kFrameChanged);
  EXPECT_EQ(AfterChange("<p>4</p><b>y</b>"), StepResult::kFrameLearned);
  EXPECT_EQ(page().updated, 0);  // frames do not mark the page themselves
}

}  // namespace
}  // namespace tw
