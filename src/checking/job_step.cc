#include "checking/job_step.h"

#include <optional>
#include <string>

#include "checking/request_pool.h"
#include "resources/strings.h"
#include "smartupdate/steps.h"

namespace tw {
namespace {

// Results the table knows that have no step of their own.
constexpr int kResultInProgress = 2;
constexpr int kResultCheckFrame = 5;

// The header rules, for a download that found its document without content. `old_modified` is
// the document's Last-Modified before the download was stored. Gives 0 (download again), 3
// (changed), 8 (taken as the snapshot) or 9 (not changed).
int ApplyHeaderRules(CheckJob& job, JobDocument& doc, FileTime old_modified, FileTime now) {
  PageRecord& page = *job.page;
  switch (job.state) {
    case job_state::kPageLearnBaseline:
    case job_state::kPageLearnAfterChange:
    case job_state::kFrameLearnBaseline:
    case job_state::kFrameLearnAfterChange: {
      int mode = step_mode::kStoredAsContent;
      // A document the server calls fresh, or one older than its wait, is checked by its headers
      // from now on: its content goes.
      auto drop = [&] {
        doc.SetContent({});
        doc.wait() = 0;
        mode = step_mode::kTakenAsSnapshot;
      };
      if (!page.ignoreExpires && !doc.expires().IsZero() && now < doc.expires()) drop();
      if (!page.ignoreLastModified && !doc.last_modified().IsZero() &&
          SecondsBetween(now, doc.last_modified()) + 0.5 > doc.wait()) {
        drop();
      }
      if (!page.smartUpdate || page.checkCount == 0) mode = step_mode::kTakenAsSnapshot;
      return mode;
    }
    case job_state::kPageCheckForChange: {
      // A HEAD request: nothing was stored, the page's times are those of the last download.
      if (!page.ignoreExpires && !page.expires.IsZero() && now < page.expires) {
        return step_result::kFinished;
      }
      if (!page.ignoreLastModified && !page.lastModified.IsZero() &&
          SameServerTime(page.lastModified, job.response_last_modified)) {
        return step_result::kFinished;
      }
      // The times that announced the change become the ones the next check compares with;
      // otherwise every later check would report this one change again.
      if (!job.response_last_modified.IsZero()) page.lastModified = job.response_last_modified;
      if (!job.response_expires.IsZero()) page.expires = job.response_expires;
      return step_result::kPageChanged;
    }
    case job_state::kFrameCheckForChange:
      // The page's ignore flags do not apply to its frames.
      if (!doc.expires().IsZero() && now < doc.expires()) return step_result::kFinished;
      if (!old_modified.IsZero() && SameServerTime(old_modified, job.response_last_modified)) {
        return step_result::kFinished;
      }
      return !doc.content().empty() ? step_mode::kStoredAsContent : step_result::kFrameChanged;
    default:
      return step_result::kFinished;
  }
}

int RunSmartUpdateStep(CheckJob& job, int mode, FileTime now) {
  switch (job.state) {
    case job_state::kPageLearnBaseline:
    case job_state::kFrameLearnBaseline:
      return LearnBaseline(job, mode, now);
    case job_state::kPageCheckForChange:
    case job_state::kFrameCheckForChange:
      return CheckForChange(job, now);
    default:
      return LearnAfterChange(job, mode, now);
  }
}

// Moves the job to `frame` in `state`; in progress.
JobProgress VisitFrame(CheckJob& job, RefNode<FrameEntry>* frame, int state) {
  job.frame_cursor = frame;
  job.ResetForNextDocument();
  job.state = state;
  return JobProgress::kInProgress;
}

JobProgress Finish(CheckJob& job, int state) {
  job.state = state;
  return JobProgress::kFinished;
}

RefNode<FrameEntry>* FrameAfterCurrent(const CheckJob& job) {
  return job.frame_cursor ? job.frame_cursor->next : job.frames.first();
}

// The page is written back as updated, with the time the job ends, since its job found a change.
JobProgress NextDocument(CheckJob& job) {
  if (RefNode<FrameEntry>* next = FrameAfterCurrent(job)) {
    return VisitFrame(job, next, job_state::kFrameCheckForChange);
  }
  return Finish(job, job_state::kFinishedWriteBack);
}

// Result 9 (finished, or not changed) by the job's state.
JobProgress AfterDocumentDone(CheckJob& job) {
  RefNode<FrameEntry>* first = job.frames.first();
  RefNode<FrameEntry>* next = FrameAfterCurrent(job);
  switch (job.state) {
    case job_state::kPageLearnBaseline:
      if (first) return VisitFrame(job, first, job_state::kFrameLearnBaseline);
      return Finish(job, job_state::kFinishedWriteBack);
    case job_state::kPageCheckForChange:
      if (first) return VisitFrame(job, first, job_state::kFrameCheckForChange);
      return Finish(job, job_state::kFinishedNotChanged);
    case job_state::kPageLearnAfterChange:
      if (first) return VisitFrame(job, first, job_state::kFrameCheckForChange);
      return Finish(job, job_state::kFinishedWriteBack);
    case job_state::kFrameLearnBaseline:
      if (next) return VisitFrame(job, next, job_state::kFrameLearnBaseline);
      return Finish(job, job_state::kFinishedWriteBack);
    case job_state::kFrameCheckForChange:
      if (next) return VisitFrame(job, next, job_state::kFrameCheckForChange);
      if (!job.changed) return Finish(job, job_state::kFinishedNotChanged);
      return Finish(job, job_state::kFinishedWriteBack);
    case job_state::kFrameLearnAfterChange:
      if (next) return VisitFrame(job, next, job_state::kFrameCheckForChange);
      return Finish(job, job_state::kFinishedWriteBack);
    default:
      return JobProgress::kFinished;
  }
}

// The result table. A change sets the changed flag where it is found, however the job goes on,
// so that a page learned again after its change, whose frames then show nothing new, is still
// written back as updated.
JobProgress ActOnResult(CheckJob& job, int result) {
  switch (result) {
    case step_result::kPageDownloadAgain:
    case kResultInProgress:
      return JobProgress::kInProgress;
    case step_result::kPageChanged:
      job.changed = true;
      if (job.page->checkCount != 0) {
        job.state = job_state::kPageLearnAfterChange;
        return JobProgress::kInProgress;
      }
      return NextDocument(job);
    case step_result::kFrameDownloadAgain:
      job.state = job_state::kFrameLearnBaseline;
      return JobProgress::kInProgress;
    case kResultCheckFrame:
      job.state = job_state::kFrameCheckForChange;
      return JobProgress::kInProgress;
    case step_result::kFrameChanged:
      job.changed = true;
      job.state = job_state::kFrameLearnAfterChange;
      return JobProgress::kInProgress;
    case step_result::kFrameLearned:
      job.changed = true;
      return NextDocument(job);
    case step_result::kFinished:
      return AfterDocumentDone(job);
    case step_result::kPageError:
      return Finish(job, job_state::kFinishedPageError);
    default:  // 8, 10 and anything else: finished as it stands
      return JobProgress::kFinished;
  }
}

}  // namespace

bool WantsHeadOnly(const CheckJob& job) {
  return job.state == job_state::kPageCheckForChange && job.page->content.empty();
}

JobProgress RunJobStep(CheckJob& job) {
  if (job.state >= job_state::kFinishedWriteBack || job.state < job_state::kPageLearnBaseline) {
    return JobProgress::kFinished;
  }
  if (job.scheduling == scheduling::kWaiting) {
    if (Now() >= job.deadline) {
      job.scheduling = scheduling::kReady;
      job.wait_phase = wait_phase::kFinalCheck;
    }
    return JobProgress::kInProgress;
  }
  if (job.scheduling != scheduling::kRunning) return JobProgress::kInProgress;
  RequestThread& request = *job.slot->thread;
  if (!request.IsDone()) return JobProgress::kInProgress;
  job.scheduling = scheduling::kReady;

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
    request.CloseRequest(false, false);
    return Finish(job, job_state::kFinishedPageError);
  }

