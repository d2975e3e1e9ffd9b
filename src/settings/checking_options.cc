#include "settings/checking_options.h"

#include <algorithm>

#include "resources/strings.h"
#include "settings/option_schema.h"

namespace tw {
namespace {

// What a page file's path holds besides folder and title: the separator, ".twp" and the
// terminating zero.
constexpr size_t kPathRoomForTitle = kMaxPathLength - 1 - 4 - 1;

const OptionDefinition& Definition(std::string_view name) { return *FindOptionDefinition(name); }

// A number option as read everywhere, then as it takes effect (a time-out of 0 is 1 second).
uint32_t NumberOf(const SettingsKey& key, std::string_view name) {
  const OptionDefinition& definition = Definition(name);
  return ClampToEffect(definition, ReadNumberOption(key, definition));
}

bool FlagOf(const SettingsKey& key, std::string_view name) {
  Result<uint32_t> value = key.ReadDword(name);
  return value.ok() ? *value > 0 : Definition(name).default_value != 0;
}

}  // namespace

std::string_view OptionsKey() { return LoadString(str::kOptionsKey); }

size_t MaxTitleLength(std::string_view folder) {
  return folder.size() >= kPathRoomForTitle ? 0 : kPathRoomForTitle - folder.size();
}

bool FitsInPath(std::string_view path) { return path.size() < kMaxPathLength; }

Result<CheckingOptions> ReadCheckingOptions(const SettingsStore& store) {
  Result<SettingsKey> key = store.OpenKey(OptionsKey());
  if (!key.ok()) return key.error();
  CheckingOptions options;
  // Any unit but minutes is read as hours, so the unit is taken as stored.
  Result<uint32_t> interval = key->ReadDword(option::kInterval);
  options.interval = interval.ok() ? *interval : Definition(option::kInterval).default_value;
  options.intervalValue = NumberOf(*key, option::kIntervalValue);
  options.timeoutMs = NumberOf(*key, option::kTimeout) * 1000;
  options.threads = NumberOf(*key, option::kThreads);
  options.newPage.smartUpdate = FlagOf(*key, option::kEnableSmartUpdate);
  options.newPage.checkCount = static_cast<uint16_t>(NumberOf(*key, option::kNoc));
  options.newPage.waitSeconds = static_cast<uint16_t>(NumberOf(*key, option::kCheckWait));
  Result<std::string> pdb = key->ReadString(option::kPdb);
  if (pdb.ok() && !pdb->empty() && FitsInPath(*pdb)) options.pdb = *pdb;
  options.newPage.ignoreLastModified = FlagOf(*key, option::kIgnoreLastMod);
  options.newPage.ignoreExpires = FlagOf(*key, option::kIgnoreExpire);
  options.pageReNotify = FlagOf(*key, option::kPageReNotify);
  options.keepVersions = NumberOf(*key, option::kKeepVersions);
  return options;
}

}  // namespace tw
