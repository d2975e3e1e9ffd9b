// Feeds arbitrary bytes to the decryption of Chromium cookie values, as a damaged or foreign
// database would hand them over: no value comes out that a cookie could not hold.
#include <cstdint>
#include <string_view>

#include "browser/chromium_crypto.h"
#include "foundation/ascii.h"
#include "fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const tw::ChromiumKeys keys = tw::MakeChromiumKeys(std::string("fuzz"));
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (std::optional<std::string> value = tw::DecryptChromiumValue(bytes, keys, "x.org", false)) {
    Check(!tw::HasControlCharacter(*value));
  }
  (void)tw::DecryptChromiumValue(bytes, keys, "x.org", true);
  return 0;
}