  // The frame states are exactly those with a frame being visited.
  JobDocument doc(job);
  if (request.redirect_kind() == RedirectKind::kPermanent) {
    std::optional<std::string> target = request.TakePermanentAddress();
    if (!target) {
      request.CloseRequest(false, false);
      return JobProgress::kFinished;
    }
    // A frame keeps the address its page's source gives it; only the page itself moves.
    if (doc.is_page()) page.SetAddress(std::move(*target));
  }
  if (page.status != StatusRechecking) page.status = StatusNone;
  page.errorCode = 0;
  job.response_last_modified = request.last_modified();
  job.response_expires = request.expires();
  request.CloseRequest(false, true);
  std::optional<std::string> body = request.TakeBody();

  const FileTime now = Now();
  int mode;
  if (doc.content().empty()) {
    const FileTime old_modified = doc.last_modified();
    if (body) {
      doc.SetContent(std::move(*body));
      doc.last_modified() = job.response_last_modified;
      doc.expires() = job.response_expires;
    }
    mode = ApplyHeaderRules(job, doc, old_modified, now);
  } else if (body) {
    (job.download1 ? job.download2 : job.download1) = std::move(body);
    mode = step_mode::kCompare;
  } else {
    // Only a HEAD comes without a body, and only for a page without content.
    page.status = StatusMessage;
    page.errorCode = str::kUnknownError;
    return Finish(job, job_state::kFinishedPageError);
  }

  if (mode == step_mode::kStoredAsContent) return JobProgress::kInProgress;
  const int result = mode == step_mode::kCompare || mode == step_mode::kTakenAsSnapshot
                         ? RunSmartUpdateStep(job, mode, now)
                         : mode;
  return ActOnResult(job, result);
}

}  // namespace tw
