// Firefox keeps bookmarks as rows of moz_bookmarks: folders (type 2), links (type 1, whose address
// is the moz_places row their fk names) and separators (type 3), each under its parent row, in
// the order of their position. One root row holds the top folders, known by their fixed guids.
#include <string>
#include <unordered_map>
#include <vector>

#include "browser/bookmarks.h"
#include "browser/history.h"
#include "browser/sqlite_snapshot.h"

namespace tw {
namespace {

constexpr int64_t kTypeLink = 1;
constexpr int64_t kTypeFolder = 2;
constexpr std::string_view kRootGuid = "root________";
constexpr std::string_view kTagsGuid = "tags________";
constexpr std::string_view kQueryScheme = "place:";

struct TopFolder {
  std::string_view guid;
  std::string_view title;
};
// The stored titles of the top folders are internal names; these are the ones the browser shows.
constexpr TopFolder kTopFolders[] = {
    {"menu________", "Bookmarks Menu"},
    {"toolbar_____", "Bookmarks Toolbar"},
    {"unfiled_____", "Other Bookmarks"},
    {"mobile______", "Mobile Bookmarks"},
};

struct Row {
  int64_t id;
  int64_t type;
  std::string title;
  std::string address;
  std::string guid;
};

class TreeBuilder {
 public:
  TreeBuilder(std::vector<Row> rows, std::unordered_map<int64_t, std::vector<size_t>> children)
      : rows_(std::move(rows)), children_(std::move(children)) {}

  void Fill(int64_t parent, size_t depth, BookmarkNode& into) {
    if (depth >= kMaxBookmarkDepth) return;
    const auto it = children_.find(parent);
    if (it == children_.end()) return;
    for (size_t index : it->second) {
      const Row& row = rows_[index];
      if (row.id == parent || row.guid == kTagsGuid) continue;
      if (row.type == kTypeFolder) {
        BookmarkNode folder{ShownTitle(row), "", true, {}};
        Fill(row.id, depth + 1, folder);
        into.children.push_back(std::move(folder));
      } else if (row.type == kTypeLink && !row.address.empty() &&
                 !row.address.starts_with(kQueryScheme)) {
        into.children.push_back(
            BookmarkNode{row.title.empty() ? row.address : row.title, row.address, false, {}});
      }
    }
  }

 private:
  static std::string ShownTitle(const Row& row) {
    for (const TopFolder& top : kTopFolders) {
      if (row.guid == top.guid) return std::string(top.title);
    }
    return row.title;
  }

  std::vector<Row> rows_;
  std::unordered_map<int64_t, std::vector<size_t>> children_;
};

}  // namespace

Result<BookmarkNode> ReadFirefoxBookmarks(const std::string& places_path) {
  Result<SqliteSnapshot> db = SqliteSnapshot::Open(places_path, kMaxHistoryDatabaseBytes);
  if (!db.ok()) return db.error();
  std::vector<Row> rows;
  std::unordered_map<int64_t, std::vector<size_t>> children;
  int64_t root = -1;
  const std::string sql =
      "SELECT b.id, b.type, b.parent, substr(coalesce(b.title, ''), 1, " +
      std::to_string(kMaxHistoryTitleCharacters) +
      "), coalesce(p.url, ''), coalesce(b.guid, '') FROM moz_bookmarks b "
      "LEFT JOIN moz_places p ON b.fk = p.id ORDER BY b.parent, b.position LIMIT " +
      std::to_string(kMaxBookmarkNodes);
  const Error e = db->ForEachRow(sql, [&](const SqliteRow& row) {
    if (row.Text(4).size() > kMaxHistoryAddressBytes) return true;
    children[row.Int(2)].push_back(rows.size());
    rows.push_back(Row{row.Int(0), row.Int(1), std::string(row.Text(3)), std::string(row.Text(4)),
                       std::string(row.Text(5))});
    if (row.Text(5) == kRootGuid || (root < 0 && row.Int(2) == 0)) root = row.Int(0);
    return true;
  });
  if (e) return e;
  BookmarkNode tree{"", "", true, {}};
  if (root >= 0) TreeBuilder(std::move(rows), std::move(children)).Fill(root, 1, tree);
  return tree;
}

}  // namespace tw
