// Trying a file operation again while someone has the file open for a moment: a reader, a writer
// replacing a page, a page database probing the lock. The operation is tried again every
// kInUsePause while it fails with 32 (a sharing violation), at most kInUseAttempts times in all,
// so that a file held for a moment is waited for and one held for good is reported after about a
// second. A wait ends at once when one of the `cancel` objects is set. Any thread.
#pragma once

#include <initializer_list>
#include <thread>

#include "foundation/waitable.h"
#include "platform/error.h"

namespace tw {

inline constexpr int kInUseAttempts = 50;
inline constexpr Timeout kInUsePause{20};

inline Error ErrorOf(const Error& e) { return e; }
template <class T>
Error ErrorOf(const Result<T>& r) {
  return r.error();
}

// `operation` returns an Error or a Result. A caller with something it must not lose (a check's
// outcome) may wait longer: `attempts` tries in all, each kInUsePause apart.
template <class Operation>
auto RetryWhileInUse(Operation operation, std::initializer_list<Waitable*> cancel = {},
                     int attempts = kInUseAttempts) {
  auto result = operation();
  for (int attempt = 1; attempt < attempts && ErrorOf(result).code() == err::kSharingViolation;
       ++attempt) {
    if (cancel.size() == 0) {
      std::this_thread::sleep_for(kInUsePause);
    } else if (WaitForAny(cancel, kInUsePause).signaled()) {
      break;
    }
    result = operation();
  }
  return result;
}

}  // namespace tw
