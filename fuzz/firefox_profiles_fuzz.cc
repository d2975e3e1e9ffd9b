// Feeds arbitrary bytes to the profiles.ini reader.
#include <cstdint>
#include <string_view>

#include "fuzz_target.h"
#include "platform/firefox_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)tw::DefaultProfileFromIni(text, "/home/user/.mozilla/firefox");
  return 0;
}
