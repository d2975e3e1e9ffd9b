#include "platform/settings_store.h"

#include <chrono>
#include <optional>
#include <thread>

#include "foundation/ascii.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/foreign_file.h"
#include "platform/user_dirs.h"

namespace tw {
namespace {

constexpr std::string_view kStoreFolder = "tidewell";
constexpr std::string_view kStoreFile = "registry";
constexpr std::string_view kLockSuffix = ".lock";
// Writers hold the lock for a few milliseconds; one that waits this long is facing a stuck writer.
constexpr auto kLockWait = std::chrono::seconds(10);

// Readers take no lock: writers replace the file whole by a rename, and the file they rename in
// still carries their exclusive lock until the commit returns, so a locking open could fail with
// 32 (and a reader take a sound store for a missing one).
Result<std::string> ReadCapped(const std::string& path) {
  return ReadForeignFile(path, kMaxSettingsFileSize);
}

// The writers' lock: the lock file held with no sharing. Opening it is the test, so a writer
// that finds it taken tries again shortly, up to kLockWait.
Result<File> TakeWriterLock(const std::string& path) {
  const std::string lock_path = path + std::string(kLockSuffix);
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  auto pause = std::chrono::microseconds(200);
  for (;;) {
    Result<File> lock = File::Open(
        lock_path, OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kOpenAlways});
    if (lock.ok() || lock.error().code() != err::kSharingViolation) return lock;
    if (std::chrono::steady_clock::now() >= deadline) return lock.error();
    std::this_thread::sleep_for(pause);
    pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(10));
  }
}

Error CheckKeyAndName(std::string_view key, std::string_view name) {
  if (!IsValidSettingsKey(key) || !IsValidSettingsName(name)) {
    return Error(err::kInvalidParameter);
  }
  return Error();
}

}  // namespace

Result<uint32_t> SettingsKey::ReadDword(std::string_view name) const {
  for (const SettingsValue& value : values_) {
    if (!EqualsIgnoreCase(value.name, name)) continue;
    if (value.type != SettingsType::kDword) break;
    return value.dword;
  }
  return Error(err::kFileNotFound);
}

Result<std::string> SettingsKey::ReadString(std::string_view name) const {
  for (const SettingsValue& value : values_) {
    if (!EqualsIgnoreCase(value.name, name)) continue;
    if (value.type != SettingsType::kString) break;
    return value.text;
  }
  return Error(err::kFileNotFound);
}

Result<SettingsStore> SettingsStore::OpenUser() {
  Result<std::string> config = ConfigHome();
  if (!config.ok()) return config.error();
  return SettingsStore(JoinPath(JoinPath(*config, kStoreFolder), kStoreFile));
}

Result<SettingsDocument> SettingsStore::Load() const {
  Result<std::string> text = ReadCapped(path_);
  if (!text.ok()) {
    // No file yet is an empty store; the folder or file appears with the first write.
    const uint32_t code = text.error().code();
    if (code == err::kFileNotFound || code == err::kPathNotFound) return SettingsDocument{};
    return text.error();
  }
  return SettingsDocument::Parse(*text);
}

template <class Change>
Error SettingsStore::Update(Change change) const {
  if (Error e = CreateDirectories(FolderOf(path_))) return e;
  Result<File> lock = TakeWriterLock(path_);
  if (!lock.ok()) return lock.error();
  // A writer killed between creating its temporary file and renaming it left the file here.
  RemoveStaleTempFiles(FolderOf(path_));

  Result<std::string> before = ReadCapped(path_);
  if (!before.ok() && before.error().code() != err::kFileNotFound) return before.error();
  const std::string old_text = before.ok() ? *before : std::string();
  SettingsDocument document = SettingsDocument::Parse(old_text);
  change(document);
  const std::string new_text = document.Serialize();
  if (new_text == old_text) return Error();
  if (new_text.size() > kMaxSettingsFileSize) return Error(err::kNotEnoughMemory);

  Result<AtomicFileWriter> writer = AtomicFileWriter::Begin(path_);
  if (!writer.ok()) return writer.error();
  if (Error e = writer->file().WriteAll(new_text)) return e;
  return writer->Commit(AtomicFileWriter::Publish::kReplace);
}

