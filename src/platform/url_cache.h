// The URL-cache marks: a persistent set of addresses the system already knows (every watched
// page's address, and the addresses Smart History has proposed), shared by all processes of the
// user. A mark's key is "TWNS:" followed by the address, compared exactly.
//
// The set lives in a SQLite database, $XDG_DATA_HOME/tidewell/urlcache.sqlite (default
// ~/.local/share/tidewell/urlcache.sqlite), in write-ahead-log mode with a busy time-out, so that
// several processes read and write it at once. A damaged database fails each call with 13; callers
// treat a mark as a hint and never let its failure change their own result.
//
// A UrlCache is one connection: use it from one thread at a time. The free functions open the
// user's cache for one call.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/error.h"

struct sqlite3;

namespace tw {

class UrlCache {
 public:
  // The current user's cache, made (with its folder) when missing.
  static Result<UrlCache> OpenUser();
  static Result<UrlCache> Open(const std::string& path);

  UrlCache(UrlCache&&) noexcept;
  UrlCache& operator=(UrlCache&&) noexcept;
  ~UrlCache();

  Error Mark(std::string_view address);
  // Marks every address in one transaction (loading a page folder marks them all).
  Error MarkAll(std::span<const std::string> addresses);
  Result<bool> IsMarked(std::string_view address);
  // Succeeds also when there was no mark.
  Error Unmark(std::string_view address);
  // Removes, in one transaction, every mark whose key begins with "TWNS:" (letter case aside)
  // and whose address is none of `keep` (compared exactly).
  Error UnmarkAllExcept(std::span<const std::string> keep);

 private:
  struct Connection;
  explicit UrlCache(std::unique_ptr<Connection> connection);
  std::unique_ptr<Connection> connection_;
};

// One call each on the current user's cache.
Error MarkAddress(std::string_view address);
Result<bool> IsAddressMarked(std::string_view address);
Error UnmarkAddress(std::string_view address);

}  // namespace tw
