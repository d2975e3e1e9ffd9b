#include "browser/browser_fixtures.h"

#include <openssl/evp.h>
#include <openssl/sha.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tw::test {
namespace {

// Firefox places.sqlite (schema version 77 and near it).
constexpr const char* kFirefoxPlaces = R"sql(
CREATE TABLE moz_origins (id INTEGER PRIMARY KEY, prefix TEXT NOT NULL, host TEXT NOT NULL,
  frecency INTEGER NOT NULL, recalc_frecency INTEGER NOT NULL DEFAULT 0, alt_frecency INTEGER,
  recalc_alt_frecency INTEGER NOT NULL DEFAULT 0, UNIQUE (prefix, host));
CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR,
  rev_host LONGVARCHAR, visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL,
  typed INTEGER DEFAULT 0 NOT NULL, frecency INTEGER DEFAULT -1 NOT NULL, last_visit_date INTEGER,
  guid TEXT, foreign_count INTEGER DEFAULT 0 NOT NULL, url_hash INTEGER DEFAULT 0 NOT NULL,
  description TEXT, preview_image_url TEXT, site_name TEXT,
  origin_id INTEGER REFERENCES moz_origins(id), recalc_frecency INTEGER NOT NULL DEFAULT 0,
  alt_frecency INTEGER, recalc_alt_frecency INTEGER NOT NULL DEFAULT 0);
CREATE TABLE moz_historyvisits (id INTEGER PRIMARY KEY, from_visit INTEGER, place_id INTEGER,
  visit_date INTEGER, visit_type INTEGER, session INTEGER, source INTEGER DEFAULT 0 NOT NULL,
  triggeringPlaceId INTEGER);
CREATE TABLE moz_inputhistory (place_id INTEGER NOT NULL, input LONGVARCHAR NOT NULL,
  use_count INTEGER, PRIMARY KEY (place_id, input));
CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL,
  parent INTEGER, position INTEGER, title LONGVARCHAR, keyword_id INTEGER, folder_type TEXT,
  dateAdded INTEGER, lastModified INTEGER, guid TEXT, syncStatus INTEGER NOT NULL DEFAULT 0,
  syncChangeCounter INTEGER NOT NULL DEFAULT 1);
CREATE TABLE moz_keywords (id INTEGER PRIMARY KEY AUTOINCREMENT, keyword TEXT UNIQUE,
  place_id INTEGER, post_data TEXT);
CREATE TABLE moz_anno_attributes (id INTEGER PRIMARY KEY, name VARCHAR(32) UNIQUE NOT NULL);
CREATE TABLE moz_meta (key TEXT PRIMARY KEY, value NOT NULL) WITHOUT ROWID;
CREATE INDEX moz_places_hostindex ON moz_places (rev_host);
CREATE INDEX moz_places_visitcount ON moz_places (visit_count);
CREATE INDEX moz_places_frecencyindex ON moz_places (frecency);
CREATE INDEX moz_places_lastvisitdateindex ON moz_places (last_visit_date);
CREATE UNIQUE INDEX moz_places_guid_uniqueindex ON moz_places (guid);
CREATE INDEX moz_places_url_hashindex ON moz_places (url_hash);
CREATE INDEX moz_historyvisits_placedateindex ON moz_historyvisits (place_id, visit_date);
CREATE INDEX moz_historyvisits_fromindex ON moz_historyvisits (from_visit);
CREATE INDEX moz_historyvisits_dateindex ON moz_historyvisits (visit_date);
CREATE INDEX moz_bookmarks_itemindex ON moz_bookmarks (fk, type);
CREATE INDEX moz_bookmarks_parentindex ON moz_bookmarks (parent, position);
CREATE INDEX moz_bookmarks_itemlastmodifiedindex ON moz_bookmarks (fk, lastModified);
CREATE INDEX moz_bookmarks_dateaddedindex ON moz_bookmarks (dateAdded);
CREATE UNIQUE INDEX moz_bookmarks_guid_uniqueindex ON moz_bookmarks (guid);
INSERT INTO moz_bookmarks (id, type, parent, position, title, guid) VALUES
  (1, 2, 0, 0, '', 'root________'),
  (2, 2, 1, 0, 'menu', 'menu________'),
  (3, 2, 1, 1, 'toolbar', 'toolbar_____'),
  (4, 2, 1, 2, 'tags', 'tags________'),
  (5, 2, 1, 3, 'unfiled', 'unfiled_____'),
  (6, 2, 1, 4, 'mobile', 'mobile______');
