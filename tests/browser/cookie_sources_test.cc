// The cookies of Firefox and Chromium-based browsers, from databases in their own schemas that
// a running browser holds.
#include "browser/cookie_sources.h"

#include <gtest/gtest.h>

#include "browser/browser_fixtures.h"
#include "browser/chromium_crypto.h"
#include "browser/secret_service_fixture.h"
#include "support/child_process.h"
#include "support/sandbox.h"

namespace tw {
namespace {

using test::BrowserDatabase;
using test::BrowserSchema;
using test::ChromiumEncrypt;
using test::SqlBlob;
using test::SqlText;

const FileTime kWritten = FileTime::FromUnixSeconds(1'700'000'000);

// A cookie row as Chromium writes it: the value in `value` or, encrypted, in `encrypted_value`.
void AddChromiumCookie(BrowserDatabase& db, std::string_view host, std::string_view name,
                       std::string_view value, std::string_view encrypted,
                       std::string_view top_frame_site = "", int64_t expires_s = 0) {
  const std::string created = std::to_string(test::WindowsMicroseconds(kWritten));
  const std::string expires =
      expires_s ? std::to_string((expires_s + 11'644'473'600) * 1'000'000) : "0";
  db.Exec("INSERT INTO cookies VALUES (" + created + ", " + SqlText(host) + ", " +
          SqlText(top_frame_site) + ", " + SqlText(name) + ", " + SqlText(value) + ", " +
          (encrypted.empty() ? std::string("X''") : SqlBlob(encrypted)) + ", '/', " + expires +
          ", 1, 1, " + created + ", " + (expires_s ? "1" : "0") + ", " + (expires_s ? "1" : "0") +
          ", 1, 0, 2, 443, " + created + ", 0, 0)");
}

std::vector<std::string> NameValues(const std::vector<CookieRecord>& records) {
  std::vector<std::string> out;
  for (const CookieRecord& r : records) out.push_back(r.name + "=" + r.value);
  return out;
}

TEST(CookiesTxtTest, ReadsNetscapeLinesAndPassesOverTheRest) {
  const std::vector<CookieRecord> records = ParseCookiesTxt(
      "# Netscape HTTP Cookie File\r\n"
      "\r\n"
      ".example.org\tTRUE\t/\tFALSE\t1800000000\tsid\tabc\r\n"
      "#HttpOnly_www.example.org\tFALSE\t/app\tTRUE\t0\ttoken\tx\ty\n"
      "host.org\tTRUE\t/\tFALSE\t0\tflagged\t1\n"
      "novalue.org\tFALSE\t/\tFALSE\t0\tempty\n"
      "too\tfew\tfields\n"
      "bad.org\tFALSE\t/\tFALSE\tsoon\tn\tv\n");
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].domain, ".example.org");
  EXPECT_EQ(records[0].expires, 1800000000);
  EXPECT_EQ(records[0].value, "abc");
  EXPECT_TRUE(records[1].http_only);
  EXPECT_TRUE(records[1].secure);
  EXPECT_EQ(records[1].path, "/app");
  EXPECT_EQ(records[1].value, "x\ty");  // kept as read; never sent (see below)
  EXPECT_EQ(records[2].domain, ".host.org");
  EXPECT_EQ(records[3].name, "empty");
  EXPECT_EQ(records[3].value, "");
}

TEST(FirefoxCookiesTest, ReadsTheEverydayCookiesOfARunningFirefox) {
  test::Sandbox sandbox;
  const std::string path = sandbox.Sub("cookies.sqlite");
  BrowserDatabase browser(path, BrowserSchema::kFirefoxCookies);
  const std::string seen = std::to_string(test::UnixMicroseconds(kWritten));
  browser.Exec(
      "INSERT INTO moz_cookies (originAttributes, name, value, host, path, expiry, lastAccessed, "
      "creationTime, isSecure, isHttpOnly) VALUES "
      "('', 'sid', 'abc', '.site.org', '/', 4102444800, " +
      seen +
      ", 1, 1, 1),"
      // Newer versions store the expiry in milliseconds.
      "('', 'ms', 'x', 'site.org', '', 4102444800000, " +
      seen +
      ", 1, 0, 0),"
      "('^userContextId=2', 'work', 'container', 'site.org', '/', 0, 0, 0, 0, 0)");
  browser.BeginPendingWrite();
  browser.Exec(
      "INSERT INTO moz_cookies (name, value, host, path) VALUES ('pending', 'p', 'a', '/')");

  Result<std::vector<CookieRecord>> records = ReadFirefoxCookies(path);
  ASSERT_TRUE(records.ok()) << records.error().code();
  EXPECT_EQ(NameValues(*records), (std::vector<std::string>{"sid=abc", "ms=x"}));
  const CookieRecord& sid = (*records)[0];
  EXPECT_EQ(sid.domain, ".site.org");
  EXPECT_TRUE(sid.secure);
  EXPECT_TRUE(sid.http_only);
  EXPECT_EQ(sid.expires, 4102444800);
  EXPECT_EQ(sid.written, kWritten);
  EXPECT_EQ((*records)[1].expires, 4102444800);
  EXPECT_EQ((*records)[1].path, "/");
  EXPECT_EQ(ReadFirefoxCookies(sandbox.Sub("missing.sqlite")).error().code(), err::kFileNotFound);
}

TEST(ChromiumCryptoTest, OpensOnlyWhatTheRightKeyEncrypted) {
  const ChromiumKeys no_store = MakeChromiumKeys(std::nullopt);
  const ChromiumKeys with_store = MakeChromiumKeys(std::string("s3cret"));
  const std::string v10 = ChromiumEncrypt("v10", "peanuts", "plain-key", "", false);
  EXPECT_EQ(DecryptChromiumValue(v10, no_store, "x.org", false), "plain-key");
  const std::string v11 = ChromiumEncrypt("v11", "s3cret", "stored-key", "x.org", true);
  EXPECT_EQ(DecryptChromiumValue(v11, with_store, "x.org", true), "stored-key");
  EXPECT_EQ(DecryptChromiumValue(v11, no_store, "x.org", true), std::nullopt);
  // The host hash ties a value to its cookie: moved to another host it is refused.
  EXPECT_EQ(DecryptChromiumValue(v11, with_store, "y.org", true), std::nullopt);
  // When the store failed the browser as it wrote, it used an empty password.
  const std::string empty = ChromiumEncrypt("v11", "", "empty-key", "", false);
  EXPECT_EQ(DecryptChromiumValue(empty, with_store, "x.org", false), "empty-key");
  // A value of 16 bytes gets a whole block of padding.
  const std::string block = ChromiumEncrypt("v10", "peanuts", std::string(16, 'b'), "", false);
  EXPECT_EQ(DecryptChromiumValue(block, no_store, "", false), std::string(16, 'b'));

  EXPECT_EQ(CipherOf(""), ChromiumCipher::kNone);
  EXPECT_EQ(CipherOf("v20abc"), ChromiumCipher::kUnknown);
  for (const std::string& broken :
       {std::string("v10"), std::string("v10short"), v10.substr(0, v10.size() - 1),
        std::string("v11") + "x", std::string("v20") + std::string(32, 'z')}) {
    EXPECT_EQ(DecryptChromiumValue(broken, with_store, "x.org", false), std::nullopt) << broken;
  }
}

class ChromiumCookiesTest : public testing::Test {
 protected:
  test::Sandbox sandbox_;
  const std::string path_ = sandbox_.Sub("Cookies");
};

TEST_F(ChromiumCookiesTest, DecryptsWithTheBuiltInKeyAndLeavesOutWhatItCannotOpen) {
  BrowserDatabase browser(path_, BrowserSchema::kChromiumCookies);
  AddChromiumCookie(browser, ".site.org", "plain", "in-clear", "");
  AddChromiumCookie(browser, ".site.org", "built-in", "",
                    ChromiumEncrypt("v10", "peanuts", "v10-value", ".site.org", true), "",
                    4102444800);
  AddChromiumCookie(browser, ".site.org", "stored", "",
                    ChromiumEncrypt("v11", "from-the-store", "v11-value", ".site.org", true));
  AddChromiumCookie(browser, ".site.org", "partitioned", "p", "", "https://embedder.org");
  browser.BeginPendingWrite();
  AddChromiumCookie(browser, ".site.org", "pending", "p", "");

  int asked = 0;
  Result<std::vector<CookieRecord>> records = ReadChromiumCookies(path_, [&asked] {
    ++asked;
    return std::optional<std::string>();
  });
  ASSERT_TRUE(records.ok()) << records.error().code();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(NameValues(*records),
            (std::vector<std::string>{"plain=in-clear", "built-in=v10-value"}));
  EXPECT_EQ((*records)[0].expires, 0);  // a session cookie
  EXPECT_EQ((*records)[1].expires, 4102444800);
  EXPECT_EQ((*records)[1].written, kWritten);
  EXPECT_TRUE((*records)[1].secure);

  // With the store's password the v11 value opens too, and the store is asked once.
  asked = 0;
  records = ReadChromiumCookies(path_, [&asked] {
    ++asked;
    return std::optional<std::string>("from-the-store");
  });
  ASSERT_TRUE(records.ok());
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(NameValues(*records),
            (std::vector<std::string>{"plain=in-clear", "built-in=v10-value", "stored=v11-value"}));
}

TEST_F(ChromiumCookiesTest, ReadsOlderDatabasesWithoutHostHashOrPartitions) {
  {
    BrowserDatabase browser(path_, BrowserSchema::kChromiumCookies);
    browser.Exec("DROP TABLE cookies");
    browser.Exec(
        "CREATE TABLE cookies (creation_utc INTEGER NOT NULL, host_key TEXT NOT NULL, name TEXT "
        "NOT NULL, value TEXT NOT NULL, path TEXT NOT NULL, expires_utc INTEGER NOT NULL, "
        "is_secure INTEGER NOT NULL, is_httponly INTEGER NOT NULL, last_access_utc INTEGER NOT "
        "NULL, has_expires INTEGER NOT NULL DEFAULT 1, is_persistent INTEGER NOT NULL DEFAULT 1, "
        "priority INTEGER NOT NULL DEFAULT 1, encrypted_value BLOB DEFAULT '', samesite INTEGER "
        "NOT NULL DEFAULT -1, source_scheme INTEGER NOT NULL DEFAULT 0, UNIQUE (host_key, name, "
        "path))");
    browser.Exec("UPDATE meta SET value = '12' WHERE key = 'version'");
    browser.Exec(
        "INSERT INTO cookies (creation_utc, host_key, name, value, path, expires_utc, "
        "is_secure, is_httponly, last_access_utc, encrypted_value) VALUES (13300000000000000, "
        "'old.org', 'old', '', '/', 0, 0, 0, 0, " +
        SqlBlob(ChromiumEncrypt("v10", "peanuts", "old-value", "", false)) + ")");
  }
  Result<std::vector<CookieRecord>> records =
      ReadChromiumCookies(path_, [] { return std::optional<std::string>(); });
  ASSERT_TRUE(records.ok()) << records.error().code();
  EXPECT_EQ(NameValues(*records), std::vector<std::string>{"old=old-value"});
  EXPECT_EQ((*records)[0].written, FileTime::FromWindowsMicroseconds(13300000000000000));
}

TEST_F(ChromiumCookiesTest, TakesTheKeyFromTheDesktopsSecretStoreWithoutEverUnlockingIt) {
  test::ScopedHome home(sandbox_);
  test::PrivateSecretService store(sandbox_);
  if (!store.running()) GTEST_SKIP() << "dbus-daemon, gnome-keyring or secret-tool missing";
  {
    BrowserDatabase browser(path_, BrowserSchema::kChromiumCookies);
    AddChromiumCookie(browser, "app.org", "session", "",
                      ChromiumEncrypt("v11", "brave-key", "from-store", "app.org", true));
  }
  // Another browser's key, and the older schema's name, are not this browser's.
  ASSERT_TRUE(store.Store(
      {{"xdg:schema", "chrome_libsecret_os_crypt_password_v2"}, {"application", "chromium"}},
      "chromium-key"));
  ASSERT_TRUE(store.Store(
      {{"xdg:schema", "chrome_libsecret_os_crypt_password_v2"}, {"application", "brave"}},
      "brave-key"));
  const auto read = [this](const std::string& application) {
    test::ChildProcess child =
        test::ChildProcess::SpawnHelper({"read-chromium-cookies", path_, application});
    std::vector<std::string> lines;
    while (std::optional<std::string> line = child.ReadLine()) {
      if (*line == "end") break;
      lines.push_back(*line);
    }
    EXPECT_EQ(child.Wait(), 0);
    return lines;
  };
  EXPECT_EQ(read("brave"), std::vector<std::string>{"session=from-store"});
  EXPECT_EQ(read("chromium"), std::vector<std::string>{});
  // Locked, the store gives nothing and asks the user nothing.
  ASSERT_TRUE(store.LockAll());
  EXPECT_EQ(read("brave"), std::vector<std::string>{});
}

TEST_F(ChromiumCookiesTest, WithoutAnyStoreOnlyTheBuiltInKeyIsTried) {
  test::ScopedEnv no_bus("DBUS_SESSION_BUS_ADDRESS", test::kNoSessionBus);
  EXPECT_EQ(ChromiumSecretPassword("chromium"), std::nullopt);
}

}  // namespace
}  // namespace tw
