// SqliteSnapshot: a browser's SQLite database read without disturbing the browser.
//
// A browser holds its databases open, often in exclusive locking mode, and writes them all the
// time. So the database and its write-ahead log or rollback journal are copied, without taking
// any lock, into a private folder (PrivateFolder), and the copy is opened; the browser's files and
// locks are never touched. SQLite then folds the log into the copy, or rolls back a transaction
// the journal says was under way, so the copy shows what the browser had committed. A copy taken
// while the browser writes may still be unreadable: that is a failed read, never harm to the
// browser. The copy goes with the snapshot.
//
// The file is outside input: the connection is defensive (no functions with side effects from
// the schema), and what a query returns is checked by its caller like any other outside input.
//
// Threads: one thread at a time per snapshot.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/private_folder.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tw {

// One result row while a query runs; valid only inside the row callback.
class SqliteRow {
 public:
  explicit SqliteRow(sqlite3_stmt* statement) : statement_(statement) {}
  // A column as text ("" for NULL), as bytes (a BLOB as stored) and as a number (0 for NULL).
  std::string_view Text(int column) const;
  std::string_view Bytes(int column) const;
  int64_t Int(int column) const;
  bool IsNull(int column) const;

 private:
  sqlite3_stmt* statement_;
};

class SqliteSnapshot {
 public:
  // Copies `path` (and its -wal or -journal file when present) and opens the copy. Fails with 2
  // when the database is missing, 8 when a file is larger than max_bytes, 13 when the copy is no
  // database.
  static Result<SqliteSnapshot> Open(const std::string& path, uint64_t max_bytes);

  SqliteSnapshot(SqliteSnapshot&&) noexcept;
  SqliteSnapshot& operator=(SqliteSnapshot&&) noexcept;
  ~SqliteSnapshot();

  // Runs one statement and calls `row` for every result row; fails with 13 when the statement
  // does not fit the database (a table or column it names is missing, say) or the database turns
  // out damaged while it is read. Returning false from `row` ends the query early.
  Error ForEachRow(std::string_view sql, const std::function<bool(const SqliteRow&)>& row);
  // Whether the table has the column (schemas grow between browser versions).
  bool HasColumn(std::string_view table, std::string_view column);

 private:
  SqliteSnapshot() = default;
  void Close();

  sqlite3* db_ = nullptr;
  std::unique_ptr<PrivateFolder> folder_;  // after db_ in destruction order: closed, then removed
};

}  // namespace tw
