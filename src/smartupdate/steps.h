// The three Smart Update steps the check scheduler runs on a job's current document (the page, or
// the frame under the job's frame cursor) after a download.
//
// Each step takes the newest waiting download from the job (mode kCompare) or finds it already
// taken as the snapshot (mode kTakenAsSnapshot), stores or drops it, keeps the job's counters and
// returns a step_result. "Check for Changes" is the page's checkCount (frames use the page's);
// the document's wait is the page's measuredWait or the frame's waitSeconds. A step that asks the
// job to wait sets its scheduling state to kWaiting and its deadline to `now` plus that wait.
//
// Errors are recorded in the page (status StatusMessage, errorCode 172, 173 or 180) and returned
// as kPageError; nothing a step does on error changes the stored snapshot or mask records, and no
// exception leaves a step. Runs on the check thread; takes no lock.
#pragma once

#include "platform/file_time.h"
#include "smartupdate/check_job.h"

namespace tw {

// Job state 1 (page) or 4 (frame): learning a baseline.
int LearnBaseline(CheckJob& job, int mode, FileTime now);
// Job state 2 (page) or 5 (frame): is the download a real change of the stored snapshot?
int CheckForChange(CheckJob& job, FileTime now);
// Job state 3 (page) or 6 (frame): learning again after a change; marks the page updated.
int LearnAfterChange(CheckJob& job, int mode, FileTime now);

}  // namespace tw
