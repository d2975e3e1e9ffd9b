#include "settings/option_schema.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "foundation/ascii.h"
#include "platform/file_system.h"
#include "platform/user_dirs.h"
#include "resources/strings.h"
#include "settings/checking_options.h"

namespace tw {
namespace {

constexpr std::array kDefinitions = {
    OptionDefinition{option::kInterval, OptionKind::kInterval, 0, 2, 0,
                     "unit of the online schedule"},
    OptionDefinition{option::kIntervalValue, OptionKind::kNumber, 0, UINT32_MAX, 0,
                     "schedule units between online checks; 0 switches the schedule off"},
    OptionDefinition{option::kTimeout, OptionKind::kNumber, 0, 300, kDefaultTimeoutMs / 1000,
                     "network time-out in seconds (0 is taken as 1)", 1},
    OptionDefinition{option::kThreads, OptionKind::kNumber, 1, kMaxPoolSize, 1,
                     "pages fetched at the same time"},
    OptionDefinition{option::kEnableSmartUpdate, OptionKind::kFlag, 0, 1, 1,
                     "new pages use Smart Update"},
    OptionDefinition{option::kNoc, OptionKind::kNumber, 0, kMaxCheckCount, 0,
                     "Smart Update check count of new pages"},
    OptionDefinition{option::kCheckWait, OptionKind::kNumber, 0, kMaxCheckWaitSeconds, 0,
                     "Smart Update last-check wait of new pages, in seconds"},
    OptionDefinition{option::kPdb, OptionKind::kFolder, 0, 0, 0, "the page folder"},
    OptionDefinition{option::kIgnoreLastMod, OptionKind::kFlag, 0, 1, 0,
                     "new pages ignore the server's Last-Modified time"},
    OptionDefinition{option::kIgnoreExpire, OptionKind::kFlag, 0, 1, 0,
                     "new pages ignore the server's Expires time"},
    OptionDefinition{option::kPageReNotify, OptionKind::kFlag, 0, 1, 0,
                     "an updated page that changes again is announced again"},
    OptionDefinition{option::kKeepVersions, OptionKind::kNumber, 0, kMaxKeptVersions,
                     kDefaultKeptVersions,
                     "earlier versions kept of each page, to show what changed; 0 keeps none"},
};

struct Word {
  std::string_view text;
  uint32_t value;
};
constexpr Word kFlagWords[] = {{"on", 1}, {"off", 0},  {"yes", 1},
                               {"no", 0}, {"true", 1}, {"false", 0}};
// 0 is a valid Interval but no word of its own: it is read as hours.
constexpr Word kIntervalWords[] = {{"minutes", 1}, {"hours", 2}};

std::optional<uint32_t> ParseDecimal(std::string_view text) {
  uint32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || stop != end) return std::nullopt;
  return value;
}

template <size_t N>
std::optional<uint32_t> ParseWord(std::string_view text, const Word (&words)[N]) {
  for (const Word& word : words) {
    if (EqualsIgnoreCase(text, word.text)) return word.value;
  }
  return std::nullopt;
}

std::string OnOff(bool on) { return on ? "on" : "off"; }

// The options as a check uses them. Without an options key the defaults apply: a page database
// that finds the page folder stores PDB, so the key exists when its options are read.
CheckingOptions OptionsInEffect(const SettingsStore& store) {
  Result<CheckingOptions> read = ReadCheckingOptions(store);
  return read.ok() ? *read : CheckingOptions{};
}

std::string InEffect(const OptionDefinition& definition, const CheckingOptions& o) {
  const std::string_view name = definition.name;
  const std::string unit = o.interval == 1 ? "minutes" : "hours";
  if (name == option::kInterval) return unit;
  if (name == option::kIntervalValue) {
    if (o.intervalValue == 0) return "0 (no online schedule)";
    return "every " + std::to_string(o.intervalValue) + " " + unit;
  }
  if (name == option::kTimeout) return std::to_string(o.timeoutMs / 1000) + " seconds";
  if (name == option::kThreads) return std::to_string(o.threads);
  if (name == option::kEnableSmartUpdate) return OnOff(o.newPage.smartUpdate);
  if (name == option::kNoc) return std::to_string(o.newPage.checkCount);
  if (name == option::kCheckWait) return std::to_string(o.newPage.waitSeconds) + " seconds";
  if (name == option::kIgnoreLastMod) return OnOff(o.newPage.ignoreLastModified);
  if (name == option::kIgnoreExpire) return OnOff(o.newPage.ignoreExpires);
  if (name == option::kPageReNotify) return OnOff(o.pageReNotify);
  if (name == option::kKeepVersions) return std::to_string(o.keepVersions);
  if (name == option::kPdb) {
    if (!o.pdb.empty()) return o.pdb;
    Result<std::string> documents = DocumentsDir();
    if (!documents.ok()) return "(no documents folder)";
    return *documents + std::string(LoadString(str::kPageFolderName)) + " (default)";
  }
  return "";
}

std::string Range(const OptionDefinition& definition) {
  return "a whole number from " + std::to_string(definition.min) + " to " +
         std::to_string(definition.max);
}

ParsedOption Problem(const OptionDefinition& definition, std::string text) {
  ParsedOption parsed;
  parsed.problem = std::string(definition.name) + " " + std::move(text);
  return parsed;
}

ParsedOption Dword(const OptionDefinition& definition, uint32_t value) {
  ParsedOption parsed;
  parsed.value = SettingsValue::Dword(std::string(definition.name), value);
  return parsed;
}

ParsedOption ParseFolder(const OptionDefinition& definition, std::string_view text) {
  if (text.empty()) return Problem(definition, "takes the path of an existing folder.");
  Result<std::string> path = RealPath(std::string(text));
  if (!path.ok())
    return Problem(definition, "takes the path of an existing folder: '" + std::string(text) +
                                   "' cannot be found.");
  Result<FileInfo> info = GetFileInfo(*path);
  if (!info.ok() || !info->is_directory) {
    return Problem(definition, "takes the path of a folder: '" + *path + "' is not one.");
  }
  if (MaxTitleLength(*path) < kMinTitleRoom) {
    return Problem(definition, "takes a folder path of at most " +
                                   std::to_string(MaxTitleLength("") - kMinTitleRoom) +
                                   " bytes, so that page titles still fit.");
  }
  if (!IsValidSettingsText(*path)) {
    return Problem(definition, "cannot store a path that holds a line break.");
  }
  ParsedOption parsed;
  parsed.value = SettingsValue::String(std::string(definition.name), *path);
  return parsed;
}

}  // namespace

