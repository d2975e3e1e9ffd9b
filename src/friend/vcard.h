// The vCard reader: the contacts of a vCard file (versions 2.1, 3.0 and 4.0), as an address
// book exports them, for Tell a Friend's import.
//
// A file may hold several cards. Folded lines are unfolded (3.0 and 4.0 drop the blank that
// begins a continuation line; 2.1 keeps it), quoted-printable values are decoded (with their
// soft line breaks), 2.1's CHARSET is honoured for the Western code pages, and text that is
// not UTF-8 is read as Windows-1252, so every name and address handed out is UTF-8. Group
// prefixes ("item1.EMAIL") and parameters in any of the three versions' forms are understood;
// cards embedded in a 2.1 AGENT property are passed over.
//
// Each card gives at most one contact: its name (FN, else the parts of N, else NICKNAME, else
// ORG) and its preferred Internet e-mail address (PREF, or the first; X.400 and other
// non-Internet kinds are passed over; an "SMTP:" or "mailto:" prefix is removed). A card
// without a name or without an address gives none.
//
// The input is untrusted: the file is capped at kMaxVCardFileBytes and the contacts at
// kMaxVCardContacts, the parse is one forward pass without recursion. Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "friend/contact.h"
#include "platform/error.h"

namespace tw {

inline constexpr uint64_t kMaxVCardFileBytes = 64ull << 20;
inline constexpr size_t kMaxVCardContacts = 100000;

// The contacts of the cards in the text, in file order. Fails with 13 when the text holds no
// card at all, and with 8 when it holds more than kMaxVCardContacts contacts.
Result<ContactList> ParseVCards(std::string_view text);

// ParseVCards on a file; fails with 2 when it is missing, 8 when it is larger than
// kMaxVCardFileBytes.
Result<ContactList> ReadVCardFile(const std::string& path);

}  // namespace tw
