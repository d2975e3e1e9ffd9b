// CheckJob: one page being checked in a check pass, as the check scheduler keeps it and the
// Smart Update steps work on it.
//
// The scheduler owns the jobs of a pass in an OwnedList<CheckJob> and touches them from the check
// thread only; nothing here locks. A job owns its PageRecord, its frame visit list (nodes that
// point at the page's FrameEntry records, which the page owns) and the downloads waiting for a
// step.
#pragma once

#include <cmath>
#include <memory>
#include <optional>
#include <string>

#include "foundation/owned_list.h"
#include "pagefile/page_record.h"
#include "platform/file_time.h"
#include "smartupdate/frames.h"

namespace tw {

// Whether two response times moved to our clock stand for the same server time. A server whose
// clock is off is corrected by its Date header, which has whole seconds and ages while the
// response travels, so one Last-Modified can come out up to a second or so apart.
inline bool SameServerTime(FileTime a, FileTime b) {
  constexpr double kToleranceSeconds = 2;
  return a == b ||
         (!a.IsZero() && !b.IsZero() && std::fabs(SecondsBetween(a, b)) < kToleranceSeconds);
}

// The scheduler's own records, defined by the scheduler.
struct RequestSlot;
struct CheckEntry;

namespace job_state {
inline constexpr int kPageLearnBaseline = 1;     // LearnBaseline on the page
inline constexpr int kPageCheckForChange = 2;    // CheckForChange on the page
inline constexpr int kPageLearnAfterChange = 3;  // LearnAfterChange on the page
inline constexpr int kFrameLearnBaseline = 4;    // the same three on the current frame
inline constexpr int kFrameCheckForChange = 5;
inline constexpr int kFrameLearnAfterChange = 6;
inline constexpr int kFinishedWriteBack = 7;  // finished; written back, updated if `changed`
// 8 is not a job state (it is a mode and a result).
inline constexpr int kFinishedNotChanged = 9;
inline constexpr int kFinishedPostFailed = 10;  // the request could not be posted
inline constexpr int kFinishedPageError = 11;   // finished with an error recorded in the page
}  // namespace job_state

namespace scheduling {
inline constexpr int kReady = 0;    // ready for a request
inline constexpr int kRunning = 1;  // a request is running
inline constexpr int kWaiting = 2;  // waiting for `deadline`
}  // namespace scheduling

namespace wait_phase {
inline constexpr int kNone = 0;        // the final wait has not happened
inline constexpr int kFinalCheck = 1;  // this download is the final check after the wait
inline constexpr int kDone = 2;        // the final check is over
}  // namespace wait_phase

// How the download reached the step (the `mode` argument of the two learning steps).
namespace step_mode {
inline constexpr int kStoredAsContent = 0;  // the body became the document's content
inline constexpr int kCompare = 2;          // the body waits in download 1 or 2
inline constexpr int kTakenAsSnapshot = 8;  // taken as the snapshot without a comparison
}  // namespace step_mode

// What a step returns to the scheduler.
namespace step_result {
inline constexpr int kPageDownloadAgain = 1;   // LearnBaseline on the page: download again
inline constexpr int kPageChanged = 3;         // CheckForChange: changed; LearnAfterChange: again
inline constexpr int kFrameDownloadAgain = 4;  // LearnBaseline on a frame: download again
inline constexpr int kFrameChanged = 6;        // CheckForChange: changed; LearnAfterChange: again
inline constexpr int kFrameLearned = 7;        // LearnAfterChange on a frame: finished
inline constexpr int kFinished = 9;            // finished, or not changed
inline constexpr int kFrameListFailed = 10;    // memory ran out building the frame list
inline constexpr int kPageError = 11;          // an error was recorded in the PageRecord
}  // namespace step_result

// Learning comparisons with a new difference one job accepts before "too many changes".
inline constexpr int kMaxLearningChanges = 12;

struct CheckJob : ListNode<CheckJob> {
  CheckJob() = default;
  explicit CheckJob(std::unique_ptr<PageRecord> record) : page(std::move(record)) {}
  CheckJob(const CheckJob&) = delete;
  CheckJob& operator=(const CheckJob&) = delete;

  int state = 0;            // job_state
  int changes_counter = 0;  // learning comparisons in this job that found a new difference
  int quiet_counter = 0;    // consecutive downloads without a new difference
  std::unique_ptr<PageRecord> page;
  RequestSlot* slot = nullptr;
  FrameVisitList frames;                        // the page's frames to visit, in order
  RefNode<FrameEntry>* frame_cursor = nullptr;  // the frame being visited; null = the page
  bool changed = false;      // a change of the page or one of its frames was found
  int download_counter = 0;  // 0 or 1, flips at each request; chooses the cookie mode
  int scheduling = scheduling::kReady;
  int wait_phase = wait_phase::kNone;
  FileTime deadline;                     // with scheduling::kWaiting, sleep until then
  std::optional<std::string> download1;  // bodies waiting for a step
  std::optional<std::string> download2;
  FileTime response_last_modified;  // of the last response
  FileTime response_expires;
  CheckEntry* entry = nullptr;

  // The frame being visited, or null while the page itself is.
  FrameEntry* current_frame() const { return frame_cursor ? frame_cursor->target : nullptr; }

  // Makes the visit list from the page's frame entries, in their order; the cursor goes back to
  // the page.
  void BuildFrameList();

  // Forgets what belongs to the current document (downloads, counters, download counter,
  // scheduling state, wait phase), as when the job moves on to another document.
  void ResetForNextDocument();

  // Takes the newest waiting download (download 2 if there is one, else download 1) out of the
  // job; nullopt when none waits.
  std::optional<std::string> TakeDownload();
};

// The document a job is at: the frame being visited, else the page itself.
class JobDocument {
 public:
  explicit JobDocument(CheckJob& job) : page_(*job.page), frame_(job.current_frame()) {}

  bool is_page() const { return frame_ == nullptr; }
  const std::string& content() const { return frame_ ? frame_->content : page_.content; }
  MaskList& masks() { return frame_ ? frame_->masks : page_.masks; }
  FileTime& last_modified() { return frame_ ? frame_->lastModified : page_.lastModified; }
  FileTime& expires() { return frame_ ? frame_->expires : page_.expires; }
  // The measured wait: the page's own, or the frame's.
  uint16_t& wait() { return frame_ ? frame_->waitSeconds : page_.measuredWait; }

  void SetContent(std::string bytes) {
    if (frame_) {
      frame_->SetContent(std::move(bytes));
    } else {
      page_.SetContent(std::move(bytes));
    }
  }
  void SetMasks(MaskList list) {
    masks() = std::move(list);
    (frame_ ? frame_->maskCount : page_.maskCount) = masks().count();
  }

 private:
  PageRecord& page_;
  FrameEntry* frame_;
};

}  // namespace tw