std::span<const OptionDefinition> CheckingOptionDefinitions() { return kDefinitions; }

uint32_t ReadNumberOption(const SettingsKey& key, const OptionDefinition& definition) {
  Result<uint32_t> value = key.ReadDword(definition.name);
  return std::clamp(value.ok() ? *value : definition.default_value, definition.min, definition.max);
}

uint32_t ClampToEffect(const OptionDefinition& definition, uint32_t value) {
  return std::clamp(value, std::max(definition.min, definition.least_in_effect), definition.max);
}

const OptionDefinition* FindOptionDefinition(std::string_view name) {
  for (const OptionDefinition& definition : kDefinitions) {
    if (EqualsIgnoreCase(definition.name, name)) return &definition;
  }
  return nullptr;
}

Result<std::vector<OptionState>> DescribeOptions(const SettingsStore& store) {
  Result<SettingsKey> key = store.OpenKey(OptionsKey());
  if (!key.ok() && key.error().code() != err::kFileNotFound) return key.error();
  const CheckingOptions in_effect = OptionsInEffect(store);
  std::vector<OptionState> states;
  for (const OptionDefinition& definition : kDefinitions) {
    OptionState state;
    state.definition = &definition;
    if (key.ok()) {
      for (const SettingsValue& value : key->values()) {
        if (!EqualsIgnoreCase(value.name, definition.name)) continue;
        state.stored = value;
        const SettingsType expected =
            definition.kind == OptionKind::kFolder ? SettingsType::kString : SettingsType::kDword;
        state.stored_type_ok = value.type == expected;
      }
    }
    state.in_effect = InEffect(definition, in_effect);
    states.push_back(std::move(state));
  }
  return states;
}

ParsedOption ParseOptionValue(const OptionDefinition& definition, std::string_view text) {
  switch (definition.kind) {
    case OptionKind::kFolder:
      return ParseFolder(definition, text);
    case OptionKind::kFlag: {
      std::optional<uint32_t> value = ParseWord(text, kFlagWords);
      if (!value) value = ParseDecimal(text);
      if (!value || *value > 1) return Problem(definition, "takes 1 (on) or 0 (off).");
      return Dword(definition, *value);
    }
    case OptionKind::kInterval: {
      std::optional<uint32_t> value = ParseWord(text, kIntervalWords);
      if (!value) value = ParseDecimal(text);
      if (!value || *value > definition.max) {
        return Problem(definition,
                       "takes 1 (minutes) or 2 (hours); 0 is read as hours. To switch the "
                       "schedule off, set IntervalValue to 0.");
      }
      return Dword(definition, *value);
    }
    case OptionKind::kNumber: {
      const std::optional<uint32_t> value = ParseDecimal(text);
      if (!value || *value < definition.min || *value > definition.max) {
        return Problem(definition, "takes " + Range(definition) + ".");
      }
      return Dword(definition, *value);
    }
  }
  return Problem(definition, "cannot be set.");
}

std::string StoredValueText(const SettingsValue& value) {
  return value.type == SettingsType::kDword ? std::to_string(value.dword) : value.text;
}

}  // namespace tw
