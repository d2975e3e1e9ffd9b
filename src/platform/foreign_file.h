// Files that belong to another program, such as a browser's profile: read without taking any lock,
// so that the program's own locking is never disturbed (File takes sharing locks, which a browser
// could trip over). What another program writes meanwhile may be read half-written; callers treat
// such input as untrusted anyway.
#pragma once

#include <cstdint>
#include <string>

#include "platform/error.h"

namespace tw {

// The whole file; fails with 2 when it is missing and with 8 when it is larger than max_bytes.
Result<std::string> ReadForeignFile(const std::string& path, uint64_t max_bytes);

// Copies the file to `to`, a new file of the caller's (mode 0600, failing with 80 when present);
// fails with 2 when `from` is missing and with 8 when it is larger than max_bytes.
Error CopyForeignFile(const std::string& from, const std::string& to, uint64_t max_bytes);

}  // namespace tw
