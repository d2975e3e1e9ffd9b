// FolderWatch: change notification for one folder (not its subfolders), as a waitable descriptor.
//
// It becomes signalled when a file in the folder is created, deleted, moved, written, closed after
// writing or has its attributes changed. Rearm() drains what has arrived so far, so that one wake
// covers a whole burst of changes; the owner then looks at the folder itself.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "foundation/unique_fd.h"
#include "foundation/waitable.h"
#include "platform/error.h"

namespace tw {

class FolderWatch final : public Waitable {
 public:
  FolderWatch() = default;
  ~FolderWatch() override;
  FolderWatch(FolderWatch&& other) noexcept;
  FolderWatch& operator=(FolderWatch&& other) noexcept;

  static Result<FolderWatch> Create(const std::string& folder);

  bool valid() const { return fd_.valid(); }
  // Drains the pending notifications; true if there were any.
  bool Rearm();
  // Drains them too, but true only if one concerns a name `relevant` accepts, so that an owner's
  // own bookkeeping files do not wake it again and again. `relevant` sees every name; it is
  // called with an empty name when the names are not known (notifications were lost, or the
  // folder itself changed), which always counts.
  bool Rearm(const std::function<bool(std::string_view name)>& relevant);
  void Close();

  int wait_fd() const override { return fd_.get(); }
  bool TryAcquire() override { return true; }

 private:
  explicit FolderWatch(UniqueFd fd) : fd_(std::move(fd)) {}
  UniqueFd fd_;
};

}  // namespace tw
