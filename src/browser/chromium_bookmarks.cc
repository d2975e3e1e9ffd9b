// Chromium keeps bookmarks in a JSON file: {"roots": {"bookmark_bar": NODE, "other": NODE,
// "synced": NODE}}, where a NODE is {"type": "folder", "name", "children": [NODE...]} or
// {"type": "url", "name", "url"}.
#include "browser/bookmarks.h"
#include "browser/json_input.h"

namespace tw {
namespace {

constexpr const char* kRoots[] = {"bookmark_bar", "other", "synced"};

void Fill(const nlohmann::json& node, size_t depth, size_t& budget, BookmarkNode& into);

void AddNode(const nlohmann::json& node, size_t depth, size_t& budget, BookmarkNode& into) {
  if (budget == 0 || !node.is_object()) return;
  const std::string_view type = JsonText(node, "type");
  const std::string_view name = JsonText(node, "name");
  if (type == "folder") {
    --budget;
    BookmarkNode folder{std::string(name), "", true, {}};
    if (depth + 1 < kMaxBookmarkDepth) Fill(node, depth + 1, budget, folder);
    into.children.push_back(std::move(folder));
  } else if (type == "url") {
    const std::string_view url = JsonText(node, "url");
    if (url.empty()) return;
    --budget;
    into.children.push_back(
        BookmarkNode{std::string(name.empty() ? url : name), std::string(url), false, {}});
  }
}

void Fill(const nlohmann::json& node, size_t depth, size_t& budget, BookmarkNode& into) {
  const auto children = node.find("children");
  if (children == node.end() || !children->is_array()) return;
  for (const nlohmann::json& child : *children) AddNode(child, depth, budget, into);
}

}  // namespace

Result<BookmarkNode> ParseChromiumBookmarks(std::string_view json) {
  Result<nlohmann::json> document = ParseJsonInput(json);
  if (!document.ok()) return document.error();
  if (!document->is_object()) return Error(err::kInvalidData);
  const auto roots = document->find("roots");
  if (roots == document->end() || !roots->is_object()) return Error(err::kInvalidData);
  BookmarkNode tree{"", "", true, {}};
  size_t budget = kMaxBookmarkNodes - 1;
  for (const char* name : kRoots) {
    const auto root = roots->find(name);
    if (root != roots->end()) AddNode(*root, 1, budget, tree);
  }
  return tree;
}

}  // namespace tw
