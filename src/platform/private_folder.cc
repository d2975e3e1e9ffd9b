#include "platform/private_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <utility>

#include "platform/folder_entries_internal.h"

namespace tw {

Result<PrivateFolder> PrivateFolder::Create(const std::string& prefix) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
  // mkdtemp makes the folder with mode 0700.
  if (!::mkdtemp(pattern.data())) return Error::LastErrno();
  return PrivateFolder(std::move(pattern));
}

PrivateFolder::PrivateFolder(PrivateFolder&& other) noexcept
    : path_(std::exchange(other.path_, {})) {}

PrivateFolder& PrivateFolder::operator=(PrivateFolder&& other) noexcept {
  if (this != &other) {
    Remove();
    path_ = std::exchange(other.path_, {});
  }
  return *this;
}

PrivateFolder::~PrivateFolder() { Remove(); }

void PrivateFolder::Remove() {
  if (path_.empty()) return;
  // Only files are ever put here, so one level is all there is to remove.
  (void)ForEachFolderEntry(path_, [](int dir_fd, const dirent& entry) {
    ::unlinkat(dir_fd, entry.d_name, 0);
    return Error();
  });
  ::rmdir(path_.c_str());
  path_.clear();
}

}  // namespace tw
