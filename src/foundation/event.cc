#include "foundation/event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace tw {

Event::Event(EventReset reset, bool initially_set)
    : fd_(::eventfd(initially_set ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK)), reset_(reset) {}

Event::~Event() = default;

void Event::Set() {
  if (!fd_.valid()) return;
  const uint64_t one = 1;
  // The counter only needs to be non-zero; a full counter (EAGAIN) is still set.
  while (::write(fd_.get(), &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void Event::Reset() {
  if (!fd_.valid()) return;
  uint64_t value;
  while (::read(fd_.get(), &value, sizeof value) < 0 && errno == EINTR) {
  }
}

bool Event::IsSet() const {
  if (!fd_.valid()) return false;
  pollfd p{fd_.get(), POLLIN, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

bool Event::TryAcquire() {
  if (reset_ == EventReset::kManual) return IsSet();
  uint64_t value;
  for (;;) {
    if (::read(fd_.get(), &value, sizeof value) == sizeof value) return true;
    if (errno != EINTR) return false;  // EAGAIN: someone else took it
  }
}

bool Event::Wait(Timeout timeout) { return WaitForAny({this}, timeout).signaled(); }

}  // namespace tw
