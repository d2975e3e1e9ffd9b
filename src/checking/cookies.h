// The browser's cookies as the retrieval layer sends them.
//
// Records come from the cookie sources of the browsers (browser/cookie_sources.h); the records of
// one host and path form one entry, keyed "host/path" (the domain without its leading dot, lower
// case). A request for an address sends the entry that the lookup finds first, walking from the
// address's folder up its path and then to its parent domains (see HeaderFor). Expired records,
// secure records over plain HTTP and records that are unsafe in a header line are never sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "browser/cookie_sources.h"

namespace tw {

// The records as lines of a Netscape cookie file, for libcurl's own engine: without the records
// that are expired or unsafe in a header line, and without secure ones unless `https`.
std::vector<std::string> NetscapeLines(std::span<const CookieRecord> records, int64_t now_unix,
                                       bool https);

class CookieSet {
 public:
  CookieSet() = default;
  // Earlier records win over later ones of the same entry and name.
  explicit CookieSet(std::vector<CookieRecord> records);

  // The cookie list for a request ("a=1; b=2"), or "" when none is to be sent.
  //
  // The lookup starts at the address's host followed by its path up to the last "/", and tries
  // in turn: without the trailing "/"; cut after the last "/"; and once only the host is left,
  // the host without its first label (while it has at least two dots; never for an IP address),
  // with "/" appended. The first entry with a record that may be sent is sent, all of it.
  std::string HeaderFor(std::string_view address, int64_t now_unix) const;

  const std::vector<CookieRecord>& records() const { return records_; }
  size_t size() const { return records_.size(); }

 private:
  std::vector<CookieRecord> records_;
  std::unordered_map<std::string, std::vector<size_t>> entries_;  // entry key -> records
};

}  // namespace tw
