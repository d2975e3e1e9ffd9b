#include "settings/user_settings.h"

#include <algorithm>

#include "foundation/ascii.h"
#include "resources/strings.h"
#include "settings/checking_options.h"
#include "settings/option_schema.h"

namespace tw {
namespace {

constexpr uint32_t kMaxViewMode = 3;
constexpr uint32_t kMaxSmartHistoryMode = 2;
constexpr uint32_t kMaxColumnWidth = 10000;
constexpr uint32_t kMaxTimeoutSeconds = 300;
constexpr uint32_t kMaxScheduleMinutes = 59;
constexpr uint32_t kMaxScheduleHours = 23;
constexpr uint32_t kSecondsPerMinute = 60;
constexpr uint32_t kIntervalNone = 0;
constexpr uint32_t kIntervalMinutes = 1;
constexpr uint32_t kIntervalHours = 2;

using T = SettingType;

SettingDefinition Flag(std::string_view name, std::optional<uint32_t> default_value,
                       bool host_only = false) {
  return SettingDefinition{name, T::kFlag, 0, 1, default_value, host_only};
}

SettingDefinition Number(std::string_view name, uint32_t min, uint32_t max,
                         std::optional<uint32_t> default_value, uint32_t shown_unit = 1) {
  return SettingDefinition{name, T::kNumber, min, max, default_value, false, shown_unit};
}

const std::vector<SettingDefinition>& Definitions() {
  static const std::vector<SettingDefinition> kDefinitions = {
      Flag(setting::kFirstRun, 0),
      Flag(setting::kRunBkg, 1),
      Flag(setting::kConfirmAC, 1),
      Flag(setting::kPageNotify, 1),
      // The options sheet shows re-notification on when nothing is stored.
      Flag(option::kPageReNotify, 1),
      Flag(setting::kLastUpdateColumn, 1),
      Flag(setting::kUpdateSort, 1),
      Flag(setting::kTaskPad, 1, /*host_only=*/true),
      Flag(setting::kLargeTB, 0),
      Flag(setting::kLargeTBIE, 0),
      Flag(setting::kTBText, 0),
      Flag(setting::kTBIEText, 0),
      Number(setting::kViewMode, 0, kMaxViewMode, 0),
      Number(setting::kViewModeIE, 0, kMaxViewMode, 1),
      Number(setting::kAutoSH, 0, kMaxSmartHistoryMode, 0),
      Number(setting::kPageColSize, 0, kMaxColumnWidth, std::nullopt),
      Number(setting::kBandPageColSize, 0, kMaxColumnWidth, std::nullopt),
      Number(setting::kLUColSize, 0, kMaxColumnWidth, std::nullopt),
      Number(setting::kBandLUColSize, 0, kMaxColumnWidth, std::nullopt),
      Flag(setting::kTaskPane0, std::nullopt),
      Flag(setting::kTaskPane1, std::nullopt),
      Flag(setting::kTaskPane2, std::nullopt),
      Number(option::kInterval, kIntervalNone, kIntervalHours, kIntervalNone),
      // Its range depends on Interval (PrepareUserSettings).
      Number(option::kIntervalValue, 0, kMaxScheduleMinutes, 0),
      Number(option::kTimeout, 0, kMaxTimeoutSeconds, kDefaultTimeoutMs / 1000),
      Number(option::kThreads, 1, kMaxPoolSize, 1),
      Flag(option::kEnableSmartUpdate, 1),
      Number(option::kNoc, 0, kMaxCheckCount, 0),
      Number(option::kCheckWait, 0, kMaxCheckWaitSeconds, 0, kSecondsPerMinute),
      Flag(option::kIgnoreLastMod, 0),
      Flag(option::kIgnoreExpire, 0),
      Number(option::kKeepVersions, 0, kMaxKeptVersions, kDefaultKeptVersions),
      SettingDefinition{option::kPdb, T::kText, 0, kMaxPageFolderSetting, std::nullopt},
  };
  return kDefinitions;
}

// The range of IntervalValue for an Interval: none takes 0, minutes 1 to 59, hours 1 to 23.
std::pair<uint32_t, uint32_t> ScheduleRange(uint32_t interval) {
  if (interval == kIntervalMinutes) return {1, kMaxScheduleMinutes};
  if (interval == kIntervalHours) return {1, kMaxScheduleHours};
  return {0, 0};
}

std::optional<SettingsValue> InForce(const SettingDefinition& definition, const SettingsKey& key) {
  if (definition.type == T::kText) {
    Result<std::string> text = key.ReadString(definition.name);
    if (text.ok() && !text->empty())
      return SettingsValue::String(std::string(definition.name), *text);
    return std::nullopt;
  }
  const OptionDefinition* checking = FindOptionDefinition(definition.name);
  if (checking && checking->kind == OptionKind::kNumber) {
    // A checking option shows what the options reader takes, in range or not (IntervalValue's
    // range depends on Interval: any number is read as stored).
    return SettingsValue::Dword(std::string(definition.name), ReadNumberOption(key, *checking));
  }
  Result<uint32_t> stored = key.ReadDword(definition.name);
  if (stored.ok() && definition.type == T::kFlag) {
    // A flag is on when it is not 0.
    return SettingsValue::Dword(std::string(definition.name), *stored != 0 ? 1 : 0);
  }
  const bool in_range = stored.ok() && *stored >= definition.min && *stored <= definition.max;
  if (in_range) return SettingsValue::Dword(std::string(definition.name), *stored);
  if (!definition.default_value) return std::nullopt;
  return SettingsValue::Dword(std::string(definition.name), *definition.default_value);
}

SettingProblem ProblemOf(SettingProblem::Kind kind, const SettingDefinition& definition) {
  SettingProblem problem;
  problem.kind = kind;
  problem.name = std::string(definition.name);
  return problem;
}

SettingProblem OutOfRange(const SettingDefinition& definition, uint32_t min, uint32_t max) {
  SettingProblem problem = ProblemOf(SettingProblem::Kind::kOutOfRange, definition);
  problem.min = min / definition.shown_unit;
  problem.max = max / definition.shown_unit;
  return problem;
}

// The value as it is to be stored, or why it cannot be.
std::optional<SettingProblem> Prepare(const SettingDefinition& definition, SettingsValue& value,
                                      uint32_t interval) {
  value.name = std::string(definition.name);
  if (definition.type == T::kText) {
    if (value.type != SettingsType::kString) {
      return ProblemOf(SettingProblem::Kind::kWrongType, definition);
    }
    if (value.text.size() > definition.max) {
      return ProblemOf(SettingProblem::Kind::kTooLong, definition);
    }
    const ParsedOption parsed =
        ParseOptionValue(*FindOptionDefinition(definition.name), value.text);
    if (!parsed.value) {
      SettingProblem problem = ProblemOf(SettingProblem::Kind::kInvalidValue, definition);
      problem.sentence = parsed.problem;
      return problem;
    }
    value.text = parsed.value->text;
    return std::nullopt;
  }
  if (value.type != SettingsType::kDword) {
    return ProblemOf(SettingProblem::Kind::kWrongType, definition);
  }
  uint32_t min = definition.min, max = definition.max;
  if (definition.name == option::kIntervalValue) std::tie(min, max) = ScheduleRange(interval);
  if (value.dword < min || value.dword > max) return OutOfRange(definition, min, max);
  return std::nullopt;
}

}  // namespace

std::string SoundKey() {
  return std::string(LoadString(str::kSoundSchemeKey)) + "\\TWUP\\.current";
}

std::span<const SettingDefinition> UserSettingDefinitions() { return Definitions(); }

const SettingDefinition* FindUserSetting(std::string_view name) {
  for (const SettingDefinition& definition : Definitions()) {
    if (EqualsIgnoreCase(definition.name, name)) return &definition;
  }
  return nullptr;
}

Result<std::vector<SettingsValue>> LoadUserSettings(const SettingsStore& store) {
  Result<SettingsKey> key = store.OpenKey(OptionsKey());
  if (!key.ok() && key.error().code() != err::kFileNotFound) return key.error();
  const SettingsKey values = key.ok() ? *key : SettingsKey();
  std::vector<SettingsValue> in_force;
  for (const SettingDefinition& definition : Definitions()) {
    if (std::optional<SettingsValue> value = InForce(definition, values)) {
      in_force.push_back(std::move(*value));
    }
  }
  return in_force;
}

PreparedSettings PrepareUserSettings(const SettingsStore& store, WindowSetting setting,
                                     std::vector<SettingsValue> values) {
  PreparedSettings prepared;
  // IntervalValue is checked against the Interval it will be stored with.
  uint32_t interval = kIntervalNone;
  if (Result<uint32_t> stored = store.ReadDword(OptionsKey(), option::kInterval); stored.ok()) {
    interval = *stored;
  }
  for (const SettingsValue& value : values) {
    if (EqualsIgnoreCase(value.name, option::kInterval) && value.type == SettingsType::kDword) {
      interval = value.dword;
    }
  }
  for (SettingsValue& value : values) {
    const SettingDefinition* definition = FindUserSetting(value.name);
    if (!definition) {
      SettingProblem problem;
      problem.kind = SettingProblem::Kind::kUnknownName;
      problem.name = value.name;
      prepared.problem = problem;
      return prepared;
    }
    if (std::optional<SettingProblem> problem = Prepare(*definition, value, interval)) {
      prepared.problem = std::move(problem);
      return prepared;
    }
    if (definition->host_only && setting != WindowSetting::kHost) continue;
    prepared.values.push_back(std::move(value));
  }
  return prepared;
}

Error SaveUserSettings(const SettingsStore& store, const std::vector<SettingsValue>& values) {
  if (values.empty()) return Error();
  return store.WriteValues(OptionsKey(), values);
}

bool IsFirstRun(const SettingsStore& store) {
  Result<uint32_t> first_run = store.ReadDword(OptionsKey(), setting::kFirstRun);
  return !first_run.ok() || *first_run == 0;
}

}  // namespace tw
