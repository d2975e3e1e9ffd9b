#include "checking/cookie_jar.h"

#include <algorithm>

#include "platform/file_system.h"
#include "platform/foreign_file.h"

namespace tw {
namespace {

void StampFile(const std::string& path, int slot, auto& stamp) {
  Result<FileInfo> info = GetFileInfo(path);
  stamp.present[slot] = info.ok();
  if (info.ok()) {
    stamp.size[slot] = info->size;
    stamp.time[slot] = info->last_write;
  }
}

}  // namespace

CookieJar::Database CookieDatabaseOf(const BrowserProfile& profile) {
  if (profile.family == BrowserFamily::kFirefox) {
    return CookieJar::Database{profile.family, JoinPath(profile.folder, "cookies.sqlite"), ""};
  }
  std::string path = JoinPath(profile.folder, "Network/Cookies");
  if (!PathExists(path)) path = JoinPath(profile.folder, "Cookies");
  return CookieJar::Database{profile.family, std::move(path), profile.secret_application};
}

CookieJar::CookieJar(Sources sources, std::chrono::milliseconds database_reread)
    : sources_(std::move(sources)),
      database_reread_(database_reread),
      databases_(sources_.databases.size()) {}

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

Result<std::vector<CookieRecord>> CookieJar::ReadDatabase(const Database& database) {
  if (database.family == BrowserFamily::kFirefox) return ReadFirefoxCookies(database.path);
  const std::string& application = database.secret_application;
  std::map<std::string, std::string>& found = secret_passwords_;
  return ReadChromiumCookies(database.path, [&found, &application]() -> std::optional<std::string> {
    if (auto it = found.find(application); it != found.end()) return it->second;
    std::optional<std::string> password = ChromiumSecretPassword(application);
    if (password) found[application] = *password;
    return password;
  });
}

bool CookieJar::RereadDatabase(size_t index) {
  const Database& database = sources_.databases[index];
  DatabaseState& state = databases_[index];
  Stamp stamp;
  StampFile(database.path, 0, stamp);
  StampFile(database.path + "-wal", 1, stamp);
  if (state.read_once && stamp == state.stamp) return false;
  if (!stamp.present[0]) {
    const bool had_records = !state.records.empty();
    state.records.clear();
    state.stamp = stamp;
    state.read_once = true;
    return had_records;
  }
  const auto now = std::chrono::steady_clock::now();
  if (state.read_once && now - state.read_at < database_reread_) return false;
  state.read_at = now;
  Result<std::vector<CookieRecord>> records = ReadDatabase(database);
  // A copy taken while the browser wrote can be unreadable: keep what it gave last time.
  if (!records.ok()) return false;
  state.records = std::move(*records);
  state.stamp = stamp;
  state.read_once = true;
  return true;
}

std::shared_ptr<const CookieSet> CookieJar::Current() {
  std::lock_guard lock(mutex_);
  bool changed = RereadCookiesTxt();
  for (size_t i = 0; i < databases_.size(); ++i) changed = RereadDatabase(i) || changed;
  if (!loaded_ || changed) {
    std::vector<CookieRecord> from_browsers;
    for (const DatabaseState& state : databases_) {
      from_browsers.insert(from_browsers.end(), state.records.begin(), state.records.end());
    }
    // The set keeps the first record of a cookie: the newest write of all the profiles.
    std::stable_sort(
        from_browsers.begin(), from_browsers.end(),
        [](const CookieRecord& a, const CookieRecord& b) { return a.written > b.written; });
    std::vector<CookieRecord> all = txt_records_;
    all.insert(all.end(), std::make_move_iterator(from_browsers.begin()),
               std::make_move_iterator(from_browsers.end()));
    current_ = std::make_shared<const CookieSet>(std::move(all));
  }
  loaded_ = true;
  return current_;
}

}  // namespace tw
