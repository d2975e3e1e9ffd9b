#include "platform/folder_listing.h"

#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <string_view>

#include "platform/folder_entries_internal.h"

namespace tw {

Error ForEachFolderEntry(const std::string& folder,
                         const std::function<Error(int dir_fd, const dirent& entry)>& each) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) {
    const Error e = Error::LastErrno();
    return e.code() == err::kFileNotFound ? Error(err::kPathNotFound) : e;
  }
  const int dir_fd = ::dirfd(dir.get());
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (!entry) return errno != 0 ? Error::LastErrno() : Error();
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    if (Error e = each(dir_fd, *entry)) return e;
  }
}

Result<std::vector<FolderEntry>> ListFolder(const std::string& folder, size_t max_entries) {
  std::vector<FolderEntry> entries;
  Error e = ForEachFolderEntry(folder, [&](int dir_fd, const dirent& entry) {
    bool is_folder = entry.d_type == DT_DIR;
    if (entry.d_type != DT_DIR && entry.d_type != DT_REG) {
      struct stat st {};
      if (::fstatat(dir_fd, entry.d_name, &st, 0) != 0) return Error();
      if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) return Error();
      is_folder = S_ISDIR(st.st_mode);
    }
    if (entries.size() == max_entries) return Error(err::kNotEnoughMemory);
    entries.push_back(FolderEntry{entry.d_name, is_folder});
    return Error();
  });
  if (e) return e;
  return entries;
}

}  // namespace tw
