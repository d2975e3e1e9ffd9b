// Feeds arbitrary bytes to the readers of Chromium's Local State (the profiles) and Preferences
// (home page, history length).
#include <cstdint>
#include <string_view>

#include "browser/browser_settings.h"
#include "browser/json_input.h"
#include "browser/profiles.h"
#include "fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tw::Result<std::vector<tw::LocalStateProfile>> profiles = tw::ProfilesFromLocalState(text);
  if (profiles.ok()) {
    // A profile folder never leads out of the browser's own folder.
    for (const tw::LocalStateProfile& p : *profiles) {
      Check(!p.folder_name.empty() && p.folder_name.find('/') == std::string::npos &&
            p.folder_name != "." && p.folder_name != "..");
    }
  }
  tw::Result<nlohmann::json> preferences = tw::ParseJsonInput(text);
  if (preferences.ok()) {
    Check(!tw::ChromiumStartPages(*preferences).empty());
    (void)tw::ChromiumHistoryDays(*preferences);
  }
  return 0;
}
