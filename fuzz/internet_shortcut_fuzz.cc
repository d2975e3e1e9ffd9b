// Feeds arbitrary bytes to the Internet shortcut reader: an address it finds is one that could
// have been read whole.
#include <cstdint>
#include <string_view>

#include "browser/bookmarks.h"
#include "fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<std::string> address = tw::ShortcutAddress(text);
  if (address) {
    Check(address->size() >= 2 && address->size() <= tw::kMaxShortcutAddressLength);
    Check(address->find('\0') == std::string::npos);
    Check(address->find('\n') == std::string::npos);
  }
  return 0;
}
