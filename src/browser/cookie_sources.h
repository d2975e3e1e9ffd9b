// The cookies that browsers keep, read from their own files: a Netscape cookies.txt, Firefox's
// cookies.sqlite and the Cookies database of Chromium-based browsers (whose values are encrypted;
// see chromium_crypto.h). Databases are read from a private copy (SqliteSnapshot), so a running
// browser is never disturbed.
//
// Threads: any; each call reads its files anew.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "platform/file_time.h"

namespace tw {

// Records kept from one source at most; a cookie store larger than this is no real browser's.
inline constexpr size_t kMaxCookieRecords = 100000;
// Caps on the files read.
inline constexpr uint64_t kMaxCookieFileBytes = 32 << 20;
inline constexpr uint64_t kMaxCookieDatabaseBytes = 256 << 20;

struct CookieRecord {
  std::string domain;  // ".example.org" for a domain cookie, "www.example.org" for a host cookie
  std::string path = "/";
  bool secure = false;
  bool http_only = false;
  int64_t expires = 0;  // Unix seconds; 0 for a cookie that lives as long as the browser session
  std::string name;
  std::string value;
  // When the browser last wrote the cookie, as near as its store tells; zero when unknown.
  FileTime written;
};

// The records of a Netscape cookie file (seven tab-separated fields per line, "#HttpOnly_" before
// the domain of an HTTP-only cookie, other "#" lines comments). Malformed lines are passed over.
std::vector<CookieRecord> ParseCookiesTxt(std::string_view text);

// The records of a Firefox cookies.sqlite: the default container's cookies only. Fails when the
// database is missing or its copy cannot be read.
Result<std::vector<CookieRecord>> ReadFirefoxCookies(const std::string& path);

// Asked once, at the first value that needs the secret store's key: the browser's password there,
// or nullopt.
using SecretPasswordSource = std::function<std::optional<std::string>()>;

// The records of a Chromium Cookies database, values decrypted; cookies whose value no key opens,
// and partitioned cookies, are left out. Fails like ReadFirefoxCookies.
Result<std::vector<CookieRecord>> ReadChromiumCookies(const std::string& path,
                                                      const SecretPasswordSource& secret_password);

// The password a Chromium-based browser keeps in the desktop's secret store under its
// application name ("chromium", "chrome", "brave" ...), or nullopt when no store answers.
std::optional<std::string> ChromiumSecretPassword(const std::string& application);

}  // namespace tw
