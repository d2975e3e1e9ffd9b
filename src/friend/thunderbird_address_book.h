// The mail program's address book on Linux: the personal address book (abook.sqlite) of the
// default Thunderbird profile, for Tell a Friend's "Import MAPI".
//
// The database is read from a private copy (SqliteSnapshot), so a running Thunderbird, which
// holds it open in write-ahead-log mode, notices nothing; what it wrote to its log but has not
// yet folded into the database is read too. Cards are rows of the properties table (card, name,
// value); a card's name is its DisplayName, else FirstName and LastName, else NickName, else
// the name in its vCard (_vCard); its addresses are PrimaryEmail and SecondEmail, else the
// vCard's. Mailing lists are passed over.
//
// Any thread; each call does its own file work.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "friend/contact.h"
#include "platform/error.h"

namespace tw {

// A larger address book is not read.
inline constexpr uint64_t kMaxAddressBookBytes = 256ull << 20;

// The folders that may hold Thunderbird's profiles.ini, most usual first: ~/.thunderbird, then
// those of its Flatpak and Snap packages.
std::vector<std::string> ThunderbirdHomes(const std::string& home);

// The default profile of the first of those folders whose profiles.ini names one; 2 when none
// does.
Result<std::string> DefaultThunderbirdProfile();

// One contact per card and address, sorted by name (ASCII letters folded), then by address.
// Fails with 2 when the file is missing, 8 when it is too large, 13 when it is no address book.
Result<ContactList> ReadThunderbirdAddressBook(const std::string& database_path);

// The address book of the default profile.
Result<ContactList> ReadDefaultThunderbirdAddressBook();

}  // namespace tw
