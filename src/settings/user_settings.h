// The user settings: every value of the options key that a window loads, shows and saves. The
// display and behaviour values (run in the background, notification, the page list's view,
// toolbar, columns and task pane, `FirstRun`), and the checking values as the options sheet
// shows them, in one table with their types, ranges and defaults.
//
// Four display values are kept twice, for the program's own window (`ViewMode`, `LargeTB`,
// `TBText`, the column widths) and for the browser's side panel (`ViewModeIE`, `LargeTBIE`,
// `TBIEText`, `Band...ColSize`); `TaskPad` belongs to the program's window alone.
//
// Reading: a value that is missing, of the other type, or outside its range reads as its default
// (`ViewMode` 7 reads as 0). Values whose default is the control's own (column widths, task
// panes) are left out until stored. Writing checks every value first and writes all of them in
// one replacement of the store, or none.
//
// Pure functions over a settings store; any thread.
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

// Value names in the options key (the checking values' names are in checking_options.h).
namespace setting {
inline constexpr std::string_view kFirstRun = "FirstRun";
inline constexpr std::string_view kRunBkg = "RunBkg";
inline constexpr std::string_view kConfirmAC = "ConfirmAC";
inline constexpr std::string_view kPageNotify = "PageNotify";
inline constexpr std::string_view kLastUpdateColumn = "LastUpdateColumn";
inline constexpr std::string_view kUpdateSort = "UpdateSort";
inline constexpr std::string_view kTaskPad = "TaskPad";
inline constexpr std::string_view kLargeTB = "LargeTB";
inline constexpr std::string_view kLargeTBIE = "LargeTBIE";
inline constexpr std::string_view kTBText = "TBText";
inline constexpr std::string_view kTBIEText = "TBIEText";
inline constexpr std::string_view kViewMode = "ViewMode";
inline constexpr std::string_view kViewModeIE = "ViewModeIE";
inline constexpr std::string_view kAutoSH = "AutoSH";
inline constexpr std::string_view kPageColSize = "PageColSize";
inline constexpr std::string_view kBandPageColSize = "BandPageColSize";
inline constexpr std::string_view kLUColSize = "LUColSize";
inline constexpr std::string_view kBandLUColSize = "BandLUColSize";
inline constexpr std::string_view kTaskPane0 = "TaskPane0";
inline constexpr std::string_view kTaskPane1 = "TaskPane1";
inline constexpr std::string_view kTaskPane2 = "TaskPane2";
}  // namespace setting

// The key of the sound played for updated pages (string 157 and "\TWUP\.current"); the file name
// is its default value.
std::string SoundKey();
// The longest sound file name that is played.
inline constexpr size_t kMaxSoundPathLength = 260;

// Which main window a setting is for.
enum class WindowSetting { kHost, kSideBar };

enum class SettingType { kFlag, kNumber, kText };

struct SettingDefinition {
  std::string_view name;
  SettingType type = SettingType::kFlag;
  uint32_t min = 0;
  uint32_t max = 1;
  std::optional<uint32_t> default_value;  // none: the control's own (or, for PDB, the folder's)
  bool host_only = false;                 // written only from the program's own window
  // The unit a person sees is this many stored units (CheckWait: seconds stored, minutes shown).
  uint32_t shown_unit = 1;
};

// Every user setting, in the order the options sheet and the windows use them.
std::span<const SettingDefinition> UserSettingDefinitions();
// The setting of that name (letter case aside), or nullptr.
const SettingDefinition* FindUserSetting(std::string_view name);

// The longest page folder path the options sheet accepts.
inline constexpr size_t kMaxPageFolderSetting = 248;

// The values in force, in table order. Fails only when the store cannot be read; a store without
// the options key gives the defaults.
Result<std::vector<SettingsValue>> LoadUserSettings(const SettingsStore& store);

// Why a value cannot be stored.
struct SettingProblem {
  enum class Kind { kUnknownName, kWrongType, kOutOfRange, kTooLong, kInvalidValue };
  Kind kind = Kind::kInvalidValue;
  std::string name;
  uint32_t min = 0;  // kOutOfRange: the bounds in the unit a person sees
  uint32_t max = 0;
  std::string sentence;  // kInvalidValue: what is wrong
};

// Checks the values a window wants to store against the table (IntervalValue against the
// Interval given with it, else the stored one) and prepares them: names as the table spells them,
// PDB as an absolute path, values that `setting` does not write (TaskPad from the side panel) left
// out. The first problem, in the order given, when one fails.
struct PreparedSettings {
  std::vector<SettingsValue> values;
  std::optional<SettingProblem> problem;
};
PreparedSettings PrepareUserSettings(const SettingsStore& store, WindowSetting setting,
                                     std::vector<SettingsValue> values);

// Writes prepared values in one replacement of the store.
Error SaveUserSettings(const SettingsStore& store, const std::vector<SettingsValue>& values);

// True until the first-start setup has been completed (FirstRun missing or 0).
bool IsFirstRun(const SettingsStore& store);

}  // namespace tw
