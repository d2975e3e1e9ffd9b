#include "browser/cookie_sources.h"

#include <algorithm>

#include "browser/chromium_crypto.h"
#include "browser/sqlite_snapshot.h"
#include "foundation/ascii.h"
#include "platform/secret_store.h"

namespace tw {
namespace {

constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";
// Firefox expiry times past this are in milliseconds, as newer versions store them (in seconds it
// would be the year 5138).
constexpr int64_t kLargestExpirySeconds = 100'000'000'000;
constexpr int64_t kMicrosecondsPerSecond = 1'000'000;
// Database versions from which a Chromium value starts with the hash of its host.
constexpr int64_t kFirstHostHashedVersion = 24;
// The names under which Chromium-based browsers keep their password in the secret store.
constexpr const char* kSecretSchemas[] = {"chrome_libsecret_os_crypt_password_v2",
                                          "chrome_libsecret_os_crypt_password"};

std::optional<int64_t> ParseSigned(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 18) return std::nullopt;  // 18 digits always fit
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

int64_t UnixSecondsOfChromiumTime(int64_t us) {
  if (us <= 0) return 0;
  return std::max<int64_t>(
      us / kMicrosecondsPerSecond - static_cast<int64_t>(FileTime::kUnixEpochSeconds), 1);
}

}  // namespace

std::vector<CookieRecord> ParseCookiesTxt(std::string_view text) {
  std::vector<CookieRecord> records;
  while (!text.empty() && records.size() < kMaxCookieRecords) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    CookieRecord record;
    if (line.substr(0, kHttpOnlyPrefix.size()) == kHttpOnlyPrefix) {
      record.http_only = true;
      line.remove_prefix(kHttpOnlyPrefix.size());
    } else if (line.empty() || line.front() == '#') {
      continue;
    }
    std::string_view fields[7];
    size_t count = 0;
    while (count < 6) {
      const size_t tab = line.find('\t');
      if (tab == std::string_view::npos) break;
      fields[count++] = line.substr(0, tab);
      line.remove_prefix(tab + 1);
    }
    fields[count++] = line;  // the value keeps whatever follows the sixth tab
    // Some writers leave out the tab before an empty value.
    if (count < 6 || fields[0].empty()) continue;
    const std::optional<int64_t> expires = ParseSigned(fields[4]);
    if (!expires) continue;
    record.domain = std::string(fields[0]);
    if (EqualsIgnoreCase(fields[1], "TRUE") && record.domain.front() != '.') {
      record.domain.insert(record.domain.begin(), '.');
    }
    record.path = fields[2].empty() ? std::string("/") : std::string(fields[2]);
    record.secure = EqualsIgnoreCase(fields[3], "TRUE");
    record.expires = std::max<int64_t>(*expires, 0);
    record.name = std::string(fields[5]);
    if (count == 7) record.value = std::string(fields[6]);
    records.push_back(std::move(record));
  }
  return records;
}

Result<std::vector<CookieRecord>> ReadFirefoxCookies(const std::string& path) {
  std::vector<CookieRecord> records;
  Result<SqliteSnapshot> db = SqliteSnapshot::Open(path, kMaxCookieDatabaseBytes);
  if (!db.ok()) return db.error();
  const auto add = [&records](const SqliteRow& row) {
    if (records.size() >= kMaxCookieRecords) return false;
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
    // Firefox keeps a cookie's first creation time when it is overwritten; its last access time
    // is renewed by every write.
    r.written = FileTime::FromUnixMicroseconds(row.Int(7));
    if (!r.domain.empty()) records.push_back(std::move(r));
    return true;
  };
  const std::string written = db->HasColumn("moz_cookies", "lastAccessed") ? "lastAccessed" : "0";
  const std::string columns = "SELECT host, path, isSecure, expiry, name, value, isHttpOnly, " +
                              written + " FROM moz_cookies";
  // Cookies of containers and private windows carry origin attributes; they are not the user's
  // everyday cookies. Old databases have no such column.
  const std::string filter =
      db->HasColumn("moz_cookies", "originAttributes") ? " WHERE originAttributes = ''" : "";
  if (Error e = db->ForEachRow(columns + filter + " ORDER BY id", add)) return e;
  return records;
}

Result<std::vector<CookieRecord>> ReadChromiumCookies(const std::string& path,
                                                      const SecretPasswordSource& secret_password) {
  Result<SqliteSnapshot> db = SqliteSnapshot::Open(path, kMaxCookieDatabaseBytes);
  if (!db.ok()) return db.error();
  int64_t version = 0;
  (void)db->ForEachRow("SELECT value FROM meta WHERE key = 'version'", [&](const SqliteRow& row) {
    version = ParseSigned(row.Text(0)).value_or(0);
    return false;
  });
  const bool host_hashed = version >= kFirstHostHashedVersion;
  // The secret store is asked only when a value needs it, and then once.
  std::optional<ChromiumKeys> keys;
  bool asked_secret = false;

  std::vector<CookieRecord> records;
  const auto add = [&](const SqliteRow& row) {
    if (records.size() >= kMaxCookieRecords) return false;
    CookieRecord r;
    r.domain = std::string(row.Text(0));
    r.path = row.Text(1).empty() ? std::string("/") : std::string(row.Text(1));
    r.secure = row.Int(2) != 0;
    r.expires = UnixSecondsOfChromiumTime(row.Int(3));
    r.name = std::string(row.Text(4));
    r.http_only = row.Int(7) != 0;
    r.written = FileTime::FromWindowsMicroseconds(row.Int(8));
    const std::string_view encrypted = row.Bytes(6);
    const ChromiumCipher cipher = CipherOf(encrypted);
    if (cipher == ChromiumCipher::kNone) {
      r.value = std::string(row.Text(5));
    } else {
      if (cipher == ChromiumCipher::kV11 && !asked_secret) {
        asked_secret = true;
        keys = MakeChromiumKeys(secret_password ? secret_password() : std::nullopt);
      } else if (!keys) {
        keys = MakeChromiumKeys(std::nullopt);
      }
      std::optional<std::string> value =
          DecryptChromiumValue(encrypted, *keys, r.domain, host_hashed);
      if (!value) return true;  // locked away from us; the cookie is not sent
      r.value = std::move(*value);
    }
    if (!r.domain.empty()) records.push_back(std::move(r));
    return true;
  };
  // Newer databases record when a cookie was last changed; older ones only when it was made.
  const std::string written =
      db->HasColumn("cookies", "last_update_utc") ? "last_update_utc" : "creation_utc";
  // Partitioned cookies belong to pages embedded in another site, not to the page itself.
  const std::string filter =
      db->HasColumn("cookies", "top_frame_site_key") ? " WHERE top_frame_site_key = ''" : "";
  const std::string sql =
      "SELECT host_key, path, is_secure, expires_utc, name, value, encrypted_value, is_httponly, " +
      written + " FROM cookies" + filter + " ORDER BY creation_utc";
  if (Error e = db->ForEachRow(sql, add)) return e;
  return records;
}

std::optional<std::string> ChromiumSecretPassword(const std::string& application) {
  for (const char* schema : kSecretSchemas) {
    Result<std::string> password =
        LookupSecret({{"xdg:schema", schema}, {"application", application}});
    if (password.ok()) return std::move(*password);
  }
  return std::nullopt;
}

}  // namespace tw
