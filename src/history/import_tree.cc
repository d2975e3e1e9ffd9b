#include "history/import_tree.h"

#include <map>
#include <new>
#include <set>

#include "browser/profiles.h"
#include "foundation/utf8.h"
#include "history/candidates.h"
#include "resources/strings.h"

namespace tw {
namespace {

constexpr std::string_view kOfferedHistoryPrefix = "http";

class EntryMaker {
 public:
  explicit EntryMaker(std::span<const std::string> page_addresses)
      : pages_(page_addresses.begin(), page_addresses.end()) {}

  ImportEntry Folder(std::string_view text) const {
    return ImportEntry{0, CutUtf8Chars(text, kMaxFolderText), "", true, CheckState::kNone, {}};
  }

  ImportEntry Page(std::string_view text, const std::string& address, size_t max_text) const {
    // A page that is watched already cannot be chosen again.
    const CheckState state = pages_.contains(address) ? CheckState::kNone : CheckState::kNotChecked;
    return ImportEntry{0, CutUtf8Chars(text, max_text), address, false, state, {}};
  }

 private:
  std::set<std::string, std::less<>> pages_;
};

void AddBookmarks(const BookmarkNode& from, const EntryMaker& make, ImportEntry& into) {
  for (const BookmarkNode& node : from.children) {
    if (node.is_folder) {
      ImportEntry folder = make.Folder(node.title);
      AddBookmarks(node, make, folder);
      into.children.push_back(std::move(folder));
    } else {
      into.children.push_back(make.Page(node.title, node.address, kMaxFolderText));
    }
  }
}

void Number(ImportEntry& entry, uint32_t& next) {
  entry.id = next++;
  for (ImportEntry& child : entry.children) Number(child, next);
}

ImportEntry* FindIn(ImportEntry& entry, uint32_t id) {
  if (entry.id == id) return &entry;
  for (ImportEntry& child : entry.children) {
    if (child.id > id) break;  // ids grow in walk order
    if (ImportEntry* found = FindIn(child, id)) return found;
  }
  return nullptr;
}

// Adds the checked entries below `entry`; false once an add failed.
bool AddBelow(ImportEntry& entry,
              const std::function<bool(const std::string&, const std::string&)>& add,
              size_t& added) {
  for (ImportEntry& child : entry.children) {
    if (child.state == CheckState::kNone) {
      if (!AddBelow(child, add, added)) return false;
    } else if (child.state == CheckState::kChecked) {
      if (!add(CutUtf8Chars(child.text, kMaxImportTitle), child.address)) return false;
      child.state = CheckState::kAdded;
      ++added;
    }
  }
  return true;
}

// The name a profile's bookmarks are shown under: the browser's, and the profile's when the
// browser has several.
std::vector<std::string> ProfileTitles(const std::vector<BrowserProfile>& profiles) {
  std::map<std::string, int> per_browser;
  for (const BrowserProfile& p : profiles) ++per_browser[p.browser];
  std::vector<std::string> titles;
  for (const BrowserProfile& p : profiles) {
    titles.push_back(per_browser[p.browser] > 1 ? p.browser + " (" + p.name + ")" : p.browser);
  }
  return titles;
}

}  // namespace

ImportEntry* ImportTree::Find(uint32_t id) { return FindIn(root, id); }

bool ImportTree::SetChecked(uint32_t id, bool checked) {
  ImportEntry* entry = Find(id);
  if (!entry || entry->state == CheckState::kNone || entry->state == CheckState::kAdded) {
    return false;
  }
  entry->state = checked ? CheckState::kChecked : CheckState::kNotChecked;
  return true;
}

ImportTree FavoritesTreeOf(std::span<const BookmarkNode> sources,
                           std::span<const std::string> page_addresses) {
  const EntryMaker make(page_addresses);
  ImportTree tree{ImportSource::kFavorites, make.Folder(LoadString(str::kFavoritesRoot)), {}};
  for (const BookmarkNode& source : sources) {
    ImportEntry folder = make.Folder(source.title);
    AddBookmarks(source, make, folder);
    tree.root.children.push_back(std::move(folder));
  }
  uint32_t next = 0;
  Number(tree.root, next);
  return tree;
}

ImportTree FillFavoritesTree(const AddedFavorites& added,
                             std::span<const std::string> page_addresses) {
  std::optional<uint32_t> error;
  try {
    std::vector<BookmarkNode> sources;
    const std::vector<BrowserProfile> profiles = FindBrowserProfiles();
    const std::vector<std::string> titles = ProfileTitles(profiles);
    // A browser without bookmarks is no fault; a folder or file the user picked that is not
    // there (moved, deleted) is told of like one that cannot be read.
    const auto take = [&](Result<BookmarkNode> tree, std::string title, bool picked) {
      if (tree.ok()) {
        tree->title = std::move(title);
        sources.push_back(std::move(*tree));
      } else if (picked || !tree.error().IsNothingThere()) {
        error = str::kFavoritesLoadError;  // shown once the rest is in
      }
    };
    for (size_t i = 0; i < profiles.size(); ++i) {
      take(ReadProfileBookmarks(profiles[i]), titles[i], false);
    }
    for (const std::string& folder : added.shortcut_folders) {
      Result<BookmarkNode> tree = ReadShortcutFolder(folder);
      std::string title = tree.ok() ? tree->title : std::string();
      take(std::move(tree), std::move(title), true);
    }
    for (const std::string& file : added.bookmark_files) {
      const size_t slash = file.rfind('/');
      take(ReadBookmarkHtml(file), file.substr(slash == std::string::npos ? 0 : slash + 1), true);
    }
    ImportTree tree = FavoritesTreeOf(sources, page_addresses);
    tree.fill_error = error;
    return tree;
  } catch (const std::bad_alloc&) {
    ImportTree tree{ImportSource::kFavorites, {}, str::kNotEnoughMemory};
    tree.root = ImportEntry{
        0, std::string(LoadString(str::kFavoritesRoot)), "", true, CheckState::kNone, {}};
    return tree;
  }
}

ImportTree HistoryTreeOf(const UserHistory& history, std::span<const std::string> page_addresses,
                         FileTime now) {
  const EntryMaker make(page_addresses);
  ImportTree tree{ImportSource::kHistory, make.Folder(LoadString(str::kHistoryRoot)), {}};
  const int today = LocalDayOf(now).weekday;
  for (const HistoryPeriod& period : history.periods()) {
    ImportEntry period_folder = make.Folder(PeriodLabel(period, today));
    for (const HistorySite& site : period.sites) {
      ImportEntry site_folder = make.Folder(site.name);
      for (uint32_t page : site.items) {
        const std::string& address = history.address(page);
        if (!address.starts_with(kOfferedHistoryPrefix)) continue;
        site_folder.children.push_back(
            make.Page(DisplayName(history, page), address, kMaxHistoryPageText));
      }
      period_folder.children.push_back(std::move(site_folder));
    }
    tree.root.children.push_back(std::move(period_folder));
  }
  uint32_t next = 0;
  Number(tree.root, next);
  return tree;
}

ImportTree FillHistoryTree(std::span<const std::string> page_addresses, FileTime now) {
  try {
    Result<UserHistory> history = ReadUserHistory(now);
    if (!history.ok()) {
      ImportTree tree = HistoryTreeOf(UserHistory(), page_addresses, now);
      tree.fill_error = history.error().code() == err::kNotEnoughMemory ? str::kNotEnoughMemory
                                                                        : str::kHistoryLoadError;
      return tree;
    }
    return HistoryTreeOf(*history, page_addresses, now);
  } catch (const std::bad_alloc&) {
    ImportTree tree{ImportSource::kHistory, {}, str::kNotEnoughMemory};
    tree.root =
        ImportEntry{0, std::string(LoadString(str::kHistoryRoot)), "", true, CheckState::kNone, {}};
    return tree;
  }
}

AddWalkResult AddCheckedEntries(
    ImportTree& tree,
    const std::function<bool(const std::string& title, const std::string& address)>& add) {
  AddWalkResult result;
  if (!AddBelow(tree.root, add, result.added)) {
    result.failure =
        tree.source == ImportSource::kFavorites ? str::kFavoritesAddError : str::kHistoryAddError;
  }
  return result;
}

}  // namespace tw
