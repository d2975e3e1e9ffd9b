// The one readdir loop of the platform layer, shared by its listings of folders. Inside
// src/platform only. Any thread.
#pragma once

#include <dirent.h>

#include <functional>
#include <string>

#include "platform/error.h"

namespace tw {

// Hands every entry of `folder` but "." and "..", in the order the folder lists them, to `each`,
// with the folder's descriptor for fstatat. An error that `each` returns ends the walk and is
// returned. Fails with 3 when the folder is missing, or with what opendir or readdir report.
Error ForEachFolderEntry(const std::string& folder,
                         const std::function<Error(int dir_fd, const dirent& entry)>& each);

}  // namespace tw
