#include "platform/folder_listing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <string_view>

namespace tw {

Result<std::vector<FolderEntry>> ListFolder(const std::string& folder, size_t max_entries) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) {
    const Error e = Error::LastErrno();
    return e.code() == err::kFileNotFound ? Error(err::kPathNotFound) : e;
  }
  const int dir_fd = ::dirfd(dir.get());
  std::vector<FolderEntry> entries;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (!entry) {
      if (errno != 0) return Error::LastErrno();
      break;
    }
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    bool is_folder = entry->d_type == DT_DIR;
    if (entry->d_type != DT_DIR && entry->d_type != DT_REG) {
      struct stat st {};
      if (::fstatat(dir_fd, entry->d_name, &st, 0) != 0) continue;
      if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) continue;
      is_folder = S_ISDIR(st.st_mode);
    }
    if (entries.size() == max_entries) return Error(err::kNotEnoughMemory);
    entries.push_back(FolderEntry{std::string(name), is_folder});
  }
  return entries;
}

}  // namespace tw
