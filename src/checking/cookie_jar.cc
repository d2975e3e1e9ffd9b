#include "checking/cookie_jar.h"

#include "platform/file_system.h"
#include "platform/foreign_file.h"
#include "platform/sqlite_snapshot.h"

namespace tw {
namespace {

// Expiry times past this are in milliseconds, as newer browsers store them (in seconds it would
// be the year 5138).
constexpr int64_t kLargestExpirySeconds = 100'000'000'000;

void StampFile(const std::string& path, int slot, auto& stamp) {
  Result<FileInfo> info = GetFileInfo(path);
  stamp.present[slot] = info.ok();
  if (info.ok()) {
    stamp.size[slot] = info->size;
    stamp.time[slot] = info->last_write;
  }
}

}  // namespace

std::vector<CookieRecord> ReadFirefoxCookies(const std::string& path) {
  std::vector<CookieRecord> records;
  Result<SqliteSnapshot> db = SqliteSnapshot::Open(path, kMaxCookieDatabaseBytes);
  if (!db.ok()) return records;
  const auto add = [&records](const SqliteRow& row) {
    if (records.size() >= kMaxCookieRecords) return;
    CookieRecord r;
    r.domain = std::string(row.Text(0));
    r.path = row.Text(1).empty() ? std::string("/") : std::string(row.Text(1));
    r.secure = row.Int(2) != 0;
    int64_t expiry = row.Int(3);
    if (expiry > kLargestExpirySeconds) expiry /= 1000;
    r.expires = expiry > 0 ? expiry : 0;
    r.name = std::string(row.Text(4));
    r.value = std::string(row.Text(5));
    r.http_only = row.Int(6) != 0;
    if (!r.domain.empty()) records.push_back(std::move(r));
  };
  constexpr const char* kColumns =
      "SELECT host, path, isSecure, expiry, name, value, isHttpOnly FROM moz_cookies";
  // Cookies of containers and private windows carry origin attributes; they are not the user's
  // everyday cookies. Old databases have no such column.
  if (db->ForEachRow(std::string(kColumns) + " WHERE originAttributes = '' ORDER BY id", add)) {
    records.clear();
    (void)db->ForEachRow(std::string(kColumns) + " ORDER BY id", add);
  }
  return records;
}

std::shared_ptr<const CookieSet> CookieJar::Current() {
  std::lock_guard lock(mutex_);
  Stamp txt;
  if (!sources_.cookies_txt.empty()) StampFile(sources_.cookies_txt, 0, txt);
  Stamp db;
  if (!sources_.firefox_db.empty()) {
    StampFile(sources_.firefox_db, 0, db);
    StampFile(sources_.firefox_db + "-wal", 1, db);
  }
  bool changed = !loaded_;
  if (!loaded_ || !(txt == txt_stamp_)) {
    txt_records_.clear();
    if (txt.present[0]) {
      Result<std::string> text = ReadForeignFile(sources_.cookies_txt, kMaxCookieFileBytes);
      if (text.ok()) txt_records_ = ParseCookiesTxt(*text);
    }
    txt_stamp_ = txt;
    changed = true;
  }
  if (!loaded_ || !(db == db_stamp_)) {
    db_records_.clear();
    if (db.present[0]) db_records_ = ReadFirefoxCookies(sources_.firefox_db);
    db_stamp_ = db;
    changed = true;
  }
  loaded_ = true;
  if (changed) {
    std::vector<CookieRecord> all = txt_records_;
    all.insert(all.end(), db_records_.begin(), db_records_.end());
    current_ = std::make_shared<const CookieSet>(std::move(all));
  }
  return current_;
}

}  // namespace tw