PRAGMA user_version = 77;
)sql";

// Firefox cookies.sqlite (schema version 14 and near it).
constexpr const char* kFirefoxCookies = R"sql(
CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL DEFAULT '',
  name TEXT, value TEXT, host TEXT, path TEXT, expiry INTEGER, lastAccessed INTEGER,
  creationTime INTEGER, isSecure INTEGER, isHttpOnly INTEGER, inBrowserElement INTEGER DEFAULT 0,
  sameSite INTEGER DEFAULT 0, rawSameSite INTEGER DEFAULT 0, schemeMap INTEGER DEFAULT 0,
  isPartitionedAttributeSet INTEGER DEFAULT 0,
  CONSTRAINT moz_uniqueid UNIQUE (name, host, path, originAttributes));
PRAGMA user_version = 14;
)sql";

// Chromium History (version 69 and near it).
constexpr const char* kChromiumHistory = R"sql(
CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);
CREATE TABLE urls(id INTEGER PRIMARY KEY AUTOINCREMENT, url LONGVARCHAR, title LONGVARCHAR,
  visit_count INTEGER DEFAULT 0 NOT NULL, typed_count INTEGER DEFAULT 0 NOT NULL,
  last_visit_time INTEGER NOT NULL, hidden INTEGER DEFAULT 0 NOT NULL);
CREATE TABLE visits(id INTEGER PRIMARY KEY AUTOINCREMENT, url INTEGER NOT NULL,
  visit_time INTEGER NOT NULL, from_visit INTEGER, external_referrer_url TEXT,
  transition INTEGER DEFAULT 0 NOT NULL, segment_id INTEGER,
  visit_duration INTEGER DEFAULT 0 NOT NULL,
  incremented_omnibox_typed_score BOOLEAN DEFAULT FALSE NOT NULL, opener_visit INTEGER,
  originator_cache_guid TEXT, originator_visit_id INTEGER, originator_from_visit INTEGER,
  originator_opener_visit INTEGER, is_known_to_sync BOOLEAN DEFAULT FALSE NOT NULL,
  consider_for_ntp_most_visited BOOLEAN DEFAULT FALSE NOT NULL,
  visited_link_id INTEGER DEFAULT 0 NOT NULL, app_id TEXT);
CREATE TABLE keyword_search_terms (keyword_id INTEGER NOT NULL, url_id INTEGER NOT NULL,
  term LONGVARCHAR NOT NULL, normalized_term LONGVARCHAR NOT NULL);
CREATE TABLE segments (id INTEGER PRIMARY KEY, name VARCHAR, url_id INTEGER NON NULL);
CREATE INDEX visits_url_index ON visits (url);
CREATE INDEX visits_from_index ON visits (from_visit);
CREATE INDEX visits_time_index ON visits (visit_time);
CREATE INDEX urls_url_index ON urls (url);
INSERT INTO meta VALUES ('version', '69'), ('last_compatible_version', '16');
)sql";

// Chromium Cookies (version 24: values start with the hash of their host).
constexpr const char* kChromiumCookies = R"sql(
CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);
CREATE TABLE cookies(creation_utc INTEGER NOT NULL, host_key TEXT NOT NULL,
  top_frame_site_key TEXT NOT NULL, name TEXT NOT NULL, value TEXT NOT NULL,
  encrypted_value BLOB NOT NULL, path TEXT NOT NULL, expires_utc INTEGER NOT NULL,
  is_secure INTEGER NOT NULL, is_httponly INTEGER NOT NULL, last_access_utc INTEGER NOT NULL,
  has_expires INTEGER NOT NULL, is_persistent INTEGER NOT NULL, priority INTEGER NOT NULL,
  samesite INTEGER NOT NULL, source_scheme INTEGER NOT NULL, source_port INTEGER NOT NULL,
  last_update_utc INTEGER NOT NULL, source_type INTEGER NOT NULL,
  has_cross_site_ancestor INTEGER NOT NULL);
CREATE UNIQUE INDEX cookies_unique_index ON cookies(host_key, top_frame_site_key,
  has_cross_site_ancestor, name, path, source_scheme, source_port);
INSERT INTO meta VALUES ('mmap_status', '-1'), ('version', '24'),
  ('last_compatible_version', '24');
)sql";

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
