#include "browser/history.h"

#include <algorithm>
#include <unordered_map>

#include "browser/sqlite_snapshot.h"
#include "platform/file_system.h"

namespace tw {
namespace {

const std::string kLimits = " WHERE length(url) <= " + std::to_string(kMaxHistoryAddressBytes);
const std::string kTitle =
    "substr(coalesce(title, ''), 1, " + std::to_string(kMaxHistoryTitleCharacters) + ")";

const std::string kFirefoxPages = "SELECT id, url, " + kTitle +
                                  ", visit_count, coalesce(last_visit_date, 0) FROM moz_places" +
                                  kLimits;
// Firefox visit types that are no page view of the user's: 0 none, 4 embedded, 7 download, 8 framed
// link.
const std::string kFirefoxVisits =
    "SELECT place_id, visit_date FROM moz_historyvisits WHERE visit_type NOT IN (0, 4, 7, 8)";
// Chromium page transitions keep their core type in the low byte: 3 and 4 are frames.
const std::string kChromiumPages =
    "SELECT id, url, " + kTitle + ", visit_count, last_visit_time FROM urls" + kLimits;
const std::string kChromiumVisits =
    "SELECT url, visit_time FROM visits WHERE (transition & 255) NOT IN (3, 4)";

Result<BrowserHistory> ReadWith(const std::string& path, const std::string& pages_sql,
                                const std::string& visits_sql, FileTime (*time)(int64_t)) {
  Result<SqliteSnapshot> db = SqliteSnapshot::Open(path, kMaxHistoryDatabaseBytes);
  if (!db.ok()) return db.error();
  BrowserHistory history;
  std::unordered_map<int64_t, uint32_t> index_of;
  bool too_many = false;
  Error e = db->ForEachRow(pages_sql, [&](const SqliteRow& row) {
    if (history.pages.size() == kMaxHistoryPages) return !(too_many = true);
    const int64_t count = row.Int(3);
    index_of.emplace(row.Int(0), static_cast<uint32_t>(history.pages.size()));
    history.pages.push_back(HistoryPage{
        std::string(row.Text(1)), std::string(row.Text(2)),
        static_cast<uint32_t>(std::clamp<int64_t>(count, 0, UINT32_MAX)), time(row.Int(4))});
    return true;
  });
  if (!e) {
    e = db->ForEachRow(visits_sql, [&](const SqliteRow& row) {
      if (history.visits.size() == kMaxHistoryVisits) return !(too_many = true);
      const auto it = index_of.find(row.Int(0));
      if (it != index_of.end())
        history.visits.push_back(HistoryVisit{it->second, time(row.Int(1))});
      return true;
    });
  }
  if (e) return e;
  if (too_many) return Error(err::kNotEnoughMemory);
  return history;
}

}  // namespace

std::string HistoryDatabaseOf(const BrowserProfile& profile) {
  return JoinPath(profile.folder,
                  profile.family == BrowserFamily::kFirefox ? "places.sqlite" : "History");
}

Result<BrowserHistory> ReadHistory(const BrowserProfile& profile) {
  const std::string path = HistoryDatabaseOf(profile);
  if (profile.family == BrowserFamily::kFirefox) {
    return ReadWith(path, kFirefoxPages, kFirefoxVisits, FileTime::FromUnixMicroseconds);
  }
  return ReadWith(path, kChromiumPages, kChromiumVisits, FileTime::FromWindowsMicroseconds);
}

}  // namespace tw
