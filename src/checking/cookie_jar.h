// CookieJar: the cookies of the user's browser, read from their sources and re-read when a source
// changes.
//
// The sources are a Netscape cookies.txt (the CookieFile value of the settings store) and the
// default Firefox profile's cookies.sqlite, read from a private copy so that a running browser is
// never disturbed. A source that is missing or unreadable contributes no cookies; it never fails a
// request. Records of the cookies.txt come first, so they win over the browser's.
//
// Threads: Current may be called from any thread; the set it returns is immutable.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "checking/cookies.h"
#include "foundation/thread_annotations.h"
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

  explicit CookieJar(Sources sources) : sources_(std::move(sources)) {}
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

  const Sources sources_;
  std::mutex mutex_;
  bool loaded_ TW_GUARDED_BY(mutex_) = false;
  Stamp txt_stamp_ TW_GUARDED_BY(mutex_);
  Stamp db_stamp_ TW_GUARDED_BY(mutex_);
  std::vector<CookieRecord> txt_records_ TW_GUARDED_BY(mutex_);
  std::vector<CookieRecord> db_records_ TW_GUARDED_BY(mutex_);
  std::shared_ptr<const CookieSet> current_ TW_GUARDED_BY(mutex_);
};

// The records of a Firefox cookies.sqlite (the default container's cookies only).
std::vector<CookieRecord> ReadFirefoxCookies(const std::string& path);

}  // namespace tw
