#include "checking/options.h"

#include <algorithm>

#include "resources/strings.h"

namespace tw {
namespace {

constexpr uint32_t kMinTimeoutSeconds = 1;
constexpr uint32_t kMaxTimeoutSeconds = 300;

uint32_t DwordOr(const SettingsKey& key, std::string_view name, uint32_t fallback) {
  Result<uint32_t> value = key.ReadDword(name);
  return value.ok() ? *value : fallback;
}

bool FlagOr(const SettingsKey& key, std::string_view name, bool fallback) {
  Result<uint32_t> value = key.ReadDword(name);
  return value.ok() ? *value > 0 : fallback;
}

}  // namespace

std::string_view OptionsKey() { return LoadString(str::kOptionsKey); }

Result<CheckingOptions> ReadCheckingOptions(const SettingsStore& store) {
  Result<SettingsKey> key = store.OpenKey(OptionsKey());
  if (!key.ok()) return key.error();
  CheckingOptions options;
  options.interval = DwordOr(*key, option::kInterval, 0);
  options.intervalValue = DwordOr(*key, option::kIntervalValue, 0);
  const uint32_t timeout = DwordOr(*key, option::kTimeout, kDefaultTimeoutMs / 1000);
  options.timeoutMs = std::clamp(timeout, kMinTimeoutSeconds, kMaxTimeoutSeconds) * 1000;
  options.threads = std::clamp<uint32_t>(DwordOr(*key, option::kThreads, 1), 1, kMaxPoolSize);
  options.newPage.smartUpdate = FlagOr(*key, option::kEnableSmartUpdate, true);
  options.newPage.checkCount =
      static_cast<uint16_t>(std::min<uint32_t>(DwordOr(*key, option::kNoc, 0), kMaxCheckCount));
  options.newPage.waitSeconds = static_cast<uint16_t>(
      std::min<uint32_t>(DwordOr(*key, option::kCheckWait, 0), kMaxCheckWaitSeconds));
  Result<std::string> pdb = key->ReadString(option::kPdb);
  // The stored size counts the terminating zero: 1 to 260 bytes with it.
  if (pdb.ok() && !pdb->empty() && pdb->size() + 1 <= kMaxPdbSize) options.pdb = *pdb;
  options.newPage.ignoreLastModified = FlagOr(*key, option::kIgnoreLastMod, false);
  options.newPage.ignoreExpires = FlagOr(*key, option::kIgnoreExpire, false);
  options.pageReNotify = FlagOr(*key, option::kPageReNotify, false);
  return options;
}

CheckingSettings::CheckingSettings(ApplySchedule apply_schedule, Event* folder_changed)
    : apply_schedule_(std::move(apply_schedule)), folder_changed_(folder_changed) {}

Error CheckingSettings::Read(const SettingsStore& store) {
  std::lock_guard read_lock(read_mutex_);
  Result<CheckingOptions> options = ReadCheckingOptions(store);
  if (!options.ok()) return options.error();
  Apply(*options);
  return Error();
}

void CheckingSettings::Apply(const CheckingOptions& options) {
  if (apply_schedule_) apply_schedule_(options.interval, options.intervalValue);
  bool folder_changed = false;
  {
    std::lock_guard lock(mutex_);
    timeout_ms_ = options.timeoutMs;
    pool_size_ = options.threads;
    // Exact comparison: a folder that differs only in case is another folder here.
    if (!options.pdb.empty() && options.pdb != page_folder_) {
      page_folder_ = options.pdb;
      folder_changed = true;
    }
    re_notify_ = options.pageReNotify;
  }
  SetCurrentNewPageDefaults(options.newPage);
  if (folder_changed && folder_changed_) folder_changed_->Set();
}

uint32_t CheckingSettings::timeout_ms() const {
  std::lock_guard lock(mutex_);
  return timeout_ms_;
}

uint32_t CheckingSettings::pool_size() const {
  std::lock_guard lock(mutex_);
  return pool_size_;
}

bool CheckingSettings::re_notify() const {
  std::lock_guard lock(mutex_);
  return re_notify_;
}

std::string CheckingSettings::page_folder() const {
  std::lock_guard lock(mutex_);
  return page_folder_;
}

void CheckingSettings::set_page_folder(std::string folder) {
  std::lock_guard lock(mutex_);
  page_folder_ = std::move(folder);
}

}  // namespace tw
