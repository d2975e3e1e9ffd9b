#include "pagefile/page_versions.h"

#include <zstd.h>

#include "pagefile/little_endian.h"
#include "platform/file_system.h"

namespace tw {
namespace {

constexpr std::string_view kDatabaseName = "versions.sqlite";
constexpr std::string_view kMagic = "TWV1";
// Fast enough to add little to a check pass, and consecutive versions of a page are mostly
// markup that compresses well at any level.
constexpr int kCompressionLevel = 3;

constexpr std::string_view kSchema =
    "CREATE TABLE IF NOT EXISTS versions ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " title TEXT NOT NULL,"
    " address TEXT NOT NULL,"
    " found_time INTEGER NOT NULL,"
    " replaced_time INTEGER NOT NULL,"
    " size INTEGER NOT NULL,"
    " data BLOB NOT NULL);"
    "CREATE INDEX IF NOT EXISTS versions_by_title ON versions (title, id);";

// Every stored number fits in 64 signed bits; times and sizes do not reach the sign bit.
int64_t Stored(uint64_t value) { return static_cast<int64_t>(value); }

void PutBytes(std::string& out, std::string_view bytes) {
  le::PutU32(out, static_cast<uint32_t>(bytes.size()));
  out.append(bytes);
}

void PutMasks(std::string& out, const MaskList& masks) {
  le::PutU32(out, masks.count());
  for (const MaskEntry& mask : masks) {
    le::PutU32(out, mask.index);
    le::PutU32(out, mask.kind);
    le::PutU32(out, mask.count);
  }
}

// Reads the pieces of an encoded version, refusing any length the bytes left cannot hold.
class ContentReader {
 public:
  explicit ContentReader(std::string_view bytes) : bytes_(bytes) {}

  bool U32(uint32_t& value) {
    if (bytes_.size() < 4) return false;
    value = le::Reader(bytes_.data()).U32();
    bytes_.remove_prefix(4);
    return true;
  }
  bool Bytes(std::string& out) {
    uint32_t length = 0;
    if (!U32(length) || length > bytes_.size()) return false;
    out.assign(bytes_.substr(0, length));
    bytes_.remove_prefix(length);
    return true;
  }
  bool Masks(MaskList& masks) {
    uint32_t count = 0;
    if (!U32(count) || uint64_t{count} * kMaskEntrySize > bytes_.size()) return false;
    le::Reader in(bytes_.data());
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t index = in.U32();
      const uint32_t kind = in.U32();
      masks.Append(std::make_unique<MaskEntry>(index, kind, in.U32()));
    }
    bytes_.remove_prefix(uint64_t{count} * kMaskEntrySize);
    return true;
  }
  bool Frames(FrameList& frames) {
    // The smallest frame is three empty lengths.
    uint32_t count = 0;
    if (!U32(count) || uint64_t{count} * 12 > bytes_.size()) return false;
    for (uint32_t i = 0; i < count; ++i) {
      auto frame = std::make_unique<FrameEntry>();
      std::string address, content;
      if (!Bytes(address) || !Bytes(content) || !Masks(frame->masks)) return false;
      if (!address.empty()) frame->SetAddress(std::move(address));
      frame->SetContent(std::move(content));
      frame->maskCount = frame->masks.count();
      frames.Append(std::move(frame));
    }
    return true;
  }
  bool AtEnd() const { return bytes_.empty(); }

 private:
  std::string_view bytes_;
};

Result<std::string> Compress(std::string_view bytes) {
  std::string out(ZSTD_compressBound(bytes.size()), '\0');
  const size_t written =
      ZSTD_compress(out.data(), out.size(), bytes.data(), bytes.size(), kCompressionLevel);
  if (ZSTD_isError(written)) return Error(err::kNotEnoughMemory);
  out.resize(written);
  return out;
}

Result<std::string> Decompress(std::string_view bytes, uint64_t size) {
  if (size > kMaxVersionBytes) return Error(err::kInvalidData);
  std::string out(static_cast<size_t>(size), '\0');
  const size_t read = ZSTD_decompress(out.data(), out.size(), bytes.data(), bytes.size());
  if (ZSTD_isError(read) || read != out.size()) return Error(err::kInvalidData);
  return out;
}

std::string DatabasePath(const std::string& page_folder) {
  return JoinPath(JoinPath(page_folder, kVersionsFolderName), kDatabaseName);
}

}  // namespace

std::string EncodeVersionContent(const PageRecord& record) {
  std::string out(kMagic);
  PutBytes(out, record.content);
  PutMasks(out, record.masks);
  le::PutU32(out, record.frames.count());
  for (const FrameEntry& frame : record.frames) {
    PutBytes(out, frame.address);
    PutBytes(out, frame.content);
    PutMasks(out, frame.masks);
  }
  return out;
}

