#include <gtest/gtest.h>

#include "browser/browser_fixtures.h"
#include "browser/secret_service_fixture.h"
#include "checking/cookie_jar.h"
#include "checking/cookies.h"
#include "checking/request_context.h"
#include "checking/request_thread.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "resources/strings.h"
#include "support/http_test_server.h"
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

// A cookies.sqlite as Firefox writes it; each insert gives originAttributes, name, value, host,
// path, expiry, isSecure, isHttpOnly.
void WriteFirefoxDatabase(const std::string& path, const std::vector<std::string>& inserts) {
  test::BrowserDatabase db(path, test::BrowserSchema::kFirefoxCookies);
  for (const std::string& insert : inserts) {
    db.Exec(
        "INSERT INTO moz_cookies (originAttributes, name, value, host, path, expiry, "
        "isSecure, isHttpOnly) VALUES (" +
        insert + ")");
  }
}

CookieJar::Sources FirefoxSources(const std::string& txt, const std::string& db) {
  return CookieJar::Sources{txt, {{BrowserFamily::kFirefox, db, ""}}};
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
  CookieJar jar(FirefoxSources(txt, db), std::chrono::milliseconds(0));
  CookieJar throttled(FirefoxSources("", db));
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

  CookieJar nothing(FirefoxSources(sandbox.Sub("missing.txt"), sandbox.Sub("missing.sqlite")));
  EXPECT_EQ(nothing.Current()->size(), 0u);
}

TEST(CookieJarTest, FindsTheCookiesOfEveryProfileBelowHome) {
  test::Sandbox sandbox;
  test::ScopedHome home(sandbox);
  EXPECT_EQ(UserCookieSources().cookies_txt, "");
  EXPECT_TRUE(UserCookieSources().databases.empty());

  Result<SettingsStore> store = SettingsStore::OpenUser();
  ASSERT_TRUE(store.ok());
  ASSERT_TRUE(store->WriteString(LoadString(str::kRootKey), "CookieFile", "/x/cookies.txt").ok());
  // Where the current Firefox makes its profiles, and where older ones did.
  const std::string firefox = home.home() + "/.config/mozilla/firefox";
  ASSERT_TRUE(CreateDirectories(firefox + "/p.default-esr").ok());
  test::WriteFileBytes(firefox + "/profiles.ini", "[Install1]\nDefault=p.default-esr\n");
  const std::string old = home.home() + "/.mozilla/firefox";
  ASSERT_TRUE(CreateDirectories(old + "/old").ok());
  test::WriteFileBytes(old + "/profiles.ini", "[Profile0]\nPath=old\n");
  // Newer Chromium keeps its cookies in the profile's Network folder, older ones beside it.
  const std::string chromium = home.home() + "/.config/chromium";
  ASSERT_TRUE(CreateDirectories(chromium + "/Default/Network").ok());
  test::WriteFileBytes(chromium + "/Default/Network/Cookies", "");
  ASSERT_TRUE(CreateDirectories(chromium + "/Profile 1").ok());
  const CookieJar::Sources sources = UserCookieSources();
  EXPECT_EQ(sources.cookies_txt, "/x/cookies.txt");
  std::vector<std::string> databases;
  for (const CookieJar::Database& d : sources.databases) {
    databases.push_back(d.path.substr(home.home().size()) + " " + d.secret_application);
  }
  EXPECT_EQ(databases, (std::vector<std::string>{
                           "/.config/mozilla/firefox/p.default-esr/cookies.sqlite ",
                           "/.mozilla/firefox/old/cookies.sqlite ",
                           "/.config/chromium/Default/Network/Cookies chromium",
                           "/.config/chromium/Profile 1/Cookies chromium",
                       }));
}

