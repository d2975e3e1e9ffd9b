#include "smartupdate/smart_update_job.h"

namespace tw {

void SmartUpdateJob::BuildFrameList() {
  frame_cursor = nullptr;
  frames.Clear();
  if (!page) return;
  for (FrameEntry& frame : page->frames) {
    frames.Append(std::make_unique<RefNode<FrameEntry>>(&frame));
  }
}

void SmartUpdateJob::ResetForNextDocument() {
  download1.reset();
  download2.reset();
  changes_counter = 0;
  quiet_counter = 0;
  wait_phase = WaitPhase::kNone;
}

std::optional<std::string> SmartUpdateJob::TakeDownload() {
  std::optional<std::string>& slot_taken = download2 ? download2 : download1;
  std::optional<std::string> taken = std::move(slot_taken);
  slot_taken.reset();
  return taken;
}

}  // namespace tw
