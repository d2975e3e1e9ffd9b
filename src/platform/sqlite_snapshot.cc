#include "platform/sqlite_snapshot.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

#include "platform/foreign_file.h"

namespace tw {
namespace {

constexpr const char* kCopyName = "/copy.sqlite";
constexpr const char* kCopySuffixes[] = {"", "-wal", "-shm", "-journal"};

Result<std::string> MakePrivateFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tidewell-db-XXXXXX";
  if (!::mkdtemp(pattern.data())) return Error::LastErrno();
  return pattern;
}

}  // namespace

std::string_view SqliteRow::Text(int column) const {
  const unsigned char* text = sqlite3_column_text(statement_, column);
  if (!text) return {};
  return std::string_view(reinterpret_cast<const char*>(text),
                          static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
}

int64_t SqliteRow::Int(int column) const { return sqlite3_column_int64(statement_, column); }

Result<SqliteSnapshot> SqliteSnapshot::Open(const std::string& path, uint64_t max_bytes) {
  Result<std::string> folder = MakePrivateFolder();
  if (!folder.ok()) return folder.error();
  SqliteSnapshot snapshot;
  snapshot.folder_ = std::move(*folder);
  const std::string copy = snapshot.folder_ + kCopyName;
  if (Error e = CopyForeignFile(path, copy, max_bytes)) return e;
  // Without its log the copy may lack what the browser wrote last; a missing log is normal.
  const Error wal = CopyForeignFile(path + "-wal", copy + "-wal", max_bytes);
  if (wal && wal.code() != err::kFileNotFound) return wal;

  // Read-write on our private copy, so that SQLite can fold the log into it.
  if (sqlite3_open_v2(copy.c_str(), &snapshot.db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    return Error(err::kInvalidData);
  }
  // The file is outside input: its views and triggers may not call functions with side effects.
  sqlite3_db_config(snapshot.db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(snapshot.db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  // Opening is lazy; a first read tells whether the copy is a database at all.
  if (snapshot.ForEachRow("SELECT count(*) FROM sqlite_master", [](const SqliteRow&) {})) {
    return Error(err::kInvalidData);
  }
  return snapshot;
}

SqliteSnapshot::SqliteSnapshot(SqliteSnapshot&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), folder_(std::exchange(other.folder_, {})) {}

SqliteSnapshot& SqliteSnapshot::operator=(SqliteSnapshot&& other) noexcept {
  if (this != &other) {
    Release();
    db_ = std::exchange(other.db_, nullptr);
    folder_ = std::exchange(other.folder_, {});
  }
  return *this;
}

SqliteSnapshot::~SqliteSnapshot() { Release(); }

void SqliteSnapshot::Release() {
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
  if (folder_.empty()) return;
  for (const char* suffix : kCopySuffixes) {
    ::unlink((folder_ + kCopyName + suffix).c_str());
  }
  ::rmdir(folder_.c_str());
  folder_.clear();
}

Error SqliteSnapshot::ForEachRow(std::string_view sql,
                                 const std::function<void(const SqliteRow&)>& row) {
  if (!db_) return Error(err::kInvalidData);
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &statement, nullptr) !=
      SQLITE_OK) {
    return Error(err::kInvalidData);
  }
  std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> owned(statement, sqlite3_finalize);
  for (;;) {
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_DONE) return Error();
    if (rc != SQLITE_ROW) return Error(err::kInvalidData);
    row(SqliteRow(statement));
  }
}

}  // namespace tw
