// Feeds arbitrary bytes to the reader of Chromium's Bookmarks file.
#include <cstdint>
#include <string_view>

#include "bookmark_tree_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckBookmarkTree(tw::ParseChromiumBookmarks(text), 0);
  return 0;
}