Error DecodeVersionContent(std::string_view bytes, PageRecord& record) {
  if (bytes.substr(0, kMagic.size()) != kMagic) return Error(err::kInvalidData);
  ContentReader in(bytes.substr(kMagic.size()));
  std::string content;
  if (!in.Bytes(content) || !in.Masks(record.masks) || !in.Frames(record.frames) || !in.AtEnd()) {
    ClearRecord(record);
    return Error(err::kInvalidData);
  }
  record.SetContent(std::move(content));
  record.SyncCounts();
  return Error();
}

Result<PageVersions> PageVersions::OpenAt(const std::string& page_folder, bool create) {
  const std::string path = DatabasePath(page_folder);
  if (create) {
    if (Error e = CreateDirectories(FolderOf(path))) return e;
  } else if (!PathExists(path)) {
    return Error(err::kFileNotFound);
  }
  Result<SqliteDatabase> db = SqliteDatabase::Open(
      path,
      create ? SqliteDatabase::Disposition::kCreate : SqliteDatabase::Disposition::kOpenExisting,
      kSchema);
  if (!db.ok()) return db.error();
  return PageVersions(std::move(*db));
}

Result<PageVersions> PageVersions::Open(const std::string& page_folder) {
  return OpenAt(page_folder, true);
}

Result<PageVersions> PageVersions::OpenExisting(const std::string& page_folder) {
  return OpenAt(page_folder, false);
}

