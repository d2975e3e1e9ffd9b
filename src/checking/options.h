// The checking options: the per-user values under "SOFTWARE\Orvanta\Tidewell\Options" that govern
// how pages are checked, read with their defaults and clamps, and the global settings of a page
// database that they feed.
//
// Defaults apply value by value: a value that is missing, of the other type or damaged keeps its
// default, and reading never fails because of one value. Only a key that cannot be opened fails
// the read, and then nothing changes.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "foundation/event.h"
#include "foundation/thread_annotations.h"
#include "pagedb/page_file.h"
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
}  // namespace option

// The options key path (string 141).
std::string_view OptionsKey();

inline constexpr uint32_t kDefaultTimeoutMs = 40000;
inline constexpr uint32_t kMaxPoolSize = 31;
inline constexpr uint16_t kMaxCheckCount = 20;
inline constexpr uint16_t kMaxCheckWaitSeconds = 1800;
// A stored PDB value (with its terminating zero) longer than this is ignored.
inline constexpr size_t kMaxPdbSize = 260;

// The options as read, clamped.
struct CheckingOptions {
  uint32_t interval = 0;                   // schedule unit: 1 = minutes, any other value = hours
  uint32_t intervalValue = 0;              // schedule count; 0 = no online schedule
  uint32_t timeoutMs = kDefaultTimeoutMs;  // 1000 to 300000
  uint32_t threads = 1;                    // request pool size, 1 to 31
  NewPageDefaults newPage;
  std::string pdb;  // the page folder; empty when missing, empty or too long
  bool pageReNotify = false;
};

// Reads the options key; fails (2) when it does not exist or the store cannot be read.
Result<CheckingOptions> ReadCheckingOptions(const SettingsStore& store);

// The global checking settings of one page database, and what reading the options does to them:
// the schedule goes to `apply_schedule` (the check thread's ScheduleTimer, which ignores an
// unchanged pair), the new-page defaults become the process's, and a PDB that differs from the
// current page folder replaces it and sets `folder_changed` once. Read may run on the page
// database's start-up thread and on the options watcher at once; the getters on any thread.
class CheckingSettings {
 public:
  using ApplySchedule = std::function<void(uint32_t unit, uint32_t count)>;

  // Before the first read: time-out 40000 ms, pool size 1, re-notify on, no page folder.
  CheckingSettings(ApplySchedule apply_schedule, Event* folder_changed);

  // Reads the options and applies them; fails without changing anything when the key cannot be
  // opened.
  Error Read(const SettingsStore& store);
  void Apply(const CheckingOptions& options);

  uint32_t timeout_ms() const;
  uint32_t pool_size() const;
  bool re_notify() const;
  std::string page_folder() const;
  // Sets the folder without a change signal (the page database found or made it).
  void set_page_folder(std::string folder);

 private:
  const ApplySchedule apply_schedule_;
  Event* const folder_changed_;
  mutable std::mutex mutex_;
  uint32_t timeout_ms_ TW_GUARDED_BY(mutex_) = kDefaultTimeoutMs;
  uint32_t pool_size_ TW_GUARDED_BY(mutex_) = 1;
  bool re_notify_ TW_GUARDED_BY(mutex_) = true;
  std::string page_folder_ TW_GUARDED_BY(mutex_);
  std::mutex read_mutex_;  // one Read at a time, so that two reads apply in one order
};

}  // namespace tw
