// The entries of a folder that is not ours (a browser's profile home, a folder of Internet
// shortcuts): names and whether each is a folder, with a cap on how many are listed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/error.h"

namespace tw {

struct FolderEntry {
  std::string name;
  bool is_folder = false;  // a folder, also through a symbolic link
};

// The entries other than "." and "..", in the order the folder lists them; fails with 3 when the
// folder is missing and with 8 when it holds more than max_entries. Entries that are neither a
// regular file nor a folder (sockets, broken links) are left out.
Result<std::vector<FolderEntry>> ListFolder(const std::string& folder, size_t max_entries);

}  // namespace tw
