#include "smartupdate/check_job.h"

namespace tw {

void CheckJob::BuildFrameList() {
  frame_cursor = nullptr;
  frames.Clear();
  if (!page) return;
  for (FrameEntry& frame : page->frames) {
    frames.Append(std::make_unique<RefNode<FrameEntry>>(&frame));
  }
}

void CheckJob::ResetForNextDocument() {
  download1.reset();
  download2.reset();
  changes_counter = 0;
  quiet_counter = 0;
  download_counter = 0;
  scheduling = scheduling::kReady;
  wait_phase = wait_phase::kNone;
}

std::optional<std::string> CheckJob::TakeDownload() {
  std::optional<std::string>& slot_taken = download2 ? download2 : download1;
  std::optional<std::string> taken = std::move(slot_taken);
  slot_taken.reset();
  return taken;
}

}  // namespace tw
