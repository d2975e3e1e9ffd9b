// The job step: what a check pass does with one job whose request may have finished. It reads the
// outcome of the job's request, files the body as the document's content or as a download to
// compare, applies the header rules or the Smart Update step of the job's state and acts on the
// result: the job downloads again, waits, moves on to the next frame or finishes in its final
// state. Check thread only.
#pragma once

#include "checking/check_job.h"

namespace tw {

enum class JobProgress { kInProgress, kFinished };

// The job must have its whole page loaded, and its slot while its request runs. A job that is not
// running, waits for its deadline or has its request still running is left in progress (a passed
// deadline makes it ready again).
JobProgress RunJobStep(CheckJob& job);

// Whether the job's next request is a HEAD: a page check without stored content.
bool WantsHeadOnly(const CheckJob& job);

}  // namespace tw
