// The three Smart Update steps the check scheduler runs on a job's current document (the page, or
// the frame under the job's frame cursor) after a download.
//
// Each step takes the newest waiting download from the job (StepMode::kCompare) or finds it
// already taken as the snapshot (kTakenAsSnapshot), stores or drops it, keeps the job's counters
// and returns what the scheduler is to do next. "Check for Changes" is the page's checkCount
// (frames use the page's); the document's wait is the page's measuredWait or the frame's
// waitSeconds. A step that wants the job to wait before its next download says for how long; the
// scheduler keeps the time.
//
// Errors are recorded in the page (status StatusMessage, errorCode 172, 173 or 180) and returned
// as kPageError; nothing a step does on error changes the stored snapshot or mask records, and no
// exception leaves a step. Runs on the check thread; takes no lock.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/file_time.h"
#include "smartupdate/smart_update_job.h"

namespace tw {

// How the download reached the step.
enum class StepMode {
  kStoredAsContent,  // the body became the document's content: no step runs
  kCompare,          // the body waits in download 1 or 2
  kTakenAsSnapshot,  // taken as the snapshot without a comparison
};

// What a step tells the scheduler.
enum class StepResult {
  kPageDownloadAgain,   // LearnBaseline on the page: download again
  kPageChanged,         // CheckForChange: changed; LearnAfterChange on the page: download again
  kFrameDownloadAgain,  // LearnBaseline on a frame: download again
  kFrameChanged,        // CheckForChange: changed; LearnAfterChange on a frame: download again
  kFrameLearned,        // LearnAfterChange on a frame: finished
  kFinished,            // finished, or not changed
  kFrameListFailed,     // memory ran out building the frame list
  kPageError,           // an error was recorded in the PageRecord
};

struct StepOutcome {
  StepOutcome(StepResult r = StepResult::kFinished,  // NOLINT: a result alone is an outcome
              std::optional<uint16_t> wait = std::nullopt)
      : result(r), wait_seconds(wait) {}

  StepResult result;
  // Wait this long before the next download (the learning run's last one).
  std::optional<uint16_t> wait_seconds;
};

// Job state LearnBaseline (page or frame): learning a baseline.
StepOutcome LearnBaseline(SmartUpdateJob& job, StepMode mode, FileTime now);
// Job state CheckForChange (page or frame): is the download a real change of the stored snapshot?
StepOutcome CheckForChange(SmartUpdateJob& job, FileTime now);
// Job state LearnAfterChange (page or frame): learning again after a change; marks the page
// updated.
StepOutcome LearnAfterChange(SmartUpdateJob& job, StepMode mode, FileTime now);

}  // namespace tw
