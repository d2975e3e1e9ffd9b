// Reading databases that a running browser holds, without disturbing it.
#include "browser/sqlite_snapshot.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "browser/browser_fixtures.h"
#include "platform/folder_listing.h"
#include "platform/foreign_file.h"
#include "support/sandbox.h"

namespace tw {
namespace {

using test::BrowserDatabase;
using test::BrowserSchema;

std::vector<std::string> Titles(SqliteSnapshot& snapshot, const char* sql) {
  std::vector<std::string> out;
  EXPECT_TRUE(snapshot
                  .ForEachRow(sql,
                              [&](const SqliteRow& row) {
                                out.emplace_back(row.Text(0));
                                return true;
                              })
                  .ok());
  return out;
}

size_t TemporaryFolders(const std::string& tmp) {
  Result<std::vector<FolderEntry>> entries = ListFolder(tmp, 1000);
  return entries.ok() ? entries->size() : 0;
}

class SqliteSnapshotTest : public testing::Test {
 protected:
  SqliteSnapshotTest() { ::setenv("TMPDIR", tmp_.c_str(), 1); }
  ~SqliteSnapshotTest() override { ::unsetenv("TMPDIR"); }

  test::Sandbox sandbox_;
  const std::string tmp_ = sandbox_.Sub("tmp", true);
};

TEST_F(SqliteSnapshotTest, SeesWhatAFirefoxHoldingItsLogCommittedAndNothingElse) {
  const std::string path = sandbox_.Sub("places.sqlite");
  BrowserDatabase browser(path, BrowserSchema::kFirefoxPlaces);
  browser.AddFirefoxPage("http://committed.example/", "committed");
  // The browser is in the middle of a write while we read.
  browser.BeginPendingWrite();
  browser.AddFirefoxPage("http://pending.example/", "pending");

  {
    Result<SqliteSnapshot> snapshot = SqliteSnapshot::Open(path, 1 << 24);
    ASSERT_TRUE(snapshot.ok()) << snapshot.error().code();
    EXPECT_EQ(Titles(*snapshot, "SELECT title FROM moz_places"),
              std::vector<std::string>{"committed"});
    EXPECT_TRUE(snapshot->HasColumn("moz_places", "url_hash"));
    EXPECT_FALSE(snapshot->HasColumn("moz_places", "no_such_column"));
    EXPECT_EQ(
        snapshot->ForEachRow("SELECT nothing FROM nowhere", [](const SqliteRow&) { return true; })
            .code(),
        err::kInvalidData);
    EXPECT_EQ(TemporaryFolders(tmp_), 1u);
  }
  EXPECT_EQ(TemporaryFolders(tmp_), 0u);  // the copy went with the snapshot
  // The browser goes on undisturbed.
  browser.Exec("COMMIT");
  browser.AddFirefoxPage("http://later.example/", "later");
}

TEST_F(SqliteSnapshotTest, RollsBackWhatAChromiumInTheMiddleOfAWriteLeftInItsJournal) {
  const std::string path = sandbox_.Sub("History");
  BrowserDatabase browser(path, BrowserSchema::kChromiumHistory);
  browser.AddChromiumUrl("http://kept.example/", "kept");
  browser.BeginPendingWrite();
  browser.Exec("UPDATE urls SET title = 'half written'");
  // Enough changes that pages reach the database file before the commit.
  browser.Exec("PRAGMA cache_size = 1");
  for (int i = 0; i < 200; ++i) {
    browser.AddChromiumUrl("http://pending.example/" + std::to_string(i), std::string(500, 'p'));
  }
  Result<SqliteSnapshot> snapshot = SqliteSnapshot::Open(path, 1 << 24);
  ASSERT_TRUE(snapshot.ok()) << snapshot.error().code();
  EXPECT_EQ(Titles(*snapshot, "SELECT title FROM urls"), std::vector<std::string>{"kept"});
  browser.Exec("COMMIT");
}

TEST_F(SqliteSnapshotTest, FailsCleanlyOnWhatIsNoDatabase) {
  EXPECT_EQ(SqliteSnapshot::Open(sandbox_.Sub("missing.sqlite"), 1 << 20).error().code(),
            err::kFileNotFound);
  test::WriteFileBytes(sandbox_.Sub("junk.sqlite"), std::string(4096, 'j'));
  EXPECT_EQ(SqliteSnapshot::Open(sandbox_.Sub("junk.sqlite"), 1 << 20).error().code(),
            err::kInvalidData);
  EXPECT_EQ(SqliteSnapshot::Open(sandbox_.Sub("junk.sqlite"), 100).error().code(),
            err::kNotEnoughMemory);
  EXPECT_EQ(ReadForeignFile(sandbox_.Sub("junk.sqlite"), 100).error().code(),
            err::kNotEnoughMemory);
  EXPECT_EQ(ReadForeignFile(sandbox_.Sub("junk.sqlite"), 4096)->size(), 4096u);

  // A database whose pages were damaged after its header.
  const std::string damaged = sandbox_.Sub("damaged.sqlite");
  {
    BrowserDatabase browser(damaged, BrowserSchema::kChromiumHistory);
    for (int i = 0; i < 50; ++i)
      browser.AddChromiumUrl("http://x.example/" + std::to_string(i), "t");
  }
  std::string bytes = test::ReadFileBytes(damaged);
  ASSERT_GT(bytes.size(), 8192u);
  std::fill(bytes.begin() + 4096, bytes.end(), '\xA5');
  test::WriteFileBytes(damaged, bytes);
  {
    Result<SqliteSnapshot> snapshot = SqliteSnapshot::Open(damaged, 1 << 24);
    if (snapshot.ok()) {
      EXPECT_EQ(snapshot->ForEachRow("SELECT url FROM urls", [](const SqliteRow&) { return true; })
                    .code(),
                err::kInvalidData);
    } else {
      EXPECT_EQ(snapshot.error().code(), err::kInvalidData);
    }
  }
  EXPECT_EQ(TemporaryFolders(tmp_), 0u);
}

}  // namespace
}  // namespace tw
