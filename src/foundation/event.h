// Manual- and auto-reset events on an eventfd, so that a thread can wait for them together
// with descriptors and message queues (WaitForAny).
//
// A manual-reset event stays set until Reset; an auto-reset event is cleared by the one wait
// that takes it. Every member may be called from any thread. An event whose descriptor could not
// be made is invalid: Set does nothing and every wait on it fails, so owners test valid().
#pragma once

#include "foundation/unique_fd.h"
#include "foundation/waitable.h"

namespace tw {

enum class EventReset { kManual, kAuto };

class Event final : public Waitable {
 public:
  explicit Event(EventReset reset, bool initially_set = false);
  ~Event() override;
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  bool valid() const { return fd_.valid(); }
  void Set();
  void Reset();
  // Whether the event is set, without consuming it (also for auto-reset events).
  bool IsSet() const;
  // Waits for the event; an auto-reset event is consumed. False on time-out or failure.
  bool Wait(Timeout timeout = kInfinite);

  int wait_fd() const override { return fd_.get(); }
  bool TryAcquire() override;

 private:
  UniqueFd fd_;
  EventReset reset_;
};

}  // namespace tw
