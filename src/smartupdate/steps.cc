#include "smartupdate/steps.h"

#include <optional>
#include <string>

#include "resources/strings.h"
#include "smartupdate/compare.h"
#include "smartupdate/frames.h"

namespace tw {
namespace {

StepOutcome RecordError(SmartUpdateJob& job, uint32_t message) {
  job.page->status = StatusMessage;
  job.page->errorCode = message;
  return {StepResult::kPageError};
}

// The frames of the page's new content, brought into line with the page and the job.
bool ResolveFramesOf(SmartUpdateJob& job, std::string_view content) {
  SourceList sources;
  if (CollectFrameSources(content, sources)) return false;
  return !ResolveFrameSources(sources, *job.page, job.frames);
}

// Counts a download that showed nothing new for the baseline. True when enough came in a row: the
// learning run ends, and a final check after the wait clears the measured wait.
bool QuietRunEnds(SmartUpdateJob& job, JobDocument& doc, int check_count) {
  if (job.quiet_counter < check_count) {
    ++job.quiet_counter;
    return false;
  }
  if (job.wait_phase == WaitPhase::kFinalCheck) {
    doc.wait() = 0;
    job.wait_phase = WaitPhase::kDone;
  }
  return true;
}

StepResult Again(const JobDocument& doc, bool after_change) {
  if (after_change) return doc.is_page() ? StepResult::kPageChanged : StepResult::kFrameChanged;
  return doc.is_page() ? StepResult::kPageDownloadAgain : StepResult::kFrameDownloadAgain;
}

// Again, after waiting the document's wait when the quiet run has reached the check count.
StepOutcome AgainAfterWait(const JobDocument& doc, bool after_change, bool wait, uint16_t seconds) {
  const StepResult result = Again(doc, after_change);
  return wait ? StepOutcome(result, seconds) : StepOutcome(result);
}

// The outcome of one learning comparison of a different download, before the step acts on it.
struct Learned {
  int walk;
  MaskList list;
};

// Runs LearnDifferences on a copy of the document's records, so that a failure leaves the
// stored list as it was; the page's frames are resolved from what the walk collected.
std::optional<Learned> Learn(SmartUpdateJob& job, JobDocument& doc, const std::string& download,
                             StepOutcome& error) {
  Learned learned{0, CloneList(doc.masks())};
  SourceList sources;
  learned.walk =
      LearnDifferences(doc.content(), download, learned.list, doc.is_page() ? &sources : nullptr);
  if (learned.walk == walk_result::kFailed) {
    error = RecordError(job, str::kPageProcessingError);
    return std::nullopt;
  }
  if (doc.is_page() && ResolveFrameSources(sources, *job.page, job.frames)) {
    error = {StepResult::kFrameListFailed};
    return std::nullopt;
  }
  return learned;
}

StepOutcome LearnBaselineStep(SmartUpdateJob& job, StepMode mode) {
  PageRecord& page = *job.page;
  JobDocument doc(job);
  if (mode == StepMode::kTakenAsSnapshot) {
    if (doc.is_page() && !ResolveFramesOf(job, page.content)) return {StepResult::kFrameListFailed};
    return {StepResult::kFinished};
  }
  std::optional<std::string> download = job.TakeDownload();
  if (!download) return RecordError(job, str::kSeriousPageError);
  const int check_count = page.checkCount;

  // A page whose Last-Modified moved is compared by the walk even when its bytes are the same.
  const bool modified = doc.is_page() && !page.ignoreLastModified && !page.lastModified.IsZero() &&
                        !job.response_last_modified.IsZero() &&
                        !SameServerTime(page.lastModified, job.response_last_modified);
  if (!modified && *download == doc.content()) {
    if (doc.is_page()) {
      doc.SetContent(std::move(*download));
      if (!ResolveFramesOf(job, page.content)) return {StepResult::kFrameListFailed};
    }
    if (QuietRunEnds(job, doc, check_count)) return {StepResult::kFinished};
  } else {
    job.state = doc.is_page() ? JobState::kPageLearnBaseline : JobState::kFrameLearnBaseline;
    StepOutcome error;
    std::optional<Learned> learned = Learn(job, doc, *download, error);
    if (!learned) return error;
    if (learned->walk == walk_result::kSame) {
      if (QuietRunEnds(job, doc, check_count)) return {StepResult::kFinished};
    } else {
      if (job.changes_counter >= kMaxLearningChanges) {
        return RecordError(job, str::kTooManyChanges);
      }
      ++job.changes_counter;
      if (job.wait_phase == WaitPhase::kFinalCheck && job.quiet_counter >= check_count) {
        job.wait_phase = WaitPhase::kDone;
      }
      job.quiet_counter = 0;
    }
    doc.SetMasks(std::move(learned->list));
    if (doc.is_page() || learned->walk == walk_result::kDifferent) {
      doc.SetContent(std::move(*download));
    }
  }
  return AgainAfterWait(doc, false,
                        job.quiet_counter == check_count && job.wait_phase == WaitPhase::kNone,
                        doc.wait());
}

StepOutcome CheckForChangeStep(SmartUpdateJob& job) {
  JobDocument doc(job);
  std::optional<std::string> download = job.TakeDownload();
  if (!download) return RecordError(job, str::kSeriousPageError);
  if (*download == doc.content()) return {StepResult::kFinished};
  const bool had_masks = !doc.masks().empty();
  if (had_masks || job.page->smartUpdate) {
    const int walk = MatchWithMasks(doc.content(), *download, doc.masks());
    if (walk == walk_result::kSame) return {StepResult::kFinished};
    if (walk == walk_result::kFailed) return RecordError(job, str::kPageProcessingError);
  }
  // A real change: learning starts over from the changed document.
  if (had_masks) doc.SetMasks(MaskList());
  doc.SetContent(std::move(*download));
  return {doc.is_page() ? StepResult::kPageChanged : StepResult::kFrameChanged};
}

StepOutcome LearnAfterChangeStep(SmartUpdateJob& job, StepMode mode, FileTime now) {
  PageRecord& page = *job.page;
  JobDocument doc(job);
  if (mode == StepMode::kTakenAsSnapshot) {
    if (doc.is_page() && !ResolveFramesOf(job, page.content)) return {StepResult::kFrameListFailed};
    return {StepResult::kFinished};
  }
  std::optional<std::string> download = job.TakeDownload();
  if (!download) return RecordError(job, str::kSeriousPageError);
  const int check_count = page.checkCount;

  if (*download == doc.content()) {
    if (doc.is_page()) {
      doc.SetContent(std::move(*download));
      if (!ResolveFramesOf(job, page.content)) return {StepResult::kFrameListFailed};
    }
    if (job.quiet_counter >= check_count) {
      return {doc.is_page() ? StepResult::kFinished : StepResult::kFrameLearned};
    }
    ++job.quiet_counter;
  } else {
    job.state = doc.is_page() ? JobState::kPageLearnAfterChange : JobState::kFrameLearnAfterChange;
    StepOutcome error;
    std::optional<Learned> learned = Learn(job, doc, *download, error);
    if (!learned) return error;
    const bool found = learned->walk == walk_result::kDifferent;
    if (!found && doc.is_page()) {
      if (job.quiet_counter >= check_count) return {StepResult::kFinished};
      ++job.quiet_counter;
    } else if (found) {
      if (job.changes_counter >= kMaxLearningChanges) {
        return RecordError(job, str::kTooManyChanges);
      }
      ++job.changes_counter;
      job.quiet_counter = 0;
    }
    doc.SetMasks(std::move(learned->list));
    if (doc.is_page() || found) doc.SetContent(std::move(*download));
    if (!doc.is_page()) {
      if (job.quiet_counter == check_count) return {StepResult::kFrameLearned};
      if (!found) ++job.quiet_counter;
    }
  }
  if (doc.is_page()) {
    page.updated = 1;
    page.updatedTime = now;
  }
  return AgainAfterWait(doc, true, job.quiet_counter == check_count && doc.wait() != 0, doc.wait());
}

// No exception leaves a step: whatever escapes is recorded as a serious error of the page.
template <class Step>
StepOutcome Guarded(SmartUpdateJob& job, const Step& step) {
  try {
    return step();
  } catch (...) {
    try {
      return RecordError(job, str::kSeriousPageError);
    } catch (...) {
      return {StepResult::kPageError};
    }
  }
}

}  // namespace

StepOutcome LearnBaseline(SmartUpdateJob& job, StepMode mode, FileTime /*now*/) {
  return Guarded(job, [&] { return LearnBaselineStep(job, mode); });
}

StepOutcome CheckForChange(SmartUpdateJob& job, FileTime /*now*/) {
  return Guarded(job, [&] { return CheckForChangeStep(job); });
}

StepOutcome LearnAfterChange(SmartUpdateJob& job, StepMode mode, FileTime now) {
  return Guarded(job, [&] { return LearnAfterChangeStep(job, mode, now); });
}

}  // namespace tw
