// Feeds arbitrary bytes to the settings file parser. The text must come back unchanged, and an edit
// must change the value it names and nothing else that was readable.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_target.h"
#include "platform/settings_file.h"

namespace {

constexpr std::string_view kKey = "SOFTWARE\\Orvanta\\Tidewell\\Options";
constexpr std::string_view kOther = "SOFTWARE\\Orvanta\\Tidewell";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tw::SettingsDocument document = tw::SettingsDocument::Parse(text);
  const std::string serialized = document.Serialize();
  Check(serialized == text || serialized == std::string(text) + "\n");

  const auto other_before = document.Values(kOther);
  const auto key_before = document.Values(kKey);
  (void)document.Subkeys(kOther);

  const tw::SettingsValue timeout = tw::SettingsValue::Dword("Timeout", 0x1e);
  const tw::SettingsValue folder = tw::SettingsValue::String("PDB", "/a \"b\" \\c");
  document.Set(kKey, timeout);
  document.Set(kKey, folder);
  const tw::SettingsDocument again = tw::SettingsDocument::Parse(document.Serialize());
  Check(again.Find(kKey, "timeout") == timeout);
  Check(again.Find(kKey, "pdb") == folder);
  Check(again.Values(kOther) == other_before);
  for (const tw::SettingsValue& value : key_before) {
    if (value.name == "Timeout" || value.name == "PDB") continue;
    const auto found = again.Find(kKey, value.name);
    // A same-named value may differ only in case from one that was overwritten.
    Check(found.has_value());
  }

  tw::SettingsDocument deleted = again;
  (void)deleted.Delete(kKey, "TIMEOUT");
  Check(!tw::SettingsDocument::Parse(deleted.Serialize()).Find(kKey, "Timeout"));
  return 0;
}
