// Feeds arbitrary bytes to the reader of bookmarks HTML files.
#include <cstdint>
#include <string_view>

#include "bookmark_tree_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // The outermost list is the tree itself, one level more than the folders in it.
  CheckBookmarkTree(tw::ParseBookmarkHtml(text), 1);
  return 0;
}
