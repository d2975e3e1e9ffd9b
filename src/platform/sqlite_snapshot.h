// SqliteSnapshot: a browser's SQLite database read without disturbing the browser.
//
// The database and its write-ahead log are copied, without any lock, into a private temporary
// folder (mode 0700) and the copy is opened; the browser's files and locks are never touched. A
// copy taken while the browser writes may be stale or unreadable: that is a failed read, never
// harm to the browser. The copy is removed when the snapshot goes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/error.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tw {

// One result row while a query runs; valid only inside the row callback.
class SqliteRow {
 public:
  explicit SqliteRow(sqlite3_stmt* statement) : statement_(statement) {}
  // A column as text ("" for NULL) and as a number (0 for NULL).
  std::string_view Text(int column) const;
  int64_t Int(int column) const;

 private:
  sqlite3_stmt* statement_;
};

class SqliteSnapshot {
 public:
  // Copies `path` (and `path`-wal when present) and opens the copy. Fails with 2 when the
  // database is missing, 8 when a file is larger than max_bytes, 13 when the copy is no database.
  static Result<SqliteSnapshot> Open(const std::string& path, uint64_t max_bytes);

  SqliteSnapshot(SqliteSnapshot&&) noexcept;
  SqliteSnapshot& operator=(SqliteSnapshot&&) noexcept;
  ~SqliteSnapshot();

  // Runs one statement and calls `row` for every result row; fails with 13 when the statement
  // does not fit the database (a table or column it names is missing, say).
  Error ForEachRow(std::string_view sql, const std::function<void(const SqliteRow&)>& row);

 private:
  SqliteSnapshot() = default;
  void Release();

  sqlite3* db_ = nullptr;
  std::string folder_;
};

}  // namespace tw
