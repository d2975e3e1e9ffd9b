// What every bookmark reader promises, whatever its input: a tree within the depth and node caps,
// or the error for input that is no bookmark file.
#pragma once

#include <algorithm>

#include "browser/bookmarks.h"
#include "fuzz_target.h"

inline size_t BookmarkDepth(const tw::BookmarkNode& node) {
  size_t deepest = 0;
  for (const tw::BookmarkNode& child : node.children) {
    deepest = std::max(deepest, BookmarkDepth(child));
  }
  return deepest + 1;
}

inline void CheckBookmarkTree(const tw::Result<tw::BookmarkNode>& tree, size_t depth_allowance) {
  if (!tree.ok()) {
    Check(tree.error().code() == tw::err::kInvalidData);
    return;
  }
  Check(BookmarkDepth(*tree) <= tw::kMaxBookmarkDepth + depth_allowance);
  Check(tree->CountNodes() <= tw::kMaxBookmarkNodes);
}
