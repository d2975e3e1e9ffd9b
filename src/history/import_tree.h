// The import trees: the user's favorites and history as trees with check boxes, from which pages
// are chosen to be watched (the Import wizard, and the Favorites page of the Page Setup Wizard).
//
// Favorites: root "Favorites", holding the bookmarks of every browser profile with their folders
// (bookmarks/profiles of browser/), then each folder of Internet shortcuts and each bookmarks file
// the user added. History: root "History", holding the periods of the History folder, their
// sites and their pages; only addresses that begin with "http" (compared exactly) are offered.
// A folder has no check box; nor has an entry whose address is already a page's (compared
// exactly): it cannot be chosen. Every other entry starts not checked.
//
// Adding walks the tree depth first: a checked entry is added as a page with its text as title
// and becomes "added", so that coming back and going on does not add it twice; the first failure
// ends the walk.
//
// Threads: a tree is a plain value; one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "browser/bookmarks.h"
#include "browser/user_history.h"
#include "platform/file_time.h"

namespace tw {

// The check box of an entry, with the numbers of its state images.
enum class CheckState : uint32_t { kNone = 0, kNotChecked = 1, kChecked = 2, kAdded = 3 };

// Text lengths of the tree, in characters: folders and favorites, and history pages.
inline constexpr size_t kMaxFolderText = 251;
inline constexpr size_t kMaxHistoryPageText = 260;
// A page added from an entry takes at most this many characters of its text as title.
inline constexpr size_t kMaxImportTitle = 260;

struct ImportEntry {
  uint32_t id = 0;  // unique within its tree; the root is 0
  std::string text;
  std::string address;  // a page's address; "" for a folder
  bool is_folder = false;
  CheckState state = CheckState::kNone;
  std::vector<ImportEntry> children;
};

enum class ImportSource { kFavorites, kHistory };

struct ImportTree {
  ImportSource source = ImportSource::kFavorites;
  ImportEntry root;
  // The message to show when the tree could not be filled whole (string 128 or 131, or 130 when
  // memory ran out); the tree keeps what was filled.
  std::optional<uint32_t> fill_error;

  ImportEntry* Find(uint32_t id);
  // Checks or unchecks an entry that has a check box and was not added yet; false otherwise.
  bool SetChecked(uint32_t id, bool checked);
};

// What the user added to the Favorites tree beside the browsers' bookmarks.
struct AddedFavorites {
  std::vector<std::string> shortcut_folders;  // folders of .url files
  std::vector<std::string> bookmark_files;    // bookmarks HTML files
};

// The Favorites tree from the user's browsers and the added sources.
ImportTree FillFavoritesTree(const AddedFavorites& added,
                             std::span<const std::string> page_addresses);
// The Favorites tree from sources already read (each a folder titled as it is to be shown).
ImportTree FavoritesTreeOf(std::span<const BookmarkNode> sources,
                           std::span<const std::string> page_addresses);

// The History tree from the user's browsers, with periods counted back from `now`.
ImportTree FillHistoryTree(std::span<const std::string> page_addresses, FileTime now);
ImportTree HistoryTreeOf(const UserHistory& history, std::span<const std::string> page_addresses,
                         FileTime now);

// Adds the checked entries; `add` adds one page (title, address) and says whether it did.
struct AddWalkResult {
  size_t added = 0;
  // When an add failed: the message to show (string 129 for favorites, 132 for history).
  std::optional<uint32_t> failure;
};
AddWalkResult AddCheckedEntries(
    ImportTree& tree,
    const std::function<bool(const std::string& title, const std::string& address)>& add);

}  // namespace tw
