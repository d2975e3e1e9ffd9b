// Reading what belongs to the browser: profiles.ini, and databases the browser holds open.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "platform/file_system.h"
#include "platform/firefox_profile.h"
#include "platform/foreign_file.h"
#include "platform/sqlite_snapshot.h"
#include "support/sandbox.h"

namespace tw {
namespace {

// A connection of our own, standing in for the browser.
class Browser {
 public:
  explicit Browser(const std::string& path) {
    EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK);
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA wal_autocheckpoint=0");  // what it writes stays in the log
  }
  ~Browser() { sqlite3_close(db_); }
  int Exec(const std::string& sql) {
    return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
  }

 private:
  sqlite3* db_ = nullptr;
};

TEST(FirefoxProfileTest, FindsTheDefaultProfile) {
  const std::string dir = "/home/u/.mozilla/firefox";
  EXPECT_EQ(DefaultProfileFromIni("[Profile1]\nName=a\nIsRelative=1\nPath=aaa.other\n"
                                  "[Profile0]\nName=b\nIsRelative=1\nPath=bbb.default\nDefault=1\n"
                                  "[Install4F96D1932A9F858E]\nDefault=ccc.default-release\n",
                                  dir),
            dir + "/ccc.default-release");
  EXPECT_EQ(DefaultProfileFromIni("[General]\r\nStartWithLastProfile=1\r\n[Profile1]\r\n"
                                  "Path=aaa.other\r\nIsRelative=1\r\n[Profile0]\r\n"
                                  "Path=/abs/bbb\r\nIsRelative=0\r\nDefault=1\r\n",
                                  dir),
            "/abs/bbb");
  EXPECT_EQ(DefaultProfileFromIni("[Profile0]\nPath=first\n[Profile1]\nPath=second\n", dir),
            dir + "/first");
  EXPECT_FALSE(DefaultProfileFromIni("[General]\nVersion=2\n", dir));
  EXPECT_FALSE(DefaultProfileFromIni("Path=no-section\n", dir));
}

TEST(FirefoxProfileTest, LooksBelowHome) {
  test::Sandbox sandbox;
  test::ScopedHome home(sandbox);
  EXPECT_EQ(DefaultFirefoxProfile().error().code(), err::kFileNotFound);
  const std::string firefox = home.home() + "/.mozilla/firefox";
  ASSERT_TRUE(CreateDirectories(firefox).ok());
  test::WriteFileBytes(firefox + "/profiles.ini", "[Profile0]\nPath=x.default\nIsRelative=1\n");
  EXPECT_EQ(*DefaultFirefoxProfile(), firefox + "/x.default");
}

TEST(SqliteSnapshotTest, ReadsWhatABrowserWroteWithoutDisturbingIt) {
  test::Sandbox sandbox;
  const std::string path = sandbox.Sub("cookies.sqlite");
  Browser browser(path);
  ASSERT_EQ(browser.Exec("CREATE TABLE t (name TEXT, n INTEGER)"), SQLITE_OK);
  ASSERT_EQ(browser.Exec("INSERT INTO t VALUES ('committed', 7)"), SQLITE_OK);
  // The browser is in the middle of a write transaction while we read.
  ASSERT_EQ(browser.Exec("BEGIN IMMEDIATE"), SQLITE_OK);
  ASSERT_EQ(browser.Exec("INSERT INTO t VALUES ('pending', 8)"), SQLITE_OK);

  Result<SqliteSnapshot> snapshot = SqliteSnapshot::Open(path, 1 << 20);
  ASSERT_TRUE(snapshot.ok()) << snapshot.error().code();
  std::vector<std::string> names;
  ASSERT_TRUE(snapshot
                  ->ForEachRow("SELECT name, n FROM t",
                               [&](const SqliteRow& row) {
                                 names.push_back(std::string(row.Text(0)) + "=" +
                                                 std::to_string(row.Int(1)));
                               })
                  .ok());
  EXPECT_EQ(names, std::vector<std::string>{"committed=7"});
  EXPECT_EQ(snapshot->ForEachRow("SELECT nothing FROM nowhere", [](const SqliteRow&) {}).code(),
            err::kInvalidData);
  // The browser goes on undisturbed.
  EXPECT_EQ(browser.Exec("COMMIT"), SQLITE_OK);
  EXPECT_EQ(browser.Exec("INSERT INTO t VALUES ('later', 9)"), SQLITE_OK);
}

TEST(SqliteSnapshotTest, FailsCleanlyOnWhatIsNoDatabase) {
  test::Sandbox sandbox;
  EXPECT_EQ(SqliteSnapshot::Open(sandbox.Sub("missing.sqlite"), 1 << 20).error().code(),
            err::kFileNotFound);
  test::WriteFileBytes(sandbox.Sub("junk.sqlite"), std::string(4096, 'j'));
  EXPECT_EQ(SqliteSnapshot::Open(sandbox.Sub("junk.sqlite"), 1 << 20).error().code(),
            err::kInvalidData);
  EXPECT_EQ(SqliteSnapshot::Open(sandbox.Sub("junk.sqlite"), 100).error().code(),
            err::kNotEnoughMemory);
  EXPECT_EQ(ReadForeignFile(sandbox.Sub("junk.sqlite"), 100).error().code(), err::kNotEnoughMemory);
  EXPECT_EQ(ReadForeignFile(sandbox.Sub("junk.sqlite"), 4096)->size(), 4096u);
}

}  // namespace
}  // namespace tw
