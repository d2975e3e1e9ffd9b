// Browser databases and profiles made by tests in the browsers' own schemas, held open the way a
// running browser holds them: Firefox in write-ahead-log mode with its log never checkpointed,
// Chromium with a rollback journal; both in exclusive locking mode, so that no other connection
// could read them through SQLite's own locks.
//
// Used by the tests of src/browser and src/history and by the benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_time.h"

struct sqlite3;

namespace tw::test {

enum class BrowserSchema { kFirefoxPlaces, kFirefoxCookies, kChromiumHistory, kChromiumCookies };

// One connection standing in for the browser. Made with its schema; statements that fail abort
// the test program, since every later check would be meaningless.
class BrowserDatabase {
 public:
  BrowserDatabase(const std::string& path, BrowserSchema schema);
  ~BrowserDatabase();
  BrowserDatabase(const BrowserDatabase&) = delete;
  BrowserDatabase& operator=(const BrowserDatabase&) = delete;

  void Exec(std::string_view sql);
  int64_t LastRowId() const;
  // Opens a write transaction and leaves it open: the browser in the middle of writing.
  void BeginPendingWrite();

  // Firefox places.sqlite: a page (moz_places) and a visit of it (moz_historyvisits), counted
  // the way the browser counts; visit type 1 is a followed link.
  int64_t AddFirefoxPage(std::string_view url, std::string_view title);
  void AddFirefoxVisit(int64_t place, FileTime when, int visit_type = 1);
  // A page followed once a day on each of the `days` days before `now`; its place id.
  int64_t AddFirefoxPageVisitedDaily(std::string_view url, std::string_view title, int days,
                                     FileTime now);
  // A bookmark row below `parent` (the top folders are rows 2 menu, 3 toolbar, 4 tags, 5 unfiled,
  // 6 mobile); returns its id.
  int64_t AddFirefoxBookmark(int64_t parent, std::string_view title, std::string_view url);
  int64_t AddFirefoxFolder(int64_t parent, std::string_view title);

  // Chromium History: a url row and a visit of it; transition 0 is a link, 3 a frame.
  int64_t AddChromiumUrl(std::string_view url, std::string_view title);
  void AddChromiumVisit(int64_t url, FileTime when, int transition = 0);

 private:
  sqlite3* db_ = nullptr;
};

// A Firefox profile below `home` (.mozilla/firefox/p) that profiles.ini names; its folder.
std::string MakeFirefoxProfile(const std::string& home);

// Noon of the local day `days` before the day of `now`, so that no test depends on the hour.
FileTime NoonDaysBefore(FileTime now, int days);

// SQL text literal: the text in single quotes, with its quotes doubled.
std::string SqlText(std::string_view text);
// A BLOB literal, X'...'.
std::string SqlBlob(std::string_view bytes);

// Microseconds since 1970 (Firefox) and since 1601 (Chromium).
int64_t UnixMicroseconds(FileTime t);
int64_t WindowsMicroseconds(FileTime t);

// A cookie value encrypted as a Chromium-based browser of Linux encrypts it, with an
// implementation of the test's own (OpenSSL's EVP): "v10" or "v11" + AES-128-CBC under the key
// PBKDF2-HMAC-SHA1(password, "saltysalt", 1 iteration), IV of 16 spaces; with `hash_host`, the
// SHA-256 of the host goes first, as in databases of version 24 and later.
std::string ChromiumEncrypt(std::string_view version, std::string_view password,
                            std::string_view value, std::string_view host, bool hash_host);

}  // namespace tw::test
