// Feeds arbitrary bytes to the reader of Firefox's prefs.js, and what it read to the home page
// and history length rules.
#include <cstdint>
#include <string_view>

#include "browser/browser_settings.h"
#include "fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tw::FirefoxPrefs prefs;
  prefs.Read(text);
  Check(prefs.size() <= tw::kMaxFirefoxPrefs);
  for (const std::string& page : tw::FirefoxStartPages(prefs)) Check(!page.empty());
  (void)tw::FirefoxHistoryDays(prefs);
  return 0;
}
