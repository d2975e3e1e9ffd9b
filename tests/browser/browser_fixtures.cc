#include "browser/browser_fixtures.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/sha.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "browser/browser_schemas.h"
#include "platform/file_system.h"
#include "support/sandbox.h"

namespace tw::test {
namespace {

[[noreturn]] void Fail(const char* what, sqlite3* db) {
  std::fprintf(stderr, "browser fixture: %s: %s\n", what, db ? sqlite3_errmsg(db) : "no database");
  std::abort();
}

}  // namespace

BrowserDatabase::BrowserDatabase(const std::string& path, BrowserSchema schema) {
  if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) Fail("open", db_);
  // Both browsers keep their databases to themselves for as long as they run.
  Exec("PRAGMA locking_mode = EXCLUSIVE");
  // Not syncing changes nothing of what the files hold, and keeps the tests quick.
  Exec("PRAGMA synchronous = OFF");
  const bool firefox =
      schema == BrowserSchema::kFirefoxPlaces || schema == BrowserSchema::kFirefoxCookies;
  if (firefox) {
    Exec("PRAGMA journal_mode = WAL");
    Exec("PRAGMA wal_autocheckpoint = 0");  // what it writes stays in the log
  } else {
    Exec("PRAGMA journal_mode = TRUNCATE");
  }
  switch (schema) {
    case BrowserSchema::kFirefoxPlaces:
      Exec(kFirefoxPlaces);
      break;
    case BrowserSchema::kFirefoxCookies:
      Exec(kFirefoxCookies);
      break;
    case BrowserSchema::kChromiumHistory:
      Exec(kChromiumHistory);
      break;
    case BrowserSchema::kChromiumCookies:
      Exec(kChromiumCookies);
      break;
  }
}

BrowserDatabase::~BrowserDatabase() { sqlite3_close(db_); }

void BrowserDatabase::Exec(std::string_view sql) {
  const std::string text(sql);
  if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    Fail(text.c_str(), db_);
  }
}

int64_t BrowserDatabase::LastRowId() const { return sqlite3_last_insert_rowid(db_); }

void BrowserDatabase::BeginPendingWrite() { Exec("BEGIN IMMEDIATE"); }

int64_t BrowserDatabase::AddFirefoxPage(std::string_view url, std::string_view title) {
  Exec("INSERT INTO moz_places (url, title, rev_host, guid) VALUES (" + SqlText(url) + ", " +
       SqlText(title) + ", '', hex(randomblob(6)))");
  return LastRowId();
}

void BrowserDatabase::AddFirefoxVisit(int64_t place, FileTime when, int visit_type) {
  const std::string date = std::to_string(UnixMicroseconds(when));
  const std::string id = std::to_string(place);
  Exec("INSERT INTO moz_historyvisits (place_id, visit_date, visit_type, session) VALUES (" + id +
       ", " + date + ", " + std::to_string(visit_type) + ", 0)");
  // The browser counts the visits it shows in its history.
  if (visit_type != 0 && visit_type != 4 && visit_type != 7 && visit_type != 8) {
    Exec(
        "UPDATE moz_places SET visit_count = visit_count + 1, last_visit_date = max(coalesce("
        "last_visit_date, 0), " +
        date + ") WHERE id = " + id);
  }
}

int64_t BrowserDatabase::AddFirefoxPageVisitedDaily(std::string_view url, std::string_view title,
                                                    int days, FileTime now) {
  const int64_t place = AddFirefoxPage(url, title);
  for (int day = 1; day <= days; ++day) AddFirefoxVisit(place, AddSeconds(now, -day * 86400.0));
  return place;
}

int64_t BrowserDatabase::AddFirefoxBookmark(int64_t parent, std::string_view title,
                                            std::string_view url) {
  const int64_t place = AddFirefoxPage(url, title);
  const std::string p = std::to_string(parent);
  Exec("INSERT INTO moz_bookmarks (type, fk, parent, position, title, guid) VALUES (1, " +
       std::to_string(place) + ", " + p + ", (SELECT count(*) FROM moz_bookmarks WHERE parent = " +
       p + "), " + SqlText(title) + ", hex(randomblob(6)))");
  return LastRowId();
}

