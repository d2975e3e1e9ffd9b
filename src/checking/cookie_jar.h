// CookieJar: the cookies of the user's browser, read from their sources and re-read when a source
// changes.
//
// The sources are a Netscape cookies.txt (the CookieFile value of the settings store) and the
// default Firefox profile's cookies.sqlite, read from a private copy so that a running browser is
// never disturbed. A missing source contributes no cookies; a source that cannot be read keeps
// what it gave last time and is tried again later. Neither ever fails a request. Records of the
// cookies.txt come first, so they win over the browser's.
//
// A running browser writes its database often, and each read copies the whole database, so the
// database is read again at most once per re-read interval.
//
// Threads: Current may be called from any thread; the set it returns is immutable.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "checking/cookies.h"
#include "foundation/thread_annotations.h"
#include "platform/error.h"
#include "platform/file_time.h"

namespace tw {

// Caps on what is read from a cookie source.
inline constexpr uint64_t kMaxCookieFileBytes = 32 << 20;
inline constexpr uint64_t kMaxCookieDatabaseBytes = 256 << 20;

class CookieJar {
 public:
  struct Sources {
    std::string cookies_txt;  // "" for none
    std::string firefox_db;   // a cookies.sqlite; "" for none
  };

  static constexpr std::chrono::milliseconds kDatabaseRereadInterval{10'000};

  explicit CookieJar(Sources sources,
                     std::chrono::milliseconds database_reread = kDatabaseRereadInterval)
      : sources_(std::move(sources)), database_reread_(database_reread) {}
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

  // Reads the sources whose files changed; true when a record list was replaced.
  bool RereadCookiesTxt() TW_REQUIRES(mutex_);
  bool RereadDatabase() TW_REQUIRES(mutex_);

  const Sources sources_;
  const std::chrono::milliseconds database_reread_;
  std::mutex mutex_;
  bool loaded_ TW_GUARDED_BY(mutex_) = false;
  Stamp txt_stamp_ TW_GUARDED_BY(mutex_);
  Stamp db_stamp_ TW_GUARDED_BY(mutex_);
  std::chrono::steady_clock::time_point db_read_at_ TW_GUARDED_BY(mutex_);
  std::vector<CookieRecord> txt_records_ TW_GUARDED_BY(mutex_);
  std::vector<CookieRecord> db_records_ TW_GUARDED_BY(mutex_);
  std::shared_ptr<const CookieSet> current_ TW_GUARDED_BY(mutex_);
};

// The records of a Firefox cookies.sqlite (the default container's cookies only). Fails when the
// database is missing or its copy cannot be read.
Result<std::vector<CookieRecord>> ReadFirefoxCookies(const std::string& path);

}  // namespace tw
