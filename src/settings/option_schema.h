// The option schema: each value of the options key with its type, default, the range a user may
// set and the clamp the options reader applies, in one table that the options reader, the
// command line, the service and the UI all use; and for a user, what is stored and what is in
// effect. Constant data and pure functions over a settings store; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "platform/settings_file.h"
#include "platform/settings_store.h"

namespace tw {

enum class OptionKind {
  kNumber,    // a DWORD from `min` to `max`
  kFlag,      // a DWORD, 0 or 1 (on, off, yes, no, true and false are taken too)
  kInterval,  // a DWORD: 0 none, 1 minutes, 2 hours (or those words)
  kFolder,    // a string: an existing folder, stored as its absolute path
};

struct OptionDefinition {
  std::string_view name;
  OptionKind kind;
  uint32_t min = 0;
  uint32_t max = UINT32_MAX;
  uint32_t default_value = 0;  // what applies when nothing is stored (a folder: the documents')
  std::string_view meaning;
  // A number below it is taken as it (a time-out of 0 is 1 second); defaults to `min`.
  uint32_t least_in_effect = 0;
};

// A number option as everyone reads it, the options reader and the settings the UI shows alike:
// the default when it is missing or of the other type, and a value out of range clamped into
// min to max (a stored 101 where 100 is the most is 100, never the default).
uint32_t ReadNumberOption(const SettingsKey& key, const OptionDefinition& definition);
// A number as the options reader takes it: within least_in_effect (or min) and max.
uint32_t ClampToEffect(const OptionDefinition& definition, uint32_t value);

// Every checking option, in the order the options reader reads them.
std::span<const OptionDefinition> CheckingOptionDefinitions();
// The option of that name, letter case aside; nullptr when there is none.
const OptionDefinition* FindOptionDefinition(std::string_view name);

// A page folder set through the options leaves room for titles of at least this many bytes.
inline constexpr size_t kMinTitleRoom = 6;

struct OptionState {
  const OptionDefinition* definition = nullptr;
  std::optional<SettingsValue> stored;  // nullopt when the value is not set
  bool stored_type_ok = true;           // false when the stored value is of the other type
  std::string in_effect;                // the value the system uses, in words
};

// The state of every option. Fails only when the settings store cannot be read.
Result<std::vector<OptionState>> DescribeOptions(const SettingsStore& store);

// The value to store for the text, or a sentence that says what is wrong with the text.
struct ParsedOption {
  std::optional<SettingsValue> value;
  std::string problem;
};
ParsedOption ParseOptionValue(const OptionDefinition& definition, std::string_view text);

// Text for a stored value, as a user would type it back.
std::string StoredValueText(const SettingsValue& value);

}  // namespace tw
