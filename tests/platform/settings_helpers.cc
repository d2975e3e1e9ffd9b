// Test helper commands that write the settings store as another process would.
#include <string>

#include "platform/settings_store.h"
#include "support/helper_commands.h"

namespace tw::test {
namespace {

// settings-write-many STORE KEY PREFIX COUNT: writes the DWORD values PREFIX0..PREFIX<COUNT-1>,
// value i being i; exit 0 when every write succeeded.
HelperCommand write_many("settings-write-many", [](const std::vector<std::string>& args) {
  if (args.size() != 4) return 2;
  const SettingsStore store(args[0]);
  const int count = std::stoi(args[3]);
  SayReady();
  for (int i = 0; i < count; ++i) {
    if (store.WriteDword(args[1], args[2] + std::to_string(i), static_cast<uint32_t>(i))) return 1;
  }
  return 0;
});

// settings-set-string STORE KEY NAME TEXT: one string value; exit 0 on success.
HelperCommand set_string("settings-set-string", [](const std::vector<std::string>& args) {
  if (args.size() != 4) return 2;
  return SettingsStore(args[0]).WriteString(args[1], args[2], args[3]).ok() ? 0 : 1;
});

// settings-set-dword STORE KEY NAME VALUE: one DWORD value; exit 0 on success.
HelperCommand set_dword("settings-set-dword", [](const std::vector<std::string>& args) {
  if (args.size() != 4) return 2;
  const auto value = static_cast<uint32_t>(std::stoul(args[3]));
  return SettingsStore(args[0]).WriteDword(args[1], args[2], value).ok() ? 0 : 1;
});

}  // namespace
}  // namespace tw::test
