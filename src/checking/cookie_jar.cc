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

Result<std::vector<CookieRecord>> ReadFirefoxCookies(const std::string& path) {
  std::vector<CookieRecord> records;
  Result<SqliteSnapshot> db = SqliteSnapshot::Open(path, kMaxCookieDatabaseBytes);
  if (!db.ok()) return db.error();
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
    if (Error e = db->ForEachRow(std::string(kColumns) + " ORDER BY id", add)) return e;
  }
  return records;
}

bool CookieJar::RereadCookiesTxt() {
  Stamp stamp;
  if (!sources_.cookies_txt.empty()) StampFile(sources_.cookies_txt, 0, stamp);
  if (loaded_ && stamp == txt_stamp_) return false;
  if (!stamp.present[0]) {
    txt_records_.clear();
  } else {
    Result<std::string> text = ReadForeignFile(sources_.cookies_txt, kMaxCookieFileBytes);
    // Unreadable now (being replaced, say): keep what it gave and try again next time.
    if (!text.ok()) return false;
    txt_records_ = ParseCookiesTxt(*text);
  }
  txt_stamp_ = stamp;
  return true;
}

bool CookieJar::RereadDatabase() {
  Stamp stamp;
  if (!sources_.firefox_db.empty()) {
    StampFile(sources_.firefox_db, 0, stamp);
    StampFile(sources_.firefox_db + "-wal", 1, stamp);
  }
  if (loaded_ && stamp == db_stamp_) return false;
  if (!stamp.present[0]) {
    db_records_.clear();
  } else {
    const auto now = std::chrono::steady_clock::now();
    if (loaded_ && now - db_read_at_ < database_reread_) return false;
    db_read_at_ = now;
    Result<std::vector<CookieRecord>> records = ReadFirefoxCookies(sources_.firefox_db);
    // A copy taken while the browser wrote can be unreadable: keep what it gave last time.
    if (!records.ok()) return false;
    db_records_ = std::move(*records);
  }
  db_stamp_ = stamp;
  return true;
}

std::shared_ptr<const CookieSet> CookieJar::Current() {
  std::lock_guard lock(mutex_);
  const bool txt_changed = RereadCookiesTxt();
  const bool db_changed = RereadDatabase();
  if (!loaded_ || txt_changed || db_changed) {
    std::vector<CookieRecord> all = txt_records_;
    all.insert(all.end(), db_records_.begin(), db_records_.end());
    current_ = std::make_shared<const CookieSet>(std::move(all));
  }
  loaded_ = true;
  return current_;
}

}  // namespace tw
