// FolderMarkers: the marker files of one page folder, through which processes coordinate checking.
//
//   "lock"  held with no sharing by the process whose check pass runs; its 4 bytes are zero.
//           Anyone may probe it, and the page database holds it (sharing read) while it loads.
//   "crs"   a request to stop the running pass (empty); any process may write it.
//   "daa"   checking was stopped by the user; new pages are not checked on their own (empty).
//   "err"   held with no sharing while a process takes the error files (error_log.h).
//   "ntf"   held with no sharing while a process shows its Updated Pages dialog, so that one
//           process at a time shows it (notify/notification_thread.h).
//
// Every open follows the sharing rules of platform/file.h, so a conflict is error 32 between
// threads and processes alike. The object holds only the folder's path: copy it freely; any
// thread may call it.
#pragma once

#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/file.h"

namespace tw {

class FolderMarkers {
 public:
  static constexpr std::string_view kLock = "lock";
  static constexpr std::string_view kStopRequest = "crs";
  static constexpr std::string_view kStoppedByUser = "daa";
  static constexpr std::string_view kErrorTaker = "err";
  static constexpr std::string_view kNotifying = "ntf";

  explicit FolderMarkers(std::string folder) : folder_(std::move(folder)) {}
  const std::string& folder() const { return folder_; }

  // Whether a file name is one of the markers that tell of checking (not "err").
  static bool IsCheckingMarker(std::string_view name) {
    return name == kLock || name == kStopRequest || name == kStoppedByUser;
  }

  // --- lock
  // A pass's hold: with no sharing, made when missing. 32 while anyone else holds it.
  Result<File> HoldForPass() const;
  // The page database's hold while it loads the list: sharing read, so that no pass starts
  // meanwhile. Fails with 32 while a pass (or another loader making the file) holds it, and with
  // 2 when there is no lock file yet.
  Result<File> HoldForLoad() const;
  // Makes the lock file and holds it with no sharing, as a loader does when there was none.
  Result<File> CreateForLoad() const;
  enum class PassState {
    kRunning,     // someone holds the lock: a pass runs here or in another process
    kNotRunning,  // the lock file is there and free
    kNoLockFile,  // no pass has ever run here, or the file cannot be looked at
  };
  PassState ProbePass() const;

  // --- crs
  // Made when missing. A request deleted at this moment (no pass took it) is made again, up to
  // about a second: asking for a stop never fails because a stale request is going.
  Error RequestStop() const;
  bool StopRequested() const;
  // Holds "crs" until the file goes; it is deleted then (the stop has been passed on).
  Result<File> TakeStopRequest() const;
  void DiscardStopRequest() const;

  // --- daa
  bool StoppedByUser() const;
  Error MarkStoppedByUser() const;
  void ClearStoppedByUser() const;

  // --- err
  // The error-file taker's hold, made when missing. 32 while another process takes.
  Result<File> HoldErrorTaking() const;

 private:
  std::string PathOf(std::string_view marker) const;

  std::string folder_;
};

}  // namespace tw
