// CookieJar: the cookies of the user's browsers, read from their sources and re-read when a
// source changes.
//
// The sources are a Netscape cookies.txt (the CookieFile value of the settings store) and the
// cookie databases of every browser profile found (browser/profiles.h): Firefox's cookies.sqlite
// and Chromium's Cookies, read from a private copy so that a running browser is never disturbed.
// A missing source contributes no cookies; a source that cannot be read keeps what it gave last
// time and is tried again later. Neither ever fails a request. Records of the cookies.txt come
// first, so they win; among the databases, where two profiles hold the same cookie the one
// written last wins.
//
// A running browser writes its database often, and each read copies the whole database, so a
// database is read again at most once per re-read interval.
//
// Threads: Current may be called from any thread; the set it returns is immutable.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "browser/profiles.h"
#include "checking/cookies.h"
#include "foundation/thread_annotations.h"
#include "platform/file_time.h"

namespace tw {

class CookieJar {
 public:
  struct Database {
    BrowserFamily family = BrowserFamily::kFirefox;
    std::string path;
    std::string secret_application;  // Chromium family: its key's name in the secret store
  };
  struct Sources {
    std::string cookies_txt;  // "" for none
    std::vector<Database> databases;
  };

  static constexpr std::chrono::milliseconds kDatabaseRereadInterval{10'000};

  explicit CookieJar(Sources sources,
                     std::chrono::milliseconds database_reread = kDatabaseRereadInterval);
  CookieJar(const CookieJar&) = delete;
  CookieJar& operator=(const CookieJar&) = delete;

  // The cookies as they are now; sources are read again only when their files changed.
  std::shared_ptr<const CookieSet> Current() TW_EXCLUDES(mutex_);

  const Sources& sources() const { return sources_; }

 private:
  // What a source's files looked like when they were read: size and time of each.
  struct Stamp {
    uint64_t size[2] = {};
    FileTime time[2];
    bool present[2] = {};
    bool operator==(const Stamp&) const = default;
  };
  struct DatabaseState {
    Stamp stamp;
    bool read_once = false;
    std::chrono::steady_clock::time_point read_at;
    std::vector<CookieRecord> records;
  };

  // Read the sources whose files changed; true when a record list was replaced.
  bool RereadCookiesTxt() TW_REQUIRES(mutex_);
  bool RereadDatabase(size_t index) TW_REQUIRES(mutex_);
  Result<std::vector<CookieRecord>> ReadDatabase(const Database& database) TW_REQUIRES(mutex_);

  const Sources sources_;
  const std::chrono::milliseconds database_reread_;
  std::mutex mutex_;
  bool loaded_ TW_GUARDED_BY(mutex_) = false;
  Stamp txt_stamp_ TW_GUARDED_BY(mutex_);
  std::vector<CookieRecord> txt_records_ TW_GUARDED_BY(mutex_);
  std::vector<DatabaseState> databases_ TW_GUARDED_BY(mutex_);
  // Passwords found in the secret store, by application; kept, since the browser never changes
  // its own.
  std::map<std::string, std::string> secret_passwords_ TW_GUARDED_BY(mutex_);
  std::shared_ptr<const CookieSet> current_ TW_GUARDED_BY(mutex_);
};

// The cookie database of a profile: Firefox's cookies.sqlite; for Chromium, Network/Cookies where
// newer versions keep it, else Cookies.
CookieJar::Database CookieDatabaseOf(const BrowserProfile& profile);

}  // namespace tw