int64_t BrowserDatabase::AddFirefoxFolder(int64_t parent, std::string_view title) {
  const std::string p = std::to_string(parent);
  Exec("INSERT INTO moz_bookmarks (type, parent, position, title, guid) VALUES (2, " + p +
       ", (SELECT count(*) FROM moz_bookmarks WHERE parent = " + p + "), " + SqlText(title) +
       ", hex(randomblob(6)))");
  return LastRowId();
}

int64_t BrowserDatabase::AddChromiumUrl(std::string_view url, std::string_view title) {
  Exec("INSERT INTO urls (url, title, last_visit_time) VALUES (" + SqlText(url) + ", " +
       SqlText(title) + ", 0)");
  return LastRowId();
}

void BrowserDatabase::AddChromiumVisit(int64_t url, FileTime when, int transition) {
  const std::string time = std::to_string(WindowsMicroseconds(when));
  const std::string id = std::to_string(url);
  Exec("INSERT INTO visits (url, visit_time, transition) VALUES (" + id + ", " + time + ", " +
       std::to_string(transition) + ")");
  if ((transition & 0xFF) != 3 && (transition & 0xFF) != 4) {
    Exec("UPDATE urls SET visit_count = visit_count + 1, last_visit_time = max(last_visit_time, " +
         time + ") WHERE id = " + id);
  }
}

std::string MakeFirefoxProfile(const std::string& home) {
  const std::string firefox = home + "/.mozilla/firefox";
  EXPECT_TRUE(CreateDirectories(firefox + "/p").ok());
  WriteFileBytes(firefox + "/profiles.ini", "[Profile0]\nPath=p\n");
  return firefox + "/p";
}

FileTime NoonDaysBefore(FileTime now, int days) {
  const time_t seconds = static_cast<time_t>(now.ToUnixSeconds());
  tm local{};
  localtime_r(&seconds, &local);
  local.tm_mday -= days;
  local.tm_hour = 12;
  local.tm_min = 0;
  local.tm_sec = 0;
  local.tm_isdst = -1;
  return FileTime::FromUnixSeconds(mktime(&local));
}

std::string SqlText(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out.push_back(c);
    if (c == '\'') out.push_back('\'');
  }
  return out + "'";
}

std::string SqlBlob(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "X'";
  for (unsigned char c : bytes) {
    out.push_back(kHex[c >> 4]);
    out.push_back(kHex[c & 15]);
  }
  return out + "'";
}

int64_t UnixMicroseconds(FileTime t) {
  return static_cast<int64_t>(t.ticks / 10) -
         static_cast<int64_t>(FileTime::kUnixEpochSeconds) * 1'000'000;
}

int64_t WindowsMicroseconds(FileTime t) { return static_cast<int64_t>(t.ticks / 10); }

std::string ChromiumEncrypt(std::string_view version, std::string_view password,
                            std::string_view value, std::string_view host, bool hash_host) {
  unsigned char key[16];
  PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()),
                         reinterpret_cast<const unsigned char*>("saltysalt"), 9, 1, sizeof key,
                         key);
  std::string plain;
  if (hash_host) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(host.data()), host.size(), digest);
    plain.assign(reinterpret_cast<const char*>(digest), sizeof digest);
  }
  plain.append(value);
  unsigned char iv[16];
  for (unsigned char& b : iv) b = ' ';
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  std::string out(plain.size() + 32, '\0');
  int n = 0;
  int last = 0;
  EVP_EncryptInit_ex(context, EVP_aes_128_cbc(), nullptr, key, iv);
  EVP_EncryptUpdate(context, reinterpret_cast<unsigned char*>(out.data()), &n,
                    reinterpret_cast<const unsigned char*>(plain.data()),
                    static_cast<int>(plain.size()));
  EVP_EncryptFinal_ex(context, reinterpret_cast<unsigned char*>(out.data()) + n, &last);
  EVP_CIPHER_CTX_free(context);
  out.resize(static_cast<size_t>(n + last));
  return std::string(version) + out;
}

}  // namespace tw::test
