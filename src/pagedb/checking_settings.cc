#include "pagedb/checking_settings.h"

#include "pagefile/page_file.h"

namespace tw {

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
    keep_versions_ = options.keepVersions;
    // Exact comparison: a folder that differs only in case is another folder here.
    if (!options.pdb.empty() && options.pdb != page_folder_) {
      page_folder_ = options.pdb;
      folder_changed = true;
    }
    re_notify_ = options.pageReNotify;
  }
  SetCurrentNewPageSettings(options.newPage);
  if (folder_changed && folder_changed_) folder_changed_->Set();
}

uint32_t CheckingSettings::timeout_ms() const {
  std::lock_guard lock(mutex_);
  return timeout_ms_;
}

PassSettings CheckingSettings::pass_settings() const {
  std::lock_guard lock(mutex_);
  return PassSettings{timeout_ms_, pool_size_, keep_versions_};
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
