// The mail program's address book, in the schema Thunderbird writes, held open by a connection
// that stands in for a running Thunderbird.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "friend/thunderbird_address_book.h"
#include "platform/file_system.h"
#include "support/sandbox.h"

namespace tw {
namespace {

// What a running Thunderbird holds: the database in write-ahead-log mode, with what it wrote
// still in the log.
class RunningThunderbird {
 public:
  explicit RunningThunderbird(const std::string& path) {
    EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK);
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA wal_autocheckpoint=0");
    Exec("CREATE TABLE properties (card TEXT, name TEXT, value TEXT)");
    Exec("CREATE TABLE lists (uid TEXT PRIMARY KEY, name TEXT, nickName TEXT, description TEXT)");
    Exec("CREATE TABLE list_cards (list TEXT, card TEXT, PRIMARY KEY(list, card))");
    Exec("CREATE INDEX properties_card ON properties(card)");
    Exec("CREATE INDEX properties_name ON properties(name)");
    Exec("PRAGMA user_version = 4");
  }
  ~RunningThunderbird() { sqlite3_close(db_); }

  void Exec(const std::string& sql) {
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK)
        << (message ? message : "") << " in " << sql;
    sqlite3_free(message);
  }
  void AddCard(const std::string& uid,
               const std::vector<std::pair<std::string, std::string>>& properties) {
    for (const auto& [name, value] : properties) {
      Exec("INSERT INTO properties VALUES ('" + uid + "', '" + name + "', '" + value + "')");
    }
  }

 private:
  sqlite3* db_ = nullptr;
};

std::string VCard(const std::string& name, const std::string& email) {
  return "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:" + name + "\r\nEMAIL;PREF=1:" + email +
         "\r\nUID:x\r\nEND:VCARD\r\n";
}

void FillAddressBook(RunningThunderbird& tb) {
  tb.AddCard("c1", {{"_vCard", VCard("Carol Example", "carol@example.org")},
                    {"DisplayName", "Carol Example"},
                    {"PrimaryEmail", "carol@example.org"},
                    {"SecondEmail", "carol@work.example"},
                    {"LastModifiedDate", "1700000000"}});
  tb.AddCard("c2", {{"_vCard", VCard("Vic Vcard", "vic@example.org")}});
  tb.AddCard("c3",
             {{"FirstName", "fred"}, {"LastName", "First"}, {"PrimaryEmail", "fred@example.org"}});
  tb.AddCard("c4", {{"DisplayName", "No Mail"}});
  tb.Exec("INSERT INTO lists VALUES ('l1', 'Friends', 'friends', '')");
  tb.Exec("INSERT INTO list_cards VALUES ('l1', 'c1')");
  // Properties of one card need not stand together.
  tb.AddCard("c5", {{"NickName", "Bee"}});
  tb.AddCard("c4", {{"LastName", "Ignored"}});
  tb.AddCard("c5", {{"PrimaryEmail", "bee@example.org"}});
}

const ContactList kExpected{{"Bee", "bee@example.org"},
                            {"Carol Example", "carol@example.org"},
                            {"Carol Example", "carol@work.example"},
                            {"fred First", "fred@example.org"},
                            {"Vic Vcard", "vic@example.org"}};

TEST(ThunderbirdAddressBookTest, ReadsAnOpenAddressBookWithoutDisturbingIt) {
  test::Sandbox sandbox;
  const std::string path = sandbox.Sub("abook.sqlite");
  RunningThunderbird tb(path);
  FillAddressBook(tb);
  // Thunderbird is in the middle of writing a card while we read.
  tb.Exec("BEGIN IMMEDIATE");
  tb.AddCard("c6", {{"DisplayName", "Pending"}, {"PrimaryEmail", "pending@example.org"}});

  Result<ContactList> contacts = ReadThunderbirdAddressBook(path);
  ASSERT_TRUE(contacts.ok()) << contacts.error().code();
  EXPECT_EQ(*contacts, kExpected);
  tb.Exec("COMMIT");  // its transaction was not disturbed
  EXPECT_EQ(ReadThunderbirdAddressBook(path)->size(), kExpected.size() + 1);
}

TEST(ThunderbirdAddressBookTest, FailsOnWhatIsNoAddressBook) {
  test::Sandbox sandbox;
  EXPECT_EQ(ReadThunderbirdAddressBook(sandbox.Sub("none.sqlite")).error().code(),
            err::kFileNotFound);
  const std::string text = sandbox.Sub("text.sqlite");
  test::WriteFileBytes(text, "this is not a database at all, just some text to be read");
  EXPECT_EQ(ReadThunderbirdAddressBook(text).error().code(), err::kInvalidData);
  const std::string other = sandbox.Sub("other.sqlite");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(other.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE t (a)", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  EXPECT_EQ(ReadThunderbirdAddressBook(other).error().code(), err::kInvalidData);
}

TEST(ThunderbirdAddressBookTest, FindsTheDefaultProfilesAddressBook) {
  test::Sandbox sandbox;
  test::ScopedHome home(sandbox);
  EXPECT_EQ(ReadDefaultThunderbirdAddressBook().error().code(), err::kFileNotFound);

  // A Flatpak Thunderbird, whose profiles.ini names the default profile by its install.
  const std::string tb_home = home.home() + "/.var/app/org.mozilla.Thunderbird/.thunderbird";
  ASSERT_TRUE(CreateDirectories(tb_home + "/abc.default-release").ok());
  ASSERT_TRUE(CreateDirectories(tb_home + "/old.default").ok());
  test::WriteFileBytes(tb_home + "/profiles.ini",
                       "[Profile1]\nName=default\nIsRelative=1\nPath=old.default\nDefault=1\n"
                       "[Profile0]\nName=default-release\nIsRelative=1\n"
                       "Path=abc.default-release\n"
                       "[InstallFDC34C9F024745EB]\nDefault=abc.default-release\nLocked=1\n");
  EXPECT_EQ(*DefaultThunderbirdProfile(), tb_home + "/abc.default-release");
  // The profile has no address book yet.
  EXPECT_EQ(ReadDefaultThunderbirdAddressBook().error().code(), err::kFileNotFound);

  RunningThunderbird tb(tb_home + "/abc.default-release/abook.sqlite");
  FillAddressBook(tb);
  EXPECT_EQ(*ReadDefaultThunderbirdAddressBook(), kExpected);

  // ~/.thunderbird comes first when it names a profile.
  ASSERT_TRUE(CreateDirectories(home.home() + "/.thunderbird").ok());
  test::WriteFileBytes(home.home() + "/.thunderbird/profiles.ini",
                       "[Profile0]\nPath=/elsewhere/p\nIsRelative=0\n");
  EXPECT_EQ(*DefaultThunderbirdProfile(), "/elsewhere/p");
}

}  // namespace
}  // namespace tw
