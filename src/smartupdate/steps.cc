#include "smartupdate/steps.h"

#include <optional>
#include <string>

#include "resources/strings.h"
#include "smartupdate/compare.h"
#include "smartupdate/frames.h"

namespace tw {
namespace {

int RecordError(CheckJob& job, uint32_t message) {
  job.page->status = StatusMessage;
  job.page->errorCode = message;
  return step_result::kPageError;
}

// The frames of the page's new content, brought into line with the page and the job.
bool ResolveFramesOf(CheckJob& job, std::string_view content) {
  SourceList sources;
  if (CollectFrameSources(content, sources)) return false;
  return !ResolveFrameSources(sources, *job.page, job.frames);
}

void StartWaiting(CheckJob& job, uint16_t seconds, FileTime now) {
  job.scheduling = scheduling::kWaiting;
  job.deadline = AddSeconds(now, seconds);
}

// Counts a download that showed nothing new for the baseline. True when enough came in a row: the
// learning run ends, and a final check after the wait clears the measured wait.
bool QuietRunEnds(CheckJob& job, JobDocument& doc, int check_count) {
  if (job.quiet_counter < check_count) {
    ++job.quiet_counter;
    return false;
  }
  if (job.wait_phase == wait_phase::kFinalCheck) {
    doc.wait() = 0;
    job.wait_phase = wait_phase::kDone;
  }
  return true;
}

int Again(const JobDocument& doc, bool after_change) {
  if (after_change) return doc.is_page() ? step_result::kPageChanged : step_result::kFrameChanged;
  return doc.is_page() ? step_result::kPageDownloadAgain : step_result::kFrameDownloadAgain;
}

// The outcome of one learning comparison of a different download, before the step acts on it.
struct Learned {
  int walk;
  MaskList list;
};

// Runs LearnDifferences on a copy of the document's records, so that a failure leaves the
// stored list as it was; the page's frames are resolved from what the walk collected.
std::optional<Learned> Learn(CheckJob& job, JobDocument& doc, const std::string& download,
                             int& error) {
  Learned learned{0, CloneList(doc.masks())};
  SourceList sources;
  learned.walk =
      LearnDifferences(doc.content(), download, learned.list, doc.is_page() ? &sources : nullptr);
  if (learned.walk == walk_result::kFailed) {
    error = RecordError(job, str::kPageProcessingError);
    return std::nullopt;
  }
  if (doc.is_page() && ResolveFrameSources(sources, *job.page, job.frames)) {
    error = step_result::kFrameListFailed;
    return std::nullopt;
  }
  return learned;
}

int LearnBaselineStep(CheckJob& job, int mode, FileTime now) {
  PageRecord& page = *job.page;
  JobDocument doc(job);
  if (mode == step_mode::kTakenAsSnapshot) {
    if (doc.is_page() && !ResolveFramesOf(job, page.content)) return step_result::kFrameListFailed;
    return step_result::kFinished;
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
      if (!ResolveFramesOf(job, page.content)) return step_result::kFrameListFailed;
    }
    if (QuietRunEnds(job, doc, check_count)) return step_result::kFinished;
  } else {
    job.state = doc.is_page() ? job_state::kPageLearnBaseline : job_state::kFrameLearnBaseline;
    int error = 0;
    std::optional<Learned> learned = Learn(job, doc, *download, error);
    if (!learned) return error;
    if (learned->walk == walk_result::kSame) {
      if (QuietRunEnds(job, doc, check_count)) return step_result::kFinished;
    } else {
      if (job.changes_counter >= kMaxLearningChanges) {
        return RecordError(job, str::kTooManyChanges);
      }
      ++job.changes_counter;
      if (job.wait_phase == wait_phase::kFinalCheck && job.quiet_counter >= check_count) {
        job.wait_phase = wait_phase::kDone;
      }
      job.quiet_counter = 0;
    }
    doc.SetMasks(std::move(learned->list));
    if (doc.is_page() || learned->walk == walk_result::kDifferent) {
      doc.SetContent(std::move(*download));
    }
  }
  if (job.quiet_counter == check_count && job.wait_phase == wait_phase::kNone) {
    StartWaiting(job, doc.wait(), now);
  }
  return Again(doc, false);
}

int CheckForChangeStep(CheckJob& job) {
  JobDocument doc(job);
  std::optional<std::string> download = job.TakeDownload();
  if (!download) return RecordError(job, str::kSeriousPageError);
  if (*download == doc.content()) return step_result::kFinished;
  const bool had_masks = !doc.masks().empty();
  if (had_masks || job.page->smartUpdate) {
    const int walk = MatchWithMasks(doc.content(), *download, doc.masks());
    if (walk == walk_result::kSame) return step_result::kFinished;
    if (walk == walk_result::kFailed) return RecordError(job, str::kPageProcessingError);
  }
  // A real change: learning starts over from the changed document.
  if (had_masks) doc.SetMasks(MaskList());
  doc.SetContent(std::move(*download));
  return doc.is_page() ? step_result::kPageChanged : step_result::kFrameChanged;
}

int LearnAfterChangeStep(CheckJob& job, int mode, FileTime now) {
  PageRecord& page = *job.page;
  JobDocument doc(job);
  if (mode == step_mode::kTakenAsSnapshot) {
    if (doc.is_page() && !ResolveFramesOf(job, page.content)) return step_result::kFrameListFailed;
    return step_result::kFinished;
  }
  std::optional<std::string> download = job.TakeDownload();
  if (!download) return RecordError(job, str::kSeriousPageError);
  const int check_count = page.checkCount;

  if (*download == doc.content()) {
    if (doc.is_page()) {
      doc.SetContent(std::move(*download));
      if (!ResolveFramesOf(job, page.content)) return step_result::kFrameListFailed;
    }
    if (job.quiet_counter >= check_count) {
      return doc.is_page() ? step_result::kFinished : step_result::kFrameLearned;
    }
    ++job.quiet_counter;
  } else {
    job.state =
        doc.is_page() ? job_state::kPageLearnAfterChange : job_state::kFrameLearnAfterChange;
    int error = 0;
    std::optional<Learned> learned = Learn(job, doc, *download, error);
    if (!learned) return error;
    const bool found = learned->walk == walk_result::kDifferent;
    if (!found && doc.is_page()) {
      if (job.quiet_counter >= check_count) return step_result::kFinished;
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
      if (job.quiet_counter == check_count) return step_result::kFrameLearned;
      if (!found) ++job.quiet_counter;
    }
  }
  if (job.quiet_counter == check_count && doc.wait() != 0) StartWaiting(job, doc.wait(), now);
  if (doc.is_page()) {
    page.updated = 1;
    page.updatedTime = now;
  }
  return Again(doc, true);
}

// No exception leaves a step: whatever escapes is recorded as a serious error of the page.
template <class Step>
int Guarded(CheckJob& job, const Step& step) {
  try {
    return step();
  } catch (...) {
    try {
      return RecordError(job, str::kSeriousPageError);
    } catch (...) {
      return step_result::kPageError;
    }
  }
}

}  // namespace

int LearnBaseline(CheckJob& job, int mode, FileTime now) {
  return Guarded(job, [&] { return LearnBaselineStep(job, mode, now); });
}

int CheckForChange(CheckJob& job, FileTime /*now*/) {
  return Guarded(job, [&] { return CheckForChangeStep(job); });
}

int LearnAfterChange(CheckJob& job, int mode, FileTime now) {
  return Guarded(job, [&] { return LearnAfterChangeStep(job, mode, now); });
}

}  // namespace tw
