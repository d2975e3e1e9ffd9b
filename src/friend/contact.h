// A person taken from an address book (a vCard file, the mail program's address book): a name
// and one e-mail address, both UTF-8 and neither empty.
#pragma once

#include <string>
#include <vector>

namespace tw {

struct Contact {
  std::string name;
  std::string address;
  bool operator==(const Contact&) const = default;
};

using ContactList = std::vector<Contact>;

}  // namespace tw
