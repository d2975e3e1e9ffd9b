#include "checking/cookies.h"

#include <algorithm>
#include <unordered_set>

#include "foundation/ascii.h"
#include "platform/url.h"

namespace tw {
namespace {

constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";

bool IsSafe(const CookieRecord& r) {
  return !r.domain.empty() && !HasControlCharacter(r.domain) && !HasControlCharacter(r.path) &&
         !HasControlCharacter(r.name) && !HasControlCharacter(r.value);
}

bool IsExpired(const CookieRecord& r, int64_t now_unix) {
  return r.expires != 0 && r.expires <= now_unix;
}

std::string EntryKey(const CookieRecord& r) {
  std::string_view domain = r.domain;
  while (!domain.empty() && domain.front() == '.') domain.remove_prefix(1);
  return AsciiLower(domain) + AsciiLower(r.path.empty() ? "/" : r.path);
}

bool IsIpLiteral(std::string_view host) {
  if (!host.empty() && host.front() == '[') return true;
  return !host.empty() && std::all_of(host.begin(), host.end(),
                                      [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
}

}  // namespace

CookieSet::CookieSet(std::vector<CookieRecord> records) {
  std::unordered_set<std::string> seen;
  for (CookieRecord& record : records) {
    std::string key = EntryKey(record);
    if (!seen.insert(key + '\0' + record.name).second) continue;
    entries_[key].push_back(records_.size());
    records_.push_back(std::move(record));
  }
}

std::string CookieSet::HeaderFor(std::string_view address, int64_t now_unix) const {
  if (records_.empty()) return "";
  Result<UrlParts> parts = CrackUrl(address);
  if (!parts.ok()) return "";
  const bool https = parts->scheme == "https";
  std::string_view path = parts->path;
  path = path.substr(0, path.find('?'));
  const size_t last_slash = path.rfind('/');
  std::string location = parts->host;
  if (last_slash != std::string_view::npos && last_slash > 0) {
    location.append(path.substr(0, last_slash + 1));
  }
  if (location.empty() || location.back() != '/') location.push_back('/');
  location = AsciiLower(location);
  const bool ip_host = IsIpLiteral(parts->host);

  for (;;) {
    if (auto it = entries_.find(location); it != entries_.end()) {
      std::string list;
      for (size_t index : it->second) {
        const CookieRecord& r = records_[index];
        if (IsExpired(r, now_unix) || (r.secure && !https) || !IsSafe(r)) continue;
        if (!list.empty()) list.append("; ");
        list.append(r.name).append("=").append(r.value);
      }
      if (!list.empty()) return list;
    }
    if (location.back() == '/') {
      location.pop_back();
      if (location.empty()) return "";
      continue;
    }
    const size_t slash = location.rfind('/');
    if (slash != std::string::npos) {
      location.resize(slash + 1);
      continue;
    }
    // A bare host: its parent domain, while that keeps at least two labels.
    if (ip_host || std::count(location.begin(), location.end(), '.') < 2) return "";
    location = location.substr(location.find('.') + 1) + "/";
  }
}

std::vector<std::string> NetscapeLines(std::span<const CookieRecord> records, int64_t now_unix,
                                       bool https) {
  std::vector<std::string> lines;
  lines.reserve(records.size());
  for (const CookieRecord& r : records) {
    if (IsExpired(r, now_unix) || (r.secure && !https) || !IsSafe(r)) continue;
    std::string line;
    if (r.http_only) line.append(kHttpOnlyPrefix);
    line.append(r.domain)
        .append(r.domain.front() == '.' ? "\tTRUE\t" : "\tFALSE\t")
        .append(r.path.empty() ? "/" : r.path)
        .append(r.secure ? "\tTRUE\t" : "\tFALSE\t")
        .append(std::to_string(r.expires))
        .append("\t")
        .append(r.name)
        .append("\t")
        .append(r.value);
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace tw