Error PageVersions::Keep(const PageRecord& record, FileTime replaced_time, uint32_t keep) {
  if (keep == 0) return Remove(record.title);
  if (record.content.empty()) return Error();
  const std::string encoded = EncodeVersionContent(record);
  if (encoded.size() > kMaxVersionBytes) return Error();
  Result<std::string> data = Compress(encoded);
  if (!data.ok()) return data.error();
  if (data->size() > kMaxKeptBytesPerPage) return Error();

  SqliteTransaction transaction(db_);
  if (Error e = transaction.Begin()) return e;
  // A pass cut short between keeping a version and writing its page finds the same change
  // again next time: the version is there already.
  Result<SqliteStatement> newest =
      db_.Prepare("SELECT size, data FROM versions WHERE title = ?1 ORDER BY id DESC LIMIT 1");
  if (!newest.ok()) return newest.error();
  if (Error e = newest->BindText(1, record.title)) return e;
  Result<bool> row = newest->Step();
  if (!row.ok()) return row.error();
  if (*row && newest->Int(0) == Stored(encoded.size()) && newest->Blob(1) == *data) {
    return transaction.Commit();
  }

  Result<SqliteStatement> insert = db_.Prepare(
      "INSERT INTO versions (title, address, found_time, replaced_time, size, data)"
      " VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
  if (!insert.ok()) return insert.error();
  if (Error e = insert->BindText(1, record.title)) return e;
  if (Error e = insert->BindText(2, record.address)) return e;
  if (Error e = insert->BindInt(3, Stored(record.updatedTime.ticks))) return e;
  if (Error e = insert->BindInt(4, Stored(replaced_time.ticks))) return e;
  if (Error e = insert->BindInt(5, Stored(encoded.size()))) return e;
  if (Error e = insert->BindBlob(6, *data)) return e;
  if (Error e = insert->Run()) return e;
  if (Error e = Trim(record.title, keep)) return e;
  return transaction.Commit();
}

// Deletes the page's versions past the newest `keep` and past the byte cap, newest kept first.
Error PageVersions::Trim(std::string_view title, uint32_t keep) {
  Result<SqliteStatement> list =
      db_.Prepare("SELECT id, length(data) FROM versions WHERE title = ?1 ORDER BY id DESC");
  if (!list.ok()) return list.error();
  if (Error e = list->BindText(1, title)) return e;
  std::vector<int64_t> doomed;
  uint32_t kept = 0;
  uint64_t bytes = 0;
  for (;;) {
    Result<bool> row = list->Step();
    if (!row.ok()) return row.error();
    if (!*row) break;
    bytes += static_cast<uint64_t>(list->Int(1));
    if (kept < keep && bytes <= kMaxKeptBytesPerPage) {
      ++kept;
    } else {
      doomed.push_back(list->Int(0));
    }
  }
  Result<SqliteStatement> remove = db_.Prepare("DELETE FROM versions WHERE id = ?1");
  if (!remove.ok()) return remove.error();
  for (int64_t id : doomed) {
    if (Error e = remove->BindInt(1, id)) return e;
    if (Error e = remove->Run()) return e;
    if (Error e = remove->Reset()) return e;
  }
  return Error();
}

Result<std::vector<VersionInfo>> PageVersions::List(std::string_view title) {
  Result<SqliteStatement> list = db_.Prepare(
      "SELECT id, address, found_time, replaced_time, size, length(data) FROM versions"
      " WHERE title = ?1 ORDER BY id DESC");
  if (!list.ok()) return list.error();
  if (Error e = list->BindText(1, title)) return e;
  std::vector<VersionInfo> versions;
  for (;;) {
    Result<bool> row = list->Step();
    if (!row.ok()) return row.error();
    if (!*row) return versions;
    VersionInfo info;
    info.id = list->Int(0);
    info.address = std::string(list->Text(1));
    info.found_time = FileTime{static_cast<uint64_t>(list->Int(2))};
    info.replaced_time = FileTime{static_cast<uint64_t>(list->Int(3))};
    info.size = static_cast<uint64_t>(list->Int(4));
    info.stored_size = static_cast<uint64_t>(list->Int(5));
    versions.push_back(std::move(info));
  }
}

Result<std::unique_ptr<PageRecord>> PageVersions::Load(std::string_view title, int64_t id) {
  Result<SqliteStatement> get = db_.Prepare(
      "SELECT address, found_time, size, data FROM versions WHERE title = ?1 AND id = ?2");
  if (!get.ok()) return get.error();
  if (Error e = get->BindText(1, title)) return e;
  if (Error e = get->BindInt(2, id)) return e;
  Result<bool> row = get->Step();
  if (!row.ok()) return row.error();
  if (!*row) return Error(err::kFileNotFound);
  const int64_t size = get->Int(2);
  if (size < 0) return Error(err::kInvalidData);
  Result<std::string> encoded = Decompress(get->Blob(3), static_cast<uint64_t>(size));
  if (!encoded.ok()) return encoded.error();
  auto record = std::make_unique<PageRecord>();
  if (Error e = DecodeVersionContent(*encoded, *record)) return e;
  record->title = std::string(title);
  record->SetAddress(std::string(get->Text(0)));
  record->updatedTime = FileTime{static_cast<uint64_t>(get->Int(1))};
  return record;
}

Error PageVersions::Rename(std::string_view old_title, std::string_view new_title) {
  if (old_title == new_title) return Error();
  SqliteTransaction transaction(db_);
  if (Error e = transaction.Begin()) return e;
  Result<SqliteStatement> drop = db_.Prepare("DELETE FROM versions WHERE title = ?1");
  if (!drop.ok()) return drop.error();
  if (Error e = drop->BindText(1, new_title)) return e;
  if (Error e = drop->Run()) return e;
  Result<SqliteStatement> move = db_.Prepare("UPDATE versions SET title = ?2 WHERE title = ?1");
  if (!move.ok()) return move.error();
  if (Error e = move->BindText(1, old_title)) return e;
  if (Error e = move->BindText(2, new_title)) return e;
  if (Error e = move->Run()) return e;
  return transaction.Commit();
}

Error PageVersions::Remove(std::string_view title) {
  Result<SqliteStatement> s = db_.Prepare("DELETE FROM versions WHERE title = ?1");
  if (!s.ok()) return s.error();
  if (Error e = s->BindText(1, title)) return e;
  return s->Run();
}

Error PageVersions::TrimAll(uint32_t keep) {
  std::vector<std::string> titles;
  Result<SqliteStatement> list = db_.Prepare("SELECT DISTINCT title FROM versions");
  if (!list.ok()) return list.error();
  for (;;) {
    Result<bool> row = list->Step();
    if (!row.ok()) return row.error();
    if (!*row) break;
    titles.emplace_back(list->Text(0));
  }
  SqliteTransaction transaction(db_);
  if (Error e = transaction.Begin()) return e;
  for (const std::string& title : titles) {
    if (Error e = Trim(title, keep)) return e;
  }
  return transaction.Commit();
}

Error PageVersions::RemoveAllBut(const std::vector<std::string>& titles) {
  SqliteTransaction transaction(db_);
  if (Error e = transaction.Begin()) return e;
  if (Error e = db_.Exec("CREATE TEMP TABLE IF NOT EXISTS live (title TEXT PRIMARY KEY)")) {
    return e;
  }
  if (Error e = db_.Exec("DELETE FROM live")) return e;
  Result<SqliteStatement> add = db_.Prepare("INSERT OR IGNORE INTO live (title) VALUES (?1)");
  if (!add.ok()) return add.error();
  for (const std::string& title : titles) {
    if (Error e = add->BindText(1, title)) return e;
    if (Error e = add->Run()) return e;
    if (Error e = add->Reset()) return e;
  }
  if (Error e = db_.Exec("DELETE FROM versions WHERE title NOT IN (SELECT title FROM live)")) {
    return e;
  }
  return transaction.Commit();
}

Error RenamePageVersions(const std::string& page_folder, std::string_view old_title,
                         std::string_view new_title) {
  Result<PageVersions> versions = PageVersions::OpenExisting(page_folder);
  if (!versions.ok()) return versions.error().IsNothingThere() ? Error() : versions.error();
  return versions->Rename(old_title, new_title);
}

Error RemovePageVersions(const std::string& page_folder, std::string_view title) {
  Result<PageVersions> versions = PageVersions::OpenExisting(page_folder);
  if (!versions.ok()) return versions.error().IsNothingThere() ? Error() : versions.error();
  return versions->Remove(title);
}

}  // namespace tw
