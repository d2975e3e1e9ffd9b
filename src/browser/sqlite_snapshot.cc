#include "browser/sqlite_snapshot.h"

#include <sqlite3.h>

#include <utility>

#include "platform/file_system.h"
#include "platform/foreign_file.h"

namespace tw {
namespace {

constexpr const char* kCopyName = "copy.sqlite";
// What SQLite needs beside the database to see what the browser committed last.
constexpr const char* kCompanionSuffixes[] = {"-wal", "-journal"};

}  // namespace

std::string_view SqliteRow::Text(int column) const {
  const unsigned char* text = sqlite3_column_text(statement_, column);
  if (!text) return {};
  return std::string_view(reinterpret_cast<const char*>(text),
                          static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
}

std::string_view SqliteRow::Bytes(int column) const {
  const void* bytes = sqlite3_column_blob(statement_, column);
  if (!bytes) return {};
  return std::string_view(static_cast<const char*>(bytes),
                          static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
}

int64_t SqliteRow::Int(int column) const { return sqlite3_column_int64(statement_, column); }

bool SqliteRow::IsNull(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

Result<SqliteSnapshot> SqliteSnapshot::Open(const std::string& path, uint64_t max_bytes) {
  Result<PrivateFolder> folder = PrivateFolder::Create("tidewell-db");
  if (!folder.ok()) return folder.error();
  SqliteSnapshot snapshot;
  snapshot.folder_ = std::make_unique<PrivateFolder>(std::move(*folder));
  const std::string copy = JoinPath(snapshot.folder_->path(), kCopyName);
  if (Error e = CopyForeignFile(path, copy, max_bytes)) return e;
  // Without them the copy may lack what the browser wrote last; usually there are none.
  for (const char* suffix : kCompanionSuffixes) {
    const Error e = CopyForeignFile(path + suffix, copy + suffix, max_bytes);
    if (e && e.code() != err::kFileNotFound) return e;
  }

  // Read-write on our private copy, so that SQLite can fold the log into it.
  if (sqlite3_open_v2(copy.c_str(), &snapshot.db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    return Error(err::kInvalidData);
  }
  sqlite3_db_config(snapshot.db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(snapshot.db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  // Opening is lazy; a first read tells whether the copy is a database at all.
  if (snapshot.ForEachRow("SELECT count(*) FROM sqlite_master",
                          [](const SqliteRow&) { return true; })) {
    return Error(err::kInvalidData);
  }
  return snapshot;
}

SqliteSnapshot::SqliteSnapshot(SqliteSnapshot&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), folder_(std::move(other.folder_)) {}

SqliteSnapshot& SqliteSnapshot::operator=(SqliteSnapshot&& other) noexcept {
  if (this != &other) {
    Close();
    db_ = std::exchange(other.db_, nullptr);
    folder_ = std::move(other.folder_);
  }
  return *this;
}

SqliteSnapshot::~SqliteSnapshot() { Close(); }

void SqliteSnapshot::Close() {
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
  folder_.reset();
}

Error SqliteSnapshot::ForEachRow(std::string_view sql,
                                 const std::function<bool(const SqliteRow&)>& row) {
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
    if (rc == SQLITE_NOMEM) return Error(err::kNotEnoughMemory);
    if (rc != SQLITE_ROW) return Error(err::kInvalidData);
    if (!row(SqliteRow(statement))) return Error();
  }
}

bool SqliteSnapshot::HasColumn(std::string_view table, std::string_view column) {
  bool found = false;
  const std::string sql = "SELECT name FROM pragma_table_info('" + std::string(table) + "')";
  (void)ForEachRow(sql, [&](const SqliteRow& row) {
    found = row.Text(0) == column;
    return !found;
  });
  return found;
}

}  // namespace tw
