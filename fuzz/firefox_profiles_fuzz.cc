// Feeds arbitrary bytes to the profiles.ini reader: every profile it lists has a folder, and
// where there are profiles one of them is the default.
#include <cstdint>
#include <string_view>

#include "browser/firefox_profiles.h"
#include "fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<tw::IniProfile> profiles =
      tw::ProfilesFromIni(text, "/home/user/.mozilla/firefox");
  bool any_default = false;
  for (const tw::IniProfile& p : profiles) {
    Check(!p.folder.empty());
    any_default = any_default || p.is_default;
  }
  // When there are profiles, the browser starts with one of them.
  Check(profiles.empty() || any_default);
  return 0;
}