Result<uint32_t> SettingsStore::ReadDword(std::string_view key, std::string_view name) const {
  Result<SettingsKey> opened = OpenKey(key);
  if (!opened.ok()) return opened.error();
  return opened->ReadDword(name);
}

Result<std::string> SettingsStore::ReadString(std::string_view key, std::string_view name) const {
  Result<SettingsKey> opened = OpenKey(key);
  if (!opened.ok()) return opened.error();
  return opened->ReadString(name);
}

Error SettingsStore::WriteDword(std::string_view key, std::string_view name, uint32_t value) const {
  if (Error e = CheckKeyAndName(key, name)) return e;
  return Update([&](SettingsDocument& document) {
    document.Set(key, SettingsValue::Dword(std::string(name), value));
  });
}

Error SettingsStore::WriteString(std::string_view key, std::string_view name,
                                 std::string_view value) const {
  if (Error e = CheckKeyAndName(key, name)) return e;
  if (!IsValidSettingsText(value)) return Error(err::kInvalidParameter);
  return Update([&](SettingsDocument& document) {
    document.Set(key, SettingsValue::String(std::string(name), std::string(value)));
  });
}

Error SettingsStore::WriteValues(std::string_view key,
                                 const std::vector<SettingsValue>& values) const {
  for (const SettingsValue& value : values) {
    if (Error e = CheckKeyAndName(key, value.name)) return e;
    if (value.type == SettingsType::kString && !IsValidSettingsText(value.text)) {
      return Error(err::kInvalidParameter);
    }
  }
  return Update([&](SettingsDocument& document) {
    for (const SettingsValue& value : values) document.Set(key, value);
  });
}

Error SettingsStore::DeleteValue(std::string_view key, std::string_view name) const {
  if (Error e = CheckKeyAndName(key, name)) return e;
  // Nothing to delete from a key that is not there needs no lock and no write.
  Result<SettingsDocument> current = Load();
  if (current.ok() && !current->HasKey(key)) return Error();
  return Update([&](SettingsDocument& document) { (void)document.Delete(key, name); });
}

Result<SettingsKey> SettingsStore::OpenKey(std::string_view key, KeyDisposition disposition) const {
  if (!IsValidSettingsKey(key)) return Error(err::kInvalidParameter);
  Result<SettingsDocument> document = Load();
  if (!document.ok()) return document.error();
  if (!document->HasKey(key)) {
    if (disposition == KeyDisposition::kOpenExisting) return Error(err::kFileNotFound);
    if (Error e = Update([&](SettingsDocument& d) { d.AddKey(key); })) return e;
    document = Load();
    if (!document.ok()) return document.error();
  }
  return SettingsKey(document->Values(key));
}

Result<std::vector<std::string>> SettingsStore::EnumSubkeys(std::string_view key) const {
  if (!IsValidSettingsKey(key)) return Error(err::kInvalidParameter);
  Result<SettingsDocument> document = Load();
  if (!document.ok()) return document.error();
  if (!document->HasKey(key)) return Error(err::kFileNotFound);
  return document->Subkeys(key);
}

Result<SettingsWatch> SettingsWatch::Create(const SettingsStore& store, std::string key) {
  const std::string folder = FolderOf(store.path());
  if (Error e = CreateDirectories(folder)) return e;
  // Watch first, then look: a change made in between is then seen by the first TakeChange.
  Result<FolderWatch> watch = FolderWatch::Create(folder);
  if (!watch.ok()) return watch.error();
  SettingsWatch result(store, std::move(key), std::move(*watch));
  result.last_ = result.Snapshot().value_or(SettingsKey());
  return result;
}

std::optional<SettingsKey> SettingsWatch::Snapshot() const {
  Result<SettingsKey> key = store_.OpenKey(key_);
  if (key.ok()) return *key;
  if (key.error().code() == err::kFileNotFound) return SettingsKey();
  return std::nullopt;  // unreadable for now: not taken for a change
}

bool SettingsWatch::TakeChange() {
  folder_watch_.Rearm();
  std::optional<SettingsKey> now = Snapshot();
  if (!now || *now == last_) return false;
  last_ = std::move(*now);
  return true;
}

}  // namespace tw
