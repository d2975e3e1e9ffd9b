// SettingsStore: the per-user settings, in place of the registry's per-user keys and values.
//
// One text file, $XDG_CONFIG_HOME/tidewell/registry (default ~/.config/tidewell/registry), in the
// syntax of settings_file.h, holds every key. Key paths are those of the registry, for example
// "SOFTWARE\\Orvanta\\Tidewell\\Options"; key paths and value names compare without regard to
// ASCII case.
//
// Readers parse the file as it is, without a lock: writers replace it whole by a rename, so a
// reader sees the old file or the new one. Writers take the lock file beside it ("registry.lock")
// for the whole read-change-replace, so that processes writing different values at once each
// keep theirs. A write that changes nothing leaves the file alone. The file is capped at
// kMaxSettingsFileSize: a larger file reads as unreadable (error 8) and a write that would pass
// the cap fails with 8, so nothing is ever cut off.
//
// Errors: 2 for a missing key or value, and for a value of the other type or one whose line does
// not parse; 87 for a key path, name or text that cannot be written (line breaks, zero bytes).
// Every member may be called from any thread; objects are cheap and hold only the path.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/waitable.h"
#include "platform/error.h"
#include "platform/folder_watch.h"
#include "platform/settings_file.h"

namespace tw {

inline constexpr size_t kMaxSettingsFileSize = 1024 * 1024;

// The values of one key as they were when it was opened.
class SettingsKey {
 public:
  SettingsKey() = default;
  explicit SettingsKey(std::vector<SettingsValue> values) : values_(std::move(values)) {}

  Result<uint32_t> ReadDword(std::string_view name) const;
  Result<std::string> ReadString(std::string_view name) const;
  const std::vector<SettingsValue>& values() const { return values_; }
  bool operator==(const SettingsKey&) const = default;

 private:
  std::vector<SettingsValue> values_;
};

enum class KeyDisposition { kOpenExisting, kCreate };

class SettingsStore {
 public:
  // The store of the current user; fails when no home folder can be found.
  static Result<SettingsStore> OpenUser();
  explicit SettingsStore(std::string path) : path_(std::move(path)) {}

  const std::string& path() const { return path_; }

  Result<uint32_t> ReadDword(std::string_view key, std::string_view name) const;
  Result<std::string> ReadString(std::string_view key, std::string_view name) const;
  Error WriteDword(std::string_view key, std::string_view name, uint32_t value) const;
  Error WriteString(std::string_view key, std::string_view name, std::string_view value) const;
  // Writes several values of one key in one replacement of the file, so that a watcher sees them
  // change together; nothing is written when one of them cannot be.
  Error WriteValues(std::string_view key, const std::vector<SettingsValue>& values) const;
  // Succeeds when the value is gone afterwards, also when it was never there.
  Error DeleteValue(std::string_view key, std::string_view name) const;

  // The key's values at this moment; with kCreate a missing key is made (the file and its folder
  // too), else it fails with 2. A key exists when it or a key below it has a section.
  Result<SettingsKey> OpenKey(std::string_view key,
                              KeyDisposition disposition = KeyDisposition::kOpenExisting) const;
  // The names of the keys directly below `key`; 2 when `key` does not exist.
  Result<std::vector<std::string>> EnumSubkeys(std::string_view key) const;

 private:
  Result<SettingsDocument> Load() const;
  template <class Change>
  Error Update(Change change) const;

  std::string path_;
};

// Watches one key of a store for changes of its values by any process. It is signalled when
// something in the store's folder changes; TakeChange then tells whether the key's values really
// changed. A watcher must call TakeChange after every wake, which also re-arms the watch.
class SettingsWatch final : public Waitable {
 public:
  // Makes the store's folder when it is missing, so that there is something to watch.
  static Result<SettingsWatch> Create(const SettingsStore& store, std::string key);

  // Drains the notifications and compares the key with what was seen last; true when its values
  // changed (added, removed, or set to something else), and then remembers the new ones.
  bool TakeChange();

  int wait_fd() const override { return folder_watch_.wait_fd(); }
  bool TryAcquire() override { return true; }

 private:
  SettingsWatch(SettingsStore store, std::string key, FolderWatch watch)
      : store_(std::move(store)), key_(std::move(key)), folder_watch_(std::move(watch)) {}
  // The key's values now; nothing when the store cannot be read at the moment.
  std::optional<SettingsKey> Snapshot() const;

  SettingsStore store_;
  std::string key_;
  FolderWatch folder_watch_;
  SettingsKey last_;
};

}  // namespace tw
