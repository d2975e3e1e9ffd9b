#include "platform/url_cache.h"

#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "platform/file_system.h"
#include "platform/user_dirs.h"

namespace tw {
namespace {

constexpr std::string_view kMarkPrefix = "TWNS:";
constexpr int kBusyTimeoutMs = 5000;
constexpr auto kBusyRetryPause = std::chrono::milliseconds(5);
constexpr const char* kSchema = "CREATE TABLE IF NOT EXISTS marks (key BLOB PRIMARY KEY)";

// The one place SQLite's result codes become the system's error numbers.
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

std::string KeyOf(std::string_view address) {
  std::string key(kMarkPrefix);
  key += address;
  return key;
}

struct Statement {
  sqlite3_stmt* stmt = nullptr;
  ~Statement() { sqlite3_finalize(stmt); }
};

}  // namespace

struct UrlCache::Connection {
  sqlite3* db = nullptr;
  ~Connection() { sqlite3_close_v2(db); }

  Error Exec(const char* sql) {
    return FromSqlite(sqlite3_exec(db, sql, nullptr, nullptr, nullptr));
  }

  // Switching a new database to WAL needs it alone for a moment, and SQLite answers a second
  // process that opens it at that moment with "busy" at once, without its busy handler; so wait
  // here as long as the busy time-out would.
  Error SetWalMode() {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    for (;;) {
      const Error e = Exec("PRAGMA journal_mode=WAL");
      if (e.code() != err::kBusy || std::chrono::steady_clock::now() >= deadline) return e;
      std::this_thread::sleep_for(kBusyRetryPause);
    }
  }

  // Runs one statement with the key bound; the statement's last step result.
  int RunWithKey(const char* sql, std::string_view address) {
    Statement s;
    int rc = sqlite3_prepare_v2(db, sql, -1, &s.stmt, nullptr);
    if (rc != SQLITE_OK) return rc;
    const std::string key = KeyOf(address);
    rc = sqlite3_bind_blob(s.stmt, 1, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) return rc;
    return sqlite3_step(s.stmt);
  }
};

UrlCache::UrlCache(std::unique_ptr<Connection> connection) : connection_(std::move(connection)) {}
UrlCache::UrlCache(UrlCache&&) noexcept = default;
UrlCache& UrlCache::operator=(UrlCache&&) noexcept = default;
UrlCache::~UrlCache() = default;

Result<UrlCache> UrlCache::OpenUser() {
  Result<std::string> data = DataHome();
  if (!data.ok()) return data.error();
  const std::string folder = JoinPath(*data, "tidewell");
  if (Error e = CreateDirectories(folder)) return e;
  return Open(JoinPath(folder, "urlcache.sqlite"));
}

Result<UrlCache> UrlCache::Open(const std::string& path) {
  auto connection = std::make_unique<Connection>();
  const int rc =
      sqlite3_open_v2(path.c_str(), &connection->db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) return FromSqlite(rc);
  // Set before anything that takes a lock, so that a second process waits instead of failing.
  sqlite3_busy_timeout(connection->db, kBusyTimeoutMs);
  if (Error e = connection->SetWalMode()) return e;
  // In WAL mode a commit is durable enough at NORMAL: a crash can lose the last marks, never
  // the database.
  if (Error e = connection->Exec("PRAGMA synchronous=NORMAL")) return e;
  if (Error e = connection->Exec(kSchema)) return e;
  // Closing would otherwise checkpoint the log and sync the database every time, which makes a
  // one-call connection cost milliseconds; SQLite checkpoints on its own as the log grows.
  sqlite3_db_config(connection->db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  return UrlCache(std::move(connection));
}

Error UrlCache::Mark(std::string_view address) {
  return FromSqlite(
      connection_->RunWithKey("INSERT OR IGNORE INTO marks (key) VALUES (?1)", address));
}

Error UrlCache::MarkAll(std::span<const std::string> addresses) {
  if (addresses.empty()) return Error();
  if (Error e = connection_->Exec("BEGIN IMMEDIATE")) return e;
  Statement s;
  int rc = sqlite3_prepare_v2(connection_->db, "INSERT OR IGNORE INTO marks (key) VALUES (?1)", -1,
                              &s.stmt, nullptr);
  for (size_t i = 0; rc == SQLITE_OK && i < addresses.size(); ++i) {
    const std::string key = KeyOf(addresses[i]);
    rc = sqlite3_bind_blob(s.stmt, 1, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
    if (rc == SQLITE_OK) rc = sqlite3_step(s.stmt);
    if (rc == SQLITE_DONE) rc = sqlite3_reset(s.stmt);
  }
  if (rc != SQLITE_OK) {
    (void)connection_->Exec("ROLLBACK");
    return FromSqlite(rc);
  }
  // A commit that fails can leave the transaction open, and this connection lives as long as its
  // page database: it would keep every other process from marking.
  Error e = connection_->Exec("COMMIT");
  if (e && !sqlite3_get_autocommit(connection_->db)) (void)connection_->Exec("ROLLBACK");
  return e;
}

Result<bool> UrlCache::IsMarked(std::string_view address) {
  const int rc = connection_->RunWithKey("SELECT 1 FROM marks WHERE key = ?1", address);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  return FromSqlite(rc);
}

Error UrlCache::Unmark(std::string_view address) {
  return FromSqlite(connection_->RunWithKey("DELETE FROM marks WHERE key = ?1", address));
}

Error MarkAddress(std::string_view address) {
  Result<UrlCache> cache = UrlCache::OpenUser();
  return cache.ok() ? cache->Mark(address) : cache.error();
}

Result<bool> IsAddressMarked(std::string_view address) {
  Result<UrlCache> cache = UrlCache::OpenUser();
  if (!cache.ok()) return cache.error();
  return cache->IsMarked(address);
}

Error UnmarkAddress(std::string_view address) {
  Result<UrlCache> cache = UrlCache::OpenUser();
  return cache.ok() ? cache->Unmark(address) : cache.error();
}

}  // namespace tw
