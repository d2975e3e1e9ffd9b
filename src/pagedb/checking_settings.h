// CheckingSettings: the global checking settings of one page database, and what reading the
// options does to them: the schedule goes to `apply_schedule` (the check thread's ScheduleTimer,
// which ignores an unchanged pair), the new-page settings become the process's, and a PDB that
// differs from the current page folder replaces it and sets `folder_changed` once. Read may run
// on the page database's start-up thread and on the options watcher at once; the getters on any
// thread.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "foundation/event.h"
#include "foundation/thread_annotations.h"
#include "platform/error.h"
#include "platform/settings_store.h"
#include "settings/checking_options.h"

namespace tw {

class CheckingSettings {
 public:
  using ApplySchedule = std::function<void(uint32_t unit, uint32_t count)>;

  // Before the first read: time-out 40000 ms, pool size 1, 10 versions kept, re-notify on, no
  // page folder.
  CheckingSettings(ApplySchedule apply_schedule, Event* folder_changed);

  // Reads the options and applies them; fails without changing anything when the key cannot be
  // opened.
  Error Read(const SettingsStore& store);
  void Apply(const CheckingOptions& options);

  uint32_t timeout_ms() const;
  uint32_t pool_size() const;
  // What the next check pass takes.
  PassSettings pass_settings() const;
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
  uint32_t keep_versions_ TW_GUARDED_BY(mutex_) = kDefaultKeptVersions;
  bool re_notify_ TW_GUARDED_BY(mutex_) = true;
  std::string page_folder_ TW_GUARDED_BY(mutex_);
  std::mutex read_mutex_;  // one Read at a time, so that two reads apply in one order
};

}  // namespace tw
