// The checking options: the per-user values under "SOFTWARE\Orvanta\Tidewell\Options" that govern
// how pages are checked and what a new page starts with, read with their defaults and clamps.
//
// Defaults apply value by value: a value that is missing, of the other type or damaged keeps its
// default, and reading never fails because of one value. Only a key that cannot be opened fails
// the read. The names, defaults and ranges are those of the option schema (option_schema.h).
// Pure functions over a settings store; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/settings_store.h"

namespace tw {

// Value names in the options key.
namespace option {
inline constexpr std::string_view kInterval = "Interval";
inline constexpr std::string_view kIntervalValue = "IntervalValue";
inline constexpr std::string_view kTimeout = "Timeout";
inline constexpr std::string_view kThreads = "Threads";
inline constexpr std::string_view kEnableSmartUpdate = "EnableSmartUpdate";
inline constexpr std::string_view kNoc = "Noc";
inline constexpr std::string_view kCheckWait = "CheckWait";
inline constexpr std::string_view kPdb = "PDB";
inline constexpr std::string_view kIgnoreLastMod = "IgnoreLastMod";
inline constexpr std::string_view kIgnoreExpire = "IgnoreExpire";
inline constexpr std::string_view kPageReNotify = "PageReNotify";
inline constexpr std::string_view kKeepVersions = "KeepVersions";
}  // namespace option

// The options key path (string 141).
std::string_view OptionsKey();

inline constexpr uint32_t kDefaultTimeoutMs = 40000;
inline constexpr uint32_t kMaxPoolSize = 31;
inline constexpr uint16_t kMaxCheckCount = 20;
inline constexpr uint16_t kMaxCheckWaitSeconds = 1800;
// How many earlier versions of each page are kept.
inline constexpr uint32_t kDefaultKeptVersions = 10;
inline constexpr uint32_t kMaxKeptVersions = 100;

// The settings of one page that the user chooses: stored in its page file, and taken from the
// options by a new page.
struct PageSettings {
  bool smartUpdate = true;
  uint16_t checkCount = 0;
  uint16_t waitSeconds = 0;
  bool ignoreLastModified = false;
  bool ignoreExpires = false;
};

// The options as read, clamped.
struct CheckingOptions {
  uint32_t interval = 0;                   // schedule unit: 1 = minutes, any other value = hours
  uint32_t intervalValue = 0;              // schedule count; 0 = no online schedule
  uint32_t timeoutMs = kDefaultTimeoutMs;  // 1000 to 300000
  uint32_t threads = 1;                    // request pool size, 1 to 31
  PageSettings newPage;
  std::string pdb;  // the page folder; empty when missing, empty or too long for a path
  bool pageReNotify = false;
  uint32_t keepVersions = kDefaultKeptVersions;  // earlier versions kept per page, 0 to 100
};

// What each check pass takes from the options.
struct PassSettings {
  uint32_t timeoutMs = kDefaultTimeoutMs;
  uint32_t poolSize = 1;
  uint32_t keepVersions = kDefaultKeptVersions;
};

// Reads the options key; fails (2) when it does not exist or the store cannot be read.
Result<CheckingOptions> ReadCheckingOptions(const SettingsStore& store);

// The one limit on page folder paths: a page file's path (folder, "/", title, ".twp") keeps
// within kMaxPathLength bytes with its terminator. A stored PDB must fit a path itself; the
// longest title a folder leaves room for is MaxTitleLength.
inline constexpr size_t kMaxPathLength = 260;
size_t MaxTitleLength(std::string_view folder);
bool FitsInPath(std::string_view path);

}  // namespace tw
