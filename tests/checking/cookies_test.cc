#include <gtest/gtest.h>
#include <sqlite3.h>

#include "checking/cookie_jar.h"
#include "checking/cookies.h"
#include "checking/request_context.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "resources/strings.h"
#include "support/sandbox.h"

namespace tw {
namespace {

constexpr int64_t kNow = 1'700'000'000;

CookieRecord Cookie(std::string domain, std::string path, std::string name, std::string value,
                    bool secure = false, int64_t expires = 0) {
  CookieRecord r;
  r.domain = std::move(domain);
  r.path = std::move(path);
  r.name = std::move(name);
  r.value = std::move(value);
  r.secure = secure;
  r.expires = expires;
  return r;
}

// A cookies.sqlite in the shape the browser writes.
void WriteFirefoxDatabase(const std::string& path, const std::vector<std::string>& inserts) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  std::string sql =
      "CREATE TABLE IF NOT EXISTS moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT "
      "NULL DEFAULT '', name TEXT, value TEXT, host TEXT, path TEXT, expiry INTEGER, "
      "lastAccessed INTEGER, creationTime INTEGER, isSecure INTEGER, isHttpOnly INTEGER);";
  for (const std::string& insert : inserts) {
    sql +=
        "INSERT INTO moz_cookies (originAttributes, name, value, host, path, expiry, isSecure, "
        "isHttpOnly) VALUES (" +
        insert + ");";
  }
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
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

TEST(CookieLookupTest, SendsTheFirstEntryFoundUpThePathAndTheDomains) {
  const CookieSet set({
      Cookie("www.example.org", "/dir/", "deep", "1"),
      Cookie("www.example.org", "/dir/", "deep2", "2"),
      Cookie("www.example.org", "/", "host", "3"),
      Cookie(".example.org", "/", "domain", "4"),
      Cookie(".example.org", "/", "domain", "duplicate"),
  });
  EXPECT_EQ(set.HeaderFor("http://www.example.org/dir/page.html", kNow), "deep=1; deep2=2");
  EXPECT_EQ(set.HeaderFor("http://WWW.Example.org/DIR/sub/x?q=/y", kNow), "deep=1; deep2=2");
  EXPECT_EQ(set.HeaderFor("http://www.example.org/other/x", kNow), "host=3");
  EXPECT_EQ(set.HeaderFor("http://www.example.org", kNow), "host=3");
  EXPECT_EQ(set.HeaderFor("http://a.b.example.org/x", kNow), "domain=4");
  EXPECT_EQ(set.HeaderFor("http://example.org:8080/", kNow), "domain=4");
  EXPECT_EQ(set.HeaderFor("http://example.net/", kNow), "");
  EXPECT_EQ(set.HeaderFor("not an address", kNow), "");
}

TEST(CookieLookupTest, NeverSendsExpiredSecureOverHttpOrUnsafeCookies) {
  const CookieSet set({
      Cookie("shop.org", "/", "cart", "1", /*secure=*/true),
      Cookie("shop.org", "/", "old", "2", false, kNow - 1),
      Cookie("shop.org", "/", "fresh", "3", false, kNow + 60),
      Cookie("shop.org", "/", "evil", "x\r\nX-Injected: 1"),
      Cookie("only.shop.org", "/", "login", "4", /*secure=*/true),
      Cookie("127.0.0.1", "/", "ip", "5"),
      Cookie("0.0.1", "/", "stray", "6"),
  });
  EXPECT_EQ(set.HeaderFor("http://shop.org/", kNow), "fresh=3");
  EXPECT_EQ(set.HeaderFor("https://shop.org/", kNow), "cart=1; fresh=3");
  // An entry with nothing that may be sent is no entry: the lookup goes on to the parent.
  EXPECT_EQ(set.HeaderFor("http://only.shop.org/", kNow), "fresh=3");
  EXPECT_EQ(set.HeaderFor("http://127.0.0.1:81/a", kNow), "ip=5");
  EXPECT_EQ(set.HeaderFor("http://10.0.0.1/", kNow), "");  // IP addresses have no parents

  const std::vector<std::string> lines = NetscapeLines(set.records(), kNow, /*https=*/true);
  EXPECT_EQ(lines.size(), 5u);  // the expired and the unsafe one left out
  EXPECT_EQ(lines[0], "shop.org\tFALSE\t/\tTRUE\t0\tcart\t1");
  EXPECT_EQ(NetscapeLines(set.records(), kNow, /*https=*/false).size(), 3u);
}

TEST(CookieJarTest, ReadsBothSourcesAndRereadsWhatChanged) {
  test::Sandbox sandbox;
  const std::string txt = sandbox.Sub("cookies.txt");
  const std::string db = sandbox.Sub("cookies.sqlite");
  test::WriteFileBytes(txt, "site.org\tFALSE\t/\tFALSE\t0\tfrom\ttxt\n");
  WriteFirefoxDatabase(
      db, {
              "'', 'from', 'firefox', 'site.org', '/', 0, 0, 0",
              "'', 'ff', 'only', 'site.org', '/', 4102444800000, 0, 1",  // milliseconds: 2100-01-01
              "'^userContextId=2', 'work', 'container', 'site.org', '/', 0, 0, 0",
          });
  CookieJar jar({txt, db}, std::chrono::milliseconds(0));
  CookieJar throttled({"", db});
  std::shared_ptr<const CookieSet> first = jar.Current();
  EXPECT_EQ(first->HeaderFor("http://site.org/", kNow), "from=txt; ff=only");
  EXPECT_EQ(jar.Current(), first);  // nothing changed, nothing read
  EXPECT_EQ(throttled.Current()->HeaderFor("http://site.org/", kNow), "from=firefox; ff=only");

  test::WriteFileBytes(txt, "site.org\tFALSE\t/\tFALSE\t0\tfrom\tnew-txt-value\n");
  EXPECT_EQ(jar.Current()->HeaderFor("http://site.org/", kNow), "from=new-txt-value; ff=only");

  // A database caught mid-write keeps the cookies it gave, and is read again once it is whole.
  test::WriteFileBytes(db, "SQLite format 3 but cut short");
  EXPECT_EQ(jar.Current()->HeaderFor("http://site.org/", kNow), "from=new-txt-value; ff=only");
  ASSERT_TRUE(DeleteFile(db).ok());
  WriteFirefoxDatabase(db, {"'', 'ff', 'again', 'site.org', '/', 0, 0, 0"});
  EXPECT_EQ(jar.Current()->HeaderFor("http://site.org/", kNow), "from=new-txt-value; ff=again");
  // A database that changes all the time is not copied again on every request.
  EXPECT_EQ(throttled.Current()->HeaderFor("http://site.org/", kNow), "from=firefox; ff=only");

  ASSERT_TRUE(DeleteFile(db).ok());
  EXPECT_EQ(jar.Current()->HeaderFor("http://site.org/", kNow), "from=new-txt-value");

  CookieJar nothing({sandbox.Sub("missing.txt"), sandbox.Sub("missing.sqlite")});
  EXPECT_EQ(nothing.Current()->size(), 0u);
}

TEST(CookieJarTest, FindsTheUsersSourcesBelowHome) {
  test::Sandbox sandbox;
  test::ScopedHome home(sandbox);
  EXPECT_EQ(UserCookieSources().cookies_txt, "");
  EXPECT_EQ(UserCookieSources().firefox_db, "");

  Result<SettingsStore> store = SettingsStore::OpenUser();
  ASSERT_TRUE(store.ok());
  ASSERT_TRUE(store->WriteString(LoadString(str::kRootKey), "CookieFile", "/x/cookies.txt").ok());
  const std::string firefox = home.home() + "/.mozilla/firefox";
  ASSERT_TRUE(CreateDirectories(firefox).ok());
  test::WriteFileBytes(firefox + "/profiles.ini", "[Install1]\nDefault=p.default-release\n");
  const CookieJar::Sources sources = UserCookieSources();
  EXPECT_EQ(sources.cookies_txt, "/x/cookies.txt");
  EXPECT_EQ(sources.firefox_db, firefox + "/p.default-release/cookies.sqlite");
}

TEST(UserAgentTest, TakesTheStoredValueWhenItIsUsable) {
  test::Sandbox sandbox;
  test::ScopedHome home(sandbox);
  EXPECT_EQ(ReadUserAgent(), LoadString(str::kDefaultUserAgent));
  Result<SettingsStore> store = SettingsStore::OpenUser();
  ASSERT_TRUE(store.ok());
  const std::string key(LoadString(str::kInternetSettingsKey));
  ASSERT_TRUE(store->WriteString(key, "User Agent", "Mozilla/5.0 (X11; Linux) Tidewell").ok());
  EXPECT_EQ(ReadUserAgent(), "Mozilla/5.0 (X11; Linux) Tidewell");
  ASSERT_TRUE(store->WriteString(key, "User Agent", std::string(260, 'a')).ok());
  EXPECT_EQ(ReadUserAgent(), LoadString(str::kDefaultUserAgent));
  ASSERT_TRUE(store->WriteString(key, "User Agent", "").ok());
  EXPECT_EQ(ReadUserAgent(), LoadString(str::kDefaultUserAgent));
}

}  // namespace
}  // namespace tw
