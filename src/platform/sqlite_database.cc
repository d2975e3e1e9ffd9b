#include "platform/sqlite_database.h"

#include <sqlite3.h>

#include <chrono>
#include <thread>
#include <utility>

namespace tw {
namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr auto kBusyRetryPause = std::chrono::milliseconds(5);

}  // namespace

Error FromSqlite(int code) {
  switch (code & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
      return Error();
    case SQLITE_NOMEM:
      return Error(err::kNotEnoughMemory);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return Error(err::kBusy);
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return Error(err::kAccessDenied);
    case SQLITE_READONLY:
      return Error(err::kWriteProtect);
    case SQLITE_CANTOPEN:
      return Error(err::kPathNotFound);
    case SQLITE_FULL:
      return Error(err::kDiskFull);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
      return Error(err::kInvalidData);
    case SQLITE_IOERR:
      return Error(err::kIoDevice);
    case SQLITE_TOOBIG:
      return Error(err::kFilenameTooLong);
    default:
      return Error(err::kGenFailure);
  }
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : statement_(std::exchange(other.statement_, nullptr)) {}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(statement_); }

Error SqliteStatement::BindText(int index, std::string_view text) {
  return FromSqlite(sqlite3_bind_text64(statement_, index, text.data(), text.size(),
                                        SQLITE_TRANSIENT, SQLITE_UTF8));
}

Error SqliteStatement::BindBlob(int index, std::string_view bytes) {
  // A zero-length blob with a null pointer would bind NULL.
  return FromSqlite(sqlite3_bind_blob64(statement_, index, bytes.empty() ? "" : bytes.data(),
                                        bytes.size(), SQLITE_TRANSIENT));
}

Error SqliteStatement::BindInt(int index, int64_t value) {
  return FromSqlite(sqlite3_bind_int64(statement_, index, value));
}

Result<bool> SqliteStatement::Step() {
  const int rc = sqlite3_step(statement_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  return FromSqlite(rc);
}

Error SqliteStatement::Run() {
  for (;;) {
    Result<bool> row = Step();
    if (!row.ok()) return row.error();
    if (!*row) return Error();
  }
}

Error SqliteStatement::Reset() {
  const int rc = sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
  return FromSqlite(rc);
}

std::string_view SqliteStatement::Text(int column) const {
  const unsigned char* text = sqlite3_column_text(statement_, column);
  if (!text) return {};
  return {reinterpret_cast<const char*>(text),
          static_cast<size_t>(sqlite3_column_bytes(statement_, column))};
}

std::string_view SqliteStatement::Blob(int column) const {
  const void* blob = sqlite3_column_blob(statement_, column);
  if (!blob) return {};
  return {static_cast<const char*>(blob),
          static_cast<size_t>(sqlite3_column_bytes(statement_, column))};
}

int64_t SqliteStatement::Int(int column) const { return sqlite3_column_int64(statement_, column); }

Result<SqliteDatabase> SqliteDatabase::Open(const std::string& path, Disposition disposition,
                                            std::string_view schema) {
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX;
  if (disposition == Disposition::kCreate) flags |= SQLITE_OPEN_CREATE;
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  SqliteDatabase db(raw);  // owns the handle, also when the open failed
  if (rc != SQLITE_OK) return FromSqlite(rc);
  // Set before anything that takes a lock, so that a second process waits instead of failing.
  sqlite3_busy_timeout(db.db_, kBusyTimeoutMs);
  if (Error e = db.SetWalMode()) return e;
  if (Error e = db.Exec("PRAGMA synchronous=NORMAL")) return e;
  if (!schema.empty()) {
    if (Error e = db.Exec(schema)) return e;
  }
  // Closing would otherwise checkpoint the log and sync the database every time, which makes a
  // one-call connection cost milliseconds; SQLite checkpoints on its own as the log grows.
  sqlite3_db_config(db.db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  return db;
}

SqliteDatabase::SqliteDatabase(SqliteDatabase&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)) {}

SqliteDatabase& SqliteDatabase::operator=(SqliteDatabase&& other) noexcept {
  if (this != &other) {
    sqlite3_close_v2(db_);
    db_ = std::exchange(other.db_, nullptr);
  }
  return *this;
}

SqliteDatabase::~SqliteDatabase() { sqlite3_close_v2(db_); }

Error SqliteDatabase::Exec(std::string_view sql) {
  const std::string text(sql);
  return FromSqlite(sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr));
}

Result<SqliteStatement> SqliteDatabase::Prepare(std::string_view sql) {
  sqlite3_stmt* statement = nullptr;
  const int rc =
      sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &statement, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(statement);
    return FromSqlite(rc);
  }
  return SqliteStatement(statement);
}

Error SqliteDatabase::Begin() { return Exec("BEGIN IMMEDIATE"); }

Error SqliteDatabase::Commit() {
  Error e = Exec("COMMIT");
  if (e && !sqlite3_get_autocommit(db_)) Rollback();
  return e;
}

void SqliteDatabase::Rollback() { (void)Exec("ROLLBACK"); }

// Switching a new database to WAL needs it alone for a moment, and SQLite answers a second
// process that opens it at that moment with "busy" at once, without its busy handler; so wait
// here as long as the busy time-out would.
Error SqliteDatabase::SetWalMode() {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
  for (;;) {
    const Error e = Exec("PRAGMA journal_mode=WAL");
    if (e.code() != err::kBusy || std::chrono::steady_clock::now() >= deadline) return e;
    std::this_thread::sleep_for(kBusyRetryPause);
  }
}

}  // namespace tw
