// Waitable objects and the one wait that serves every thread of the system.
//
// An event, a message queue and a plain descriptor (an inotify watch, say) can all be waited on
// together with a time-out. WaitForAny reports the first signalled object in the order given, so
// callers list their handles by priority, as the threads of the system do.
#pragma once

#include <chrono>
#include <cstddef>
#include <initializer_list>
#include <span>

namespace tw {

using Timeout = std::chrono::milliseconds;
inline constexpr Timeout kInfinite{-1};

// Anything with a descriptor that polls readable while the object is signalled.
class Waitable {
 public:
  virtual ~Waitable() = default;
  virtual int wait_fd() const = 0;
  // Called when wait_fd() polls readable. An auto-reset object consumes its signal here and
  // returns false when another waiter was quicker; others just answer whether they are signalled.
  virtual bool TryAcquire() = 0;
};

// What ended a wait: the object that woke it, a time-out or a failure. Callers ask by the object
// (`woke.Is(stop_event())`), so that adding an object to a wait renumbers nothing.
struct WaitResult {
  static constexpr int kTimeout = -1;
  static constexpr int kFailed = -2;
  int index = kFailed;  // position of the signalled object in the list
  const Waitable* object = nullptr;

  bool signaled() const { return index >= 0; }
  bool timed_out() const { return index == kTimeout; }
  bool failed() const { return index == kFailed; }
  bool Is(const Waitable& waitable) const { return object == &waitable; }
};

// Waits until one of the objects is signalled (null entries are skipped), the time-out passes
// (kInfinite: never) or the wait fails (an invalid object among them).
WaitResult WaitForAny(std::span<Waitable* const> objects, Timeout timeout);
WaitResult WaitForAny(std::initializer_list<Waitable*> objects, Timeout timeout);

}  // namespace tw
