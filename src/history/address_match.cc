#include "history/address_match.h"

#include "foundation/ascii.h"

namespace tw {
namespace {

bool EndsWithSlash(std::string_view text) { return !text.empty() && text.back() == '/'; }

}  // namespace

bool SameAddress(std::string_view a, std::string_view b) {
  if (EqualsIgnoreCase(a, b)) return true;
  if (EndsWithSlash(a) == EndsWithSlash(b)) return false;
  // Only the "/" may differ: the longer one is the shorter one and its slash.
  if (EndsWithSlash(a)) a.remove_suffix(1);
  if (EndsWithSlash(b)) b.remove_suffix(1);
  return EqualsIgnoreCase(a, b);
}

std::string AddressKey(std::string_view address) {
  if (EndsWithSlash(address)) address.remove_suffix(1);
  return AsciiLower(address);
}

}  // namespace tw
