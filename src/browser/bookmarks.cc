#include "browser/bookmarks.h"

#include <algorithm>

#include "browser/history.h"
#include "foundation/ascii.h"
#include "platform/file_system.h"
#include "platform/folder_listing.h"
#include "platform/foreign_file.h"

namespace tw {
namespace {

constexpr std::string_view kShortcutSuffix = ".url";
constexpr std::string_view kShortcutSection = "InternetShortcut";
constexpr std::string_view kShortcutKey = "URL";

// Walks a folder of shortcuts into `into`, within the depth and node budget.
void WalkShortcutFolder(const std::string& folder, size_t depth, size_t& budget,
                        BookmarkNode& into) {
  if (depth >= kMaxBookmarkDepth) return;
  Result<std::vector<FolderEntry>> entries = ListFolder(folder, kMaxBookmarkNodes);
  if (!entries.ok()) return;
  // Folders first, then shortcuts, each by name, as a file manager shows them.
  std::sort(entries->begin(), entries->end(), [](const FolderEntry& a, const FolderEntry& b) {
    if (a.is_folder != b.is_folder) return a.is_folder;
    return a.name < b.name;
  });
  for (const FolderEntry& entry : *entries) {
    if (budget == 0) return;
    const std::string path = JoinPath(folder, entry.name);
    if (entry.is_folder) {
      --budget;
      BookmarkNode sub{entry.name, "", true, {}};
      WalkShortcutFolder(path, depth + 1, budget, sub);
      into.children.push_back(std::move(sub));
      continue;
    }
    // The extension is compared exactly: a file ending in ".URL" is not offered.
    if (!entry.name.ends_with(kShortcutSuffix)) continue;
    Result<std::string> text = ReadForeignFile(path, kMaxShortcutFileBytes);
    if (!text.ok()) continue;
    std::optional<std::string> address = ShortcutAddress(*text);
    if (!address) continue;
    --budget;
    into.children.push_back(
        BookmarkNode{entry.name.substr(0, entry.name.size() - kShortcutSuffix.size()),
                     std::move(*address),
                     false,
                     {}});
  }
}

}  // namespace

size_t BookmarkNode::CountNodes() const {
  size_t count = 1;
  for (const BookmarkNode& child : children) count += child.CountNodes();
  return count;
}

std::optional<std::string> ShortcutAddress(std::string_view text) {
  std::optional<std::string> value = ShortcutUrlValue(text);
  if (!value || value->size() < kMinShortcutAddressLength ||
      value->size() > kMaxShortcutAddressLength || value->find('\0') != std::string::npos) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::string> ShortcutUrlValue(std::string_view text) {
  bool in_section = false;
  while (!text.empty()) {
    const size_t end = text.find_first_of("\r\n");
    const std::string_view line = TrimBlanks(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      in_section = close != std::string_view::npos &&
                   EqualsIgnoreCase(TrimBlanks(line.substr(1, close - 1)), kShortcutSection);
      continue;
    }
    const size_t equals = line.find('=');
    if (!in_section || equals == std::string_view::npos) continue;
    if (!EqualsIgnoreCase(TrimBlanks(line.substr(0, equals)), kShortcutKey)) continue;
    std::string_view value = TrimBlanks(line.substr(equals + 1));
    // A value in matching quotes is read without them.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
  }
  return std::nullopt;
}

Result<BookmarkNode> ReadShortcutFolder(const std::string& folder) {
  Result<FileInfo> info = GetFileInfo(folder);
  if (!info.ok() || !info->is_directory) return Error(err::kPathNotFound);
  BookmarkNode root{FileNameOf(folder), "", true, {}};
  size_t budget = kMaxBookmarkNodes - 1;
  WalkShortcutFolder(folder, 1, budget, root);
  return root;
}

Result<BookmarkNode> ReadBookmarkHtml(const std::string& path) {
  Result<std::string> text = ReadForeignFile(path, kMaxBookmarkFileBytes);
  if (!text.ok()) return text.error();
  return ParseBookmarkHtml(*text);
}

Result<BookmarkNode> ReadProfileBookmarks(const BrowserProfile& profile) {
  Result<BookmarkNode> tree = Error(err::kFileNotFound);
  if (profile.family == BrowserFamily::kFirefox) {
    tree = ReadFirefoxBookmarks(HistoryDatabaseOf(profile));
  } else {
    Result<std::string> text =
        ReadForeignFile(JoinPath(profile.folder, "Bookmarks"), kMaxBookmarkFileBytes);
    tree = text.ok() ? ParseChromiumBookmarks(*text) : Result<BookmarkNode>(text.error());
  }
  if (tree.ok()) tree->title = profile.browser;
  return tree;
}

}  // namespace tw
