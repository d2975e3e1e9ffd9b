// SmartUpdateJob: one page as the Smart Update steps (steps.h) work on it: the page record, the
// frames to visit and which one is being visited, the counters of the learning run and the
// downloads waiting for a step. The check scheduler's own job (checking/check_job.h) builds on
// it; nothing here knows of scheduling.
//
// A job is used by one thread at a time (the check thread); nothing here locks. A job owns its
// PageRecord, its frame visit list (nodes that point at the page's FrameEntry records, which the
// page owns) and the downloads waiting for a step.
#pragma once

#include <cmath>
#include <cstdint>
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

// Where a job stands. The first six run a step on the page or on the current frame; the rest
// are final.
enum class JobState {
  kNone,
  kPageLearnBaseline,     // LearnBaseline on the page
  kPageCheckForChange,    // CheckForChange on the page
  kPageLearnAfterChange,  // LearnAfterChange on the page
  kFrameLearnBaseline,    // the same three on the current frame
  kFrameCheckForChange,
  kFrameLearnAfterChange,
  kFinishedWriteBack,   // finished; written back, updated if a change was found
  kFinishedNotChanged,  // finished; nothing to write unless an old error is cleared
  kFinishedPostFailed,  // the request could not be posted
  kFinishedPageError,   // finished with an error recorded in the page
};
inline bool IsRunning(JobState state) {
  return state >= JobState::kPageLearnBaseline && state <= JobState::kFrameLearnAfterChange;
}
inline bool IsFinished(JobState state) { return state >= JobState::kFinishedWriteBack; }

// The final check after a learning run's wait.
enum class WaitPhase {
  kNone,        // the final wait has not happened
  kFinalCheck,  // this download is the final check after the wait
  kDone,        // the final check is over
};

// Learning comparisons with a new difference one job accepts before "too many changes".
inline constexpr int kMaxLearningChanges = 12;

struct SmartUpdateJob {
  SmartUpdateJob() = default;
  explicit SmartUpdateJob(std::unique_ptr<PageRecord> record) : page(std::move(record)) {}
  SmartUpdateJob(const SmartUpdateJob&) = delete;
  SmartUpdateJob& operator=(const SmartUpdateJob&) = delete;

  JobState state = JobState::kNone;
  int changes_counter = 0;  // learning comparisons in this job that found a new difference
  int quiet_counter = 0;    // consecutive downloads without a new difference
  std::unique_ptr<PageRecord> page;
  FrameVisitList frames;                        // the page's frames to visit, in order
  RefNode<FrameEntry>* frame_cursor = nullptr;  // the frame being visited; null = the page
  WaitPhase wait_phase = WaitPhase::kNone;
  std::optional<std::string> download1;  // bodies waiting for a step
  std::optional<std::string> download2;
  FileTime response_last_modified;  // of the last response
  FileTime response_expires;

  // The frame being visited, or null while the page itself is.
  FrameEntry* current_frame() const { return frame_cursor ? frame_cursor->target : nullptr; }

  // Makes the visit list from the page's frame entries, in their order; the cursor goes back to
  // the page.
  void BuildFrameList();

  // Forgets what belongs to the current document (downloads, counters, wait phase), as when the
  // job moves on to another document.
  void ResetForNextDocument();

  // Takes the newest waiting download (download 2 if there is one, else download 1) out of the
  // job; nullopt when none waits.
  std::optional<std::string> TakeDownload();
};

// The document a job is at: the frame being visited, else the page itself.
class JobDocument {
 public:
  explicit JobDocument(SmartUpdateJob& job) : page_(*job.page), frame_(job.current_frame()) {}

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
