// SqliteDatabase: a SQLite database of our own that several processes read and write at once.
//
// The database is kept in write-ahead-log mode with a busy time-out, so that a writer waits for
// another instead of failing, and readers never wait for writers. A commit is synced at NORMAL:
// a process killed mid-write loses at most its own transaction, never the database. SQLite's
// result codes become the system's error numbers here, in one place.
//
// One object is one connection: use it from one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/error.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tw {

// The system's error for a SQLite result code (success for OK, ROW and DONE).
Error FromSqlite(int code);

class SqliteStatement {
 public:
  SqliteStatement(SqliteStatement&& other) noexcept;
  SqliteStatement& operator=(SqliteStatement&&) = delete;
  ~SqliteStatement();

  // Parameters count from 1. Text and blobs are copied.
  Error BindText(int index, std::string_view text);
  Error BindBlob(int index, std::string_view bytes);
  Error BindInt(int index, int64_t value);

  // The next row: true while there is one, false at the end.
  Result<bool> Step();
  // Runs the statement to its end.
  Error Run();
  // Ready to run again with new parameters.
  Error Reset();

  // Columns of the current row, counting from 0; NULL reads as "" and 0.
  std::string_view Text(int column) const;
  std::string_view Blob(int column) const;
  int64_t Int(int column) const;

 private:
  friend class SqliteDatabase;
  explicit SqliteStatement(sqlite3_stmt* statement) : statement_(statement) {}
  sqlite3_stmt* statement_;
};

class SqliteDatabase {
 public:
  enum class Disposition { kCreate, kOpenExisting };
  // Opens (or creates) the database at `path` and runs `schema` (statements that must leave an
  // existing database as it is, such as CREATE TABLE IF NOT EXISTS).
  static Result<SqliteDatabase> Open(const std::string& path, Disposition disposition,
                                     std::string_view schema);

  SqliteDatabase(SqliteDatabase&&) noexcept;
  SqliteDatabase& operator=(SqliteDatabase&&) noexcept;
  ~SqliteDatabase();

  Error Exec(std::string_view sql);
  Result<SqliteStatement> Prepare(std::string_view sql);

  // BEGIN IMMEDIATE: the write lock is taken now (waiting out other writers), so that a
  // read-then-write inside the transaction cannot fail half-way for a writer that came between.
  Error Begin();
  // A commit that fails rolls back, so that no transaction stays open to block other processes.
  Error Commit();
  void Rollback();

 private:
  explicit SqliteDatabase(sqlite3* db) : db_(db) {}
  Error SetWalMode();

  sqlite3* db_ = nullptr;
};

// Rolls back on destruction unless committed.
class SqliteTransaction {
 public:
  explicit SqliteTransaction(SqliteDatabase& db) : db_(db) {}
  SqliteTransaction(const SqliteTransaction&) = delete;
  SqliteTransaction& operator=(const SqliteTransaction&) = delete;
  ~SqliteTransaction() {
    if (open_) db_.Rollback();
  }
  Error Begin() {
    Error e = db_.Begin();
    open_ = e.ok();
    return e;
  }
  Error Commit() {
    open_ = false;
    return db_.Commit();
  }

 private:
  SqliteDatabase& db_;
  bool open_ = false;
};

}  // namespace tw