TEST(CookieJarTest, TheCookieWrittenLastWinsBetweenProfiles) {
  test::Sandbox sandbox;
  test::ScopedHome home(sandbox);
  test::ScopedEnv no_bus("DBUS_SESSION_BUS_ADDRESS", test::kNoSessionBus);
  const std::string firefox = home.home() + "/.config/mozilla/firefox";
  ASSERT_TRUE(CreateDirectories(firefox + "/p").ok());
  test::WriteFileBytes(firefox + "/profiles.ini", "[Profile0]\nPath=p\n");
  const std::string chromium = home.home() + "/.config/google-chrome/Default";
  ASSERT_TRUE(CreateDirectories(chromium).ok());

  const FileTime earlier = FileTime::FromUnixSeconds(1'600'000'000);
  const FileTime later = FileTime::FromUnixSeconds(1'650'000'000);
  const FileTime latest = FileTime::FromUnixSeconds(1'690'000'000);
  test::BrowserDatabase ff(firefox + "/p/cookies.sqlite", test::BrowserSchema::kFirefoxCookies);
  const auto set_firefox = [&ff](FileTime written) {
    ff.Exec(
        "INSERT OR REPLACE INTO moz_cookies (originAttributes, name, value, host, path, "
        "expiry, lastAccessed, creationTime, isSecure, isHttpOnly) VALUES ('', 'sid', "
        "'from-firefox', 'site.org', '/', 0, " +
        std::to_string(test::UnixMicroseconds(written)) + ", 1, 0, 0)");
  };
  set_firefox(earlier);
  {
    test::BrowserDatabase chrome(chromium + "/Cookies", test::BrowserSchema::kChromiumCookies);
    const std::string w = std::to_string(test::WindowsMicroseconds(later));
    chrome.Exec(
        "INSERT INTO cookies VALUES (" + w + ", 'site.org', '', 'sid', '', " +
        test::SqlBlob(test::ChromiumEncrypt("v10", "peanuts", "from-chrome", "site.org", true)) +
        ", '/', 0, 0, 0, " + w + ", 0, 0, 1, 0, 1, 80, " + w + ", 0, 0)");
  }
  CookieJar jar(UserCookieSources(), std::chrono::milliseconds(0));
  EXPECT_EQ(jar.Current()->HeaderFor("http://site.org/", kNow), "sid=from-chrome");
  set_firefox(latest);
  EXPECT_EQ(jar.Current()->HeaderFor("http://site.org/", kNow), "sid=from-firefox");
}

// The page behind a log-in made with the current Firefox, whose profiles live below
// XDG_CONFIG_HOME, is fetched with its cookie.
TEST(CookieJarTest, APageBehindALogInIsCheckedWithTheCookieOfTheCurrentFirefox) {
  test::Sandbox sandbox;
  test::ScopedHome home(sandbox);
  test::TestHttpServer server;
  server.Serve("/account", 200, "members only");
  const std::string firefox = home.home() + "/.config/mozilla/firefox";
  ASSERT_TRUE(CreateDirectories(firefox + "/abcd.default-esr").ok());
  test::WriteFileBytes(firefox + "/profiles.ini",
                       "[Profile0]\nName=default-esr\nIsRelative=1\nPath=abcd.default-esr\n"
                       "[Install3B6073811A6ABF12]\nDefault=abcd.default-esr\nLocked=1\n");
  // The browser runs, holding its database with the log-in cookie in its write-ahead log.
  test::BrowserDatabase browser(firefox + "/abcd.default-esr/cookies.sqlite",
                                test::BrowserSchema::kFirefoxCookies);
  browser.Exec(
      "INSERT INTO moz_cookies (name, value, host, path, expiry, lastAccessed, "
      "creationTime, isSecure, isHttpOnly) VALUES ('session', 'logged-in', '127.0.0.1', "
      "'/', 0, 1, 1, 0, 1)");

  RequestThread thread(RequestContext::FromUserSettings());
  ASSERT_TRUE(thread.PostRequest(server.Url("/account"), false, false).ok());
  ASSERT_TRUE(thread.done_event().Wait(std::chrono::seconds(60)));
  EXPECT_EQ(thread.status(), 200);
  EXPECT_EQ(server.requests().at(0).Header("Cookie"), "session=logged-in");
  thread.CloseRequest({.end_thread = true});
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
