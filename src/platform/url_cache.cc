#include "platform/url_cache.h"

#include <set>
#include <vector>

#include "foundation/ascii.h"
#include "platform/file_system.h"
#include "platform/sqlite_database.h"
#include "platform/user_dirs.h"

namespace tw {
namespace {

constexpr std::string_view kMarkPrefix = "TWNS:";
constexpr std::string_view kSchema = "CREATE TABLE IF NOT EXISTS marks (key BLOB PRIMARY KEY)";

std::string KeyOf(std::string_view address) {
  std::string key(kMarkPrefix);
  key += address;
  return key;
}

}  // namespace

struct UrlCache::Connection {
  SqliteDatabase db;

  // Runs one statement with the key bound: whether it gave a row.
  Result<bool> RunWithKey(std::string_view sql, std::string_view address) {
    Result<SqliteStatement> s = db.Prepare(sql);
    if (!s.ok()) return s.error();
    if (Error e = s->BindBlob(1, KeyOf(address))) return e;
    return s->Step();
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
  Result<SqliteDatabase> db =
      SqliteDatabase::Open(path, SqliteDatabase::Disposition::kCreate, kSchema);
  if (!db.ok()) return db.error();
  return UrlCache(std::make_unique<Connection>(Connection{std::move(*db)}));
}

Error UrlCache::Mark(std::string_view address) {
  return connection_->RunWithKey("INSERT OR IGNORE INTO marks (key) VALUES (?1)", address).error();
}

Error UrlCache::MarkAll(std::span<const std::string> addresses) {
  if (addresses.empty()) return Error();
  SqliteDatabase& db = connection_->db;
  SqliteTransaction transaction(db);
  if (Error e = transaction.Begin()) return e;
  Result<SqliteStatement> s = db.Prepare("INSERT OR IGNORE INTO marks (key) VALUES (?1)");
  if (!s.ok()) return s.error();
  for (const std::string& address : addresses) {
    if (Error e = s->BindBlob(1, KeyOf(address))) return e;
    if (Error e = s->Run()) return e;
    if (Error e = s->Reset()) return e;
  }
  // A commit that fails rolls back: this connection lives as long as its page database, and an
  // open transaction would keep every other process from marking.
  return transaction.Commit();
}

Result<bool> UrlCache::IsMarked(std::string_view address) {
  return connection_->RunWithKey("SELECT 1 FROM marks WHERE key = ?1", address);
}

Error UrlCache::Unmark(std::string_view address) {
  return connection_->RunWithKey("DELETE FROM marks WHERE key = ?1", address).error();
}

Error UrlCache::UnmarkAllExcept(std::span<const std::string> keep) {
  const std::set<std::string_view> kept(keep.begin(), keep.end());
  SqliteDatabase& db = connection_->db;
  SqliteTransaction transaction(db);
  if (Error e = transaction.Begin()) return e;
  std::vector<std::string> doomed;
  {
    Result<SqliteStatement> s = db.Prepare("SELECT key FROM marks");
    if (!s.ok()) return s.error();
    for (;;) {
      Result<bool> row = s->Step();
      if (!row.ok()) return row.error();
      if (!*row) break;
      const std::string_view key = s->Blob(0);
      if (StartsWithIgnoreCase(key, kMarkPrefix) &&
          !kept.contains(key.substr(kMarkPrefix.size()))) {
        doomed.emplace_back(key);
      }
    }
  }
  Result<SqliteStatement> s = db.Prepare("DELETE FROM marks WHERE key = ?1");
  if (!s.ok()) return s.error();
  for (const std::string& key : doomed) {
    if (Error e = s->BindBlob(1, key)) return e;
    if (Error e = s->Run()) return e;
    if (Error e = s->Reset()) return e;
  }
  return transaction.Commit();
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
