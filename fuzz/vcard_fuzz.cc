// Feeds arbitrary bytes to the vCard reader. Whatever it reads, every contact it hands out has a
// name and an address of valid UTF-8 without line breaks, so the UI and the settings store can
// take them as they are.
#include <cstdint>
#include <string_view>

#include "foundation/ascii.h"
#include "foundation/utf8.h"
#include "friend/vcard.h"
#include "fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tw::Result<tw::ContactList> contacts = tw::ParseVCards(text);
  if (!contacts.ok()) return 0;
  Check(contacts->size() <= tw::kMaxVCardContacts);
  for (const tw::Contact& contact : *contacts) {
    Check(!contact.name.empty() && !contact.address.empty());
    Check(tw::IsValidUtf8(contact.name) && tw::IsValidUtf8(contact.address));
    Check(!tw::HasControlCharacter(contact.name) && !tw::HasControlCharacter(contact.address));
  }
  return 0;
}
