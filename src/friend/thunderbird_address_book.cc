#include "friend/thunderbird_address_book.h"

#include <algorithm>
#include <map>
#include <optional>

#include "browser/firefox_profiles.h"
#include "browser/sqlite_snapshot.h"
#include "foundation/ascii.h"
#include "foundation/utf8.h"
#include "friend/vcard.h"
#include "platform/file_system.h"
#include "platform/foreign_file.h"
#include "platform/user_dirs.h"

namespace tw {
namespace {

constexpr uint64_t kMaxIniBytes = 1 << 20;
constexpr const char* kAddressBookFile = "abook.sqlite";

// The properties of one card that name it and reach it.
struct Card {
  std::string display_name;
  std::string first_name;
  std::string last_name;
  std::string nickname;
  std::string primary_email;
  std::string second_email;
  std::string vcard;
};

void Take(Card& card, std::string_view name, std::string_view value) {
  static constexpr struct {
    std::string_view name;
    std::string Card::*field;
  } kFields[] = {{"DisplayName", &Card::display_name},
                 {"FirstName", &Card::first_name},
                 {"LastName", &Card::last_name},
                 {"NickName", &Card::nickname},
                 {"PrimaryEmail", &Card::primary_email},
                 {"SecondEmail", &Card::second_email},
                 {"_vCard", &Card::vcard}};
  for (const auto& f : kFields) {
    if (name == f.name) card.*f.field = ToValidUtf8(TrimBlanks(value));
  }
}

std::string Joined(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return a + " " + b;
}

void AddContacts(const Card& card, ContactList& out) {
  std::optional<Contact> from_vcard;
  if (!card.vcard.empty()) {
    Result<ContactList> parsed = ParseVCards(card.vcard);
    if (parsed.ok() && !parsed->empty()) from_vcard = parsed->front();
  }
  std::string name = card.display_name;
  if (name.empty()) name = Joined(card.first_name, card.last_name);
  if (name.empty()) name = card.nickname;
  if (name.empty() && from_vcard) name = from_vcard->name;
  if (name.empty() || HasControlCharacter(name)) return;

  std::vector<std::string> addresses;
  for (const std::string* address : {&card.primary_email, &card.second_email}) {
    if (!address->empty() &&
        std::find(addresses.begin(), addresses.end(), *address) == addresses.end()) {
      addresses.push_back(*address);
    }
  }
  if (addresses.empty() && from_vcard) addresses.push_back(from_vcard->address);
  for (const std::string& address : addresses) {
    if (HasControlCharacter(address)) continue;
    out.push_back(Contact{name, address});
  }
}

bool ComesBefore(const Contact& a, const Contact& b) {
  const std::string name_a = AsciiLower(a.name);
  const std::string name_b = AsciiLower(b.name);
  if (name_a != name_b) return name_a < name_b;
  return a.address < b.address;
}

}  // namespace

std::vector<std::string> ThunderbirdHomes(const std::string& home) {
  return {JoinPath(home, ".thunderbird"),
          JoinPath(home, ".var/app/org.mozilla.Thunderbird/.thunderbird"),
          JoinPath(home, "snap/thunderbird/common/.thunderbird")};
}

Result<std::string> DefaultThunderbirdProfile() {
  Result<std::string> home = HomeDir();
  if (!home.ok()) return home.error();
  for (const std::string& folder : ThunderbirdHomes(*home)) {
    Result<std::string> ini = ReadForeignFile(JoinPath(folder, "profiles.ini"), kMaxIniBytes);
    if (!ini.ok()) continue;
    for (const IniProfile& profile : ProfilesFromIni(*ini, folder)) {
      if (profile.is_default) return profile.folder;
    }
  }
  return Error(err::kFileNotFound);
}

Result<ContactList> ReadThunderbirdAddressBook(const std::string& database_path) {
  Result<SqliteSnapshot> db = SqliteSnapshot::Open(database_path, kMaxAddressBookBytes);
  if (!db.ok()) return db.error();
  // Cards in the order they were first written; a card's properties may be spread anywhere.
  std::map<std::string, size_t, std::less<>> index;
  std::vector<Card> cards;
  const Error read = db->ForEachRow(
      "SELECT card, name, value FROM properties WHERE name IN "
      "('DisplayName', 'FirstName', 'LastName', 'NickName', 'PrimaryEmail', 'SecondEmail', "
      "'_vCard') ORDER BY rowid",
      [&](const SqliteRow& row) {
        const std::string_view id = row.Text(0);
        auto it = index.find(id);
        if (it == index.end()) {
          it = index.emplace(std::string(id), cards.size()).first;
          cards.emplace_back();
        }
        Take(cards[it->second], row.Text(1), row.Text(2));
        return true;
      });
  if (read) return read;
  ContactList contacts;
  for (const Card& card : cards) AddContacts(card, contacts);
  std::stable_sort(contacts.begin(), contacts.end(), ComesBefore);
  return contacts;
}

Result<ContactList> ReadDefaultThunderbirdAddressBook() {
  Result<std::string> profile = DefaultThunderbirdProfile();
  if (!profile.ok()) return profile.error();
  return ReadThunderbirdAddressBook(JoinPath(*profile, kAddressBookFile));
}

}  // namespace tw
