#include "checking/job_step.h"

#include <optional>
#include <string>

#include "checking/request_pool.h"
#include "resources/strings.h"
#include "smartupdate/steps.h"

namespace tw {
namespace {

// What the header rules make of a download that found its document without content: a Smart
// Update step to run in a mode, or a result without one.
struct HeaderOutcome {
  std::optional<StepMode> mode;
  StepResult result = StepResult::kFinished;
};

HeaderOutcome StepIn(StepMode mode) { return HeaderOutcome{mode, StepResult::kFinished}; }
HeaderOutcome Result(StepResult result) { return HeaderOutcome{std::nullopt, result}; }

// The header rules. `old_modified` is the document's Last-Modified before the download was
// stored.
HeaderOutcome ApplyHeaderRules(CheckJob& job, JobDocument& doc, FileTime old_modified,
                               FileTime now) {
  PageRecord& page = *job.page;
  switch (job.state) {
    case JobState::kPageLearnBaseline:
    case JobState::kPageLearnAfterChange:
    case JobState::kFrameLearnBaseline:
    case JobState::kFrameLearnAfterChange: {
      StepMode mode = StepMode::kStoredAsContent;
      // A document the server calls fresh, or one older than its wait, is checked by its headers
      // from now on: its content goes.
      auto drop = [&] {
        doc.SetContent({});
        doc.wait() = 0;
        mode = StepMode::kTakenAsSnapshot;
      };
      if (!page.ignoreExpires && !doc.expires().IsZero() && now < doc.expires()) drop();
      if (!page.ignoreLastModified && !doc.last_modified().IsZero() &&
          SecondsBetween(now, doc.last_modified()) + 0.5 > doc.wait()) {
        drop();
      }
      if (!page.smartUpdate || page.checkCount == 0) mode = StepMode::kTakenAsSnapshot;
      return StepIn(mode);
    }
    case JobState::kPageCheckForChange: {
      // A HEAD request: nothing was stored, the page's times are those of the last download.
      if (!page.ignoreExpires && !page.expires.IsZero() && now < page.expires) {
        return Result(StepResult::kFinished);
      }
      if (!page.ignoreLastModified && !page.lastModified.IsZero() &&
          SameServerTime(page.lastModified, job.response_last_modified)) {
        return Result(StepResult::kFinished);
      }
      // The times that announced the change become the ones the next check compares with;
      // otherwise every later check would report this one change again.
      if (!job.response_last_modified.IsZero()) page.lastModified = job.response_last_modified;
      if (!job.response_expires.IsZero()) page.expires = job.response_expires;
      return Result(StepResult::kPageChanged);
    }
    case JobState::kFrameCheckForChange:
      // The page's ignore flags do not apply to its frames.
      if (!doc.expires().IsZero() && now < doc.expires()) return Result(StepResult::kFinished);
      if (!old_modified.IsZero() && SameServerTime(old_modified, job.response_last_modified)) {
        return Result(StepResult::kFinished);
      }
      if (!doc.content().empty()) return StepIn(StepMode::kStoredAsContent);
      return Result(StepResult::kFrameChanged);
    default:
      return Result(StepResult::kFinished);
  }
}

StepOutcome RunSmartUpdateStep(CheckJob& job, StepMode mode, FileTime now) {
  switch (job.state) {
    case JobState::kPageLearnBaseline:
    case JobState::kFrameLearnBaseline:
      return LearnBaseline(job, mode, now);
    case JobState::kPageCheckForChange:
    case JobState::kFrameCheckForChange:
      return CheckForChange(job, now);
    default:
      return LearnAfterChange(job, mode, now);
  }
}

// Moves the job to `frame` in `state`; in progress.
JobProgress VisitFrame(CheckJob& job, RefNode<FrameEntry>* frame, JobState state) {
  job.frame_cursor = frame;
  job.ResetForNextDocument();
  job.state = state;
  return JobProgress::kInProgress;
}

JobProgress Finish(CheckJob& job, JobState state) {
  job.state = state;
  return JobProgress::kFinished;
}

RefNode<FrameEntry>* FrameAfterCurrent(const CheckJob& job) {
  return job.frame_cursor ? job.frame_cursor->next : job.frames.first();
}

// The page is written back as updated, with the time the job ends, since its job found a change.
JobProgress NextDocument(CheckJob& job) {
  if (RefNode<FrameEntry>* next = FrameAfterCurrent(job)) {
    return VisitFrame(job, next, JobState::kFrameCheckForChange);
  }
  return Finish(job, JobState::kFinishedWriteBack);
}

// kFinished (finished, or not changed) by the job's state.
JobProgress AfterDocumentDone(CheckJob& job) {
  RefNode<FrameEntry>* first = job.frames.first();
  RefNode<FrameEntry>* next = FrameAfterCurrent(job);
  switch (job.state) {
    case JobState::kPageLearnBaseline:
      if (first) return VisitFrame(job, first, JobState::kFrameLearnBaseline);
      return Finish(job, JobState::kFinishedWriteBack);
    case JobState::kPageCheckForChange:
      if (first) return VisitFrame(job, first, JobState::kFrameCheckForChange);
      return Finish(job, JobState::kFinishedNotChanged);
    case JobState::kPageLearnAfterChange:
      if (first) return VisitFrame(job, first, JobState::kFrameCheckForChange);
      return Finish(job, JobState::kFinishedWriteBack);
    case JobState::kFrameLearnBaseline:
      if (next) return VisitFrame(job, next, JobState::kFrameLearnBaseline);
      return Finish(job, JobState::kFinishedWriteBack);
    case JobState::kFrameCheckForChange:
      if (next) return VisitFrame(job, next, JobState::kFrameCheckForChange);
      if (!job.changed) return Finish(job, JobState::kFinishedNotChanged);
      return Finish(job, JobState::kFinishedWriteBack);
    case JobState::kFrameLearnAfterChange:
      if (next) return VisitFrame(job, next, JobState::kFrameCheckForChange);
      return Finish(job, JobState::kFinishedWriteBack);
    default:
      return JobProgress::kFinished;
  }
}

// The result table. A change sets the changed flag where it is found, however the job goes on,
// so that a page learned again after its change, whose frames then show nothing new, is still
// written back as updated.
JobProgress ActOnResult(CheckJob& job, StepResult result) {
  switch (result) {
    case StepResult::kPageDownloadAgain:
      return JobProgress::kInProgress;
    case StepResult::kPageChanged:
      job.changed = true;
      if (job.page->checkCount != 0) {
        job.state = JobState::kPageLearnAfterChange;
        return JobProgress::kInProgress;
      }
      return NextDocument(job);
    case StepResult::kFrameDownloadAgain:
      job.state = JobState::kFrameLearnBaseline;
      return JobProgress::kInProgress;
    case StepResult::kFrameChanged:
      job.changed = true;
      job.state = JobState::kFrameLearnAfterChange;
      return JobProgress::kInProgress;
    case StepResult::kFrameLearned:
      job.changed = true;
      return NextDocument(job);
    case StepResult::kFinished:
      return AfterDocumentDone(job);
    case StepResult::kPageError:
      return Finish(job, JobState::kFinishedPageError);
    case StepResult::kFrameListFailed:
      break;
  }
  return JobProgress::kFinished;  // finished as it stands
}

}  // namespace

bool WantsHeadOnly(const CheckJob& job) {
  return job.state == JobState::kPageCheckForChange && job.page->content.empty();
}

JobProgress RunJobStep(CheckJob& job) {
  if (!IsRunning(job.state)) return JobProgress::kFinished;
  if (job.scheduling == Scheduling::kWaiting) {
    if (Now() >= job.deadline) {
      job.scheduling = Scheduling::kReady;
      job.wait_phase = WaitPhase::kFinalCheck;
    }
    return JobProgress::kInProgress;
  }
  if (job.scheduling != Scheduling::kRunning) return JobProgress::kInProgress;
  RequestThread& request = *job.slot->thread;
  if (!request.IsDone()) return JobProgress::kInProgress;
  job.scheduling = Scheduling::kReady;

  PageRecord& page = *job.page;
  const bool head_only = request.head_only();
  if (request.result() != kRequestSuccess || (!head_only && request.body_length() == 0)) {
    if (request.result() == kRequestHttpError) {
      page.status = StatusHttpError;
      page.errorCode = request.code();
    } else if (request.result() == kRequestFailure) {
      page.status = StatusSystemError;
      page.errorCode = request.code();
    } else {
      page.status = StatusMessage;
      page.errorCode = str::kUnknownError;
    }
    request.CloseRequest();
    return Finish(job, JobState::kFinishedPageError);
  }

  // The frame states are exactly those with a frame being visited.
  JobDocument doc(job);
  if (request.redirect_kind() == RedirectKind::kPermanent) {
    std::optional<std::string> target = request.TakePermanentAddress();
    if (!target) {
      request.CloseRequest();
      return JobProgress::kFinished;
    }
    // A frame keeps the address its page's source gives it; only the page itself moves.
    if (doc.is_page()) page.SetAddress(std::move(*target));
  }
  if (page.status != StatusRechecking) page.status = StatusNone;
  page.errorCode = 0;
  job.response_last_modified = request.last_modified();
  job.response_expires = request.expires();
  request.CloseRequest({.keep_body = true});
  std::optional<std::string> body = request.TakeBody();

  const FileTime now = Now();
  HeaderOutcome next;
  if (doc.content().empty()) {
    const FileTime old_modified = doc.last_modified();
    if (body) {
      doc.SetContent(std::move(*body));
      doc.last_modified() = job.response_last_modified;
      doc.expires() = job.response_expires;
    }
    next = ApplyHeaderRules(job, doc, old_modified, now);
  } else if (body) {
    (job.download1 ? job.download2 : job.download1) = std::move(body);
    next = StepIn(StepMode::kCompare);
  } else {
    // Only a HEAD comes without a body, and only for a page without content.
    page.status = StatusMessage;
    page.errorCode = str::kUnknownError;
    return Finish(job, JobState::kFinishedPageError);
  }

  if (!next.mode) return ActOnResult(job, next.result);
  if (*next.mode == StepMode::kStoredAsContent) return JobProgress::kInProgress;
  const StepOutcome outcome = RunSmartUpdateStep(job, *next.mode, now);
  if (outcome.wait_seconds) {
    // The step asks for its wait before the next download; the schedule keeps the time.
    job.scheduling = Scheduling::kWaiting;
    job.deadline = AddSeconds(now, *outcome.wait_seconds);
  }
  return ActOnResult(job, outcome.result);
}

}  // namespace tw
