#include "pagedb/folder_markers.h"

#include "platform/file_system.h"
#include "platform/in_use_retry.h"

namespace tw {

std::string FolderMarkers::PathOf(std::string_view marker) const {
  return JoinPath(folder_, marker);
}

Result<File> FolderMarkers::HoldForPass() const {
  return File::Open(PathOf(kLock),
                    OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kOpenAlways});
}

Result<File> FolderMarkers::HoldForLoad() const {
  return File::Open(PathOf(kLock),
                    OpenOptions{Access::kReadWrite, Share::kRead, Disposition::kOpenExisting});
}

Result<File> FolderMarkers::CreateForLoad() const {
  return File::Open(PathOf(kLock),
                    OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kOpenAlways});
}

FolderMarkers::PassState FolderMarkers::ProbePass() const {
  Result<File> probe = File::Open(
      PathOf(kLock), OpenOptions{Access::kRead, Share::kReadWrite, Disposition::kOpenExisting});
  if (probe.ok()) {
    (void)probe->Close();
    return PassState::kNotRunning;
  }
  return probe.error().code() == err::kSharingViolation ? PassState::kRunning
                                                        : PassState::kNoLockFile;
}

Error FolderMarkers::RequestStop() const {
  // A page database deletes a request that no pass is there to take, and a delete holds the file
  // alone for a moment: the file this open has just made, when its watch was quick. The request
  // is made again once the delete is done.
  Result<File> crs = RetryWhileInUse([&] {
    return File::Open(PathOf(kStopRequest),
                      OpenOptions{Access::kReadWrite, Share::kReadWrite, Disposition::kOpenAlways});
  });
  if (!crs.ok()) return crs.error();
  return crs->Close();
}

bool FolderMarkers::StopRequested() const { return PathExists(PathOf(kStopRequest)); }

Result<File> FolderMarkers::TakeStopRequest() const {
  return File::Open(PathOf(kStopRequest), OpenOptions{Access::kRead, Share::kReadWrite,
                                                      Disposition::kOpenExisting, true});
}

void FolderMarkers::DiscardStopRequest() const {
  // The process that asks may still have the marker open for a moment after making it.
  (void)RetryWhileInUse([&] { return DeleteFile(PathOf(kStopRequest)); });
}

bool FolderMarkers::StoppedByUser() const { return PathExists(PathOf(kStoppedByUser)); }

Error FolderMarkers::MarkStoppedByUser() const {
  Result<File> daa =
      File::Open(PathOf(kStoppedByUser),
                 OpenOptions{Access::kReadWrite, Share::kReadWrite, Disposition::kCreateAlways});
  if (!daa.ok()) return daa.error();
  return daa->Close();
}

void FolderMarkers::ClearStoppedByUser() const { (void)DeleteFile(PathOf(kStoppedByUser)); }

Result<File> FolderMarkers::HoldErrorTaking() const {
  return File::Open(PathOf(kErrorTaker),
                    OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kOpenAlways});
}

}  // namespace tw
