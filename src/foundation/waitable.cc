#include "foundation/waitable.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

namespace tw {

WaitResult WaitForAny(std::span<Waitable* const> objects, Timeout timeout) {
  using Clock = std::chrono::steady_clock;
  // Longer waits than a century would overflow the clock; poll takes at most INT_MAX ms a call.
  constexpr Timeout kLongestWait = std::chrono::hours(24 * 365 * 100);
  const bool infinite = timeout < Timeout::zero();
  const auto deadline =
      Clock::now() + (infinite ? Timeout::zero() : std::min(timeout, kLongestWait));

  std::vector<pollfd> fds;
  std::vector<int> index_of;
  fds.reserve(objects.size());
  for (size_t i = 0; i < objects.size(); ++i) {
    if (objects[i] == nullptr) continue;
    const int fd = objects[i]->wait_fd();
    if (fd < 0) return WaitResult{WaitResult::kFailed};
    fds.push_back(pollfd{fd, POLLIN, 0});
    index_of.push_back(static_cast<int>(i));
  }

  for (;;) {
    int wait_ms = -1;
    if (!infinite) {
      const auto left = std::chrono::ceil<Timeout>(deadline - Clock::now());
      wait_ms = static_cast<int>(std::clamp<Timeout::rep>(left.count(), 0, INT_MAX));
    }
    const int n = ::poll(fds.data(), fds.size(), wait_ms);
    if (n < 0) {
      if (errno == EINTR) continue;
      return WaitResult{WaitResult::kFailed};
    }
    for (size_t k = 0; k < fds.size(); ++k) {
      if (fds[k].revents & (POLLNVAL | POLLERR)) return WaitResult{WaitResult::kFailed};
      if ((fds[k].revents & (POLLIN | POLLHUP)) && objects[index_of[k]]->TryAcquire()) {
        return WaitResult{index_of[k], objects[index_of[k]]};
      }
    }
    // Nothing ready, or another waiter consumed an auto-reset signal first.
    if (!infinite && Clock::now() >= deadline) return WaitResult{WaitResult::kTimeout};
  }
}

WaitResult WaitForAny(std::initializer_list<Waitable*> objects, Timeout timeout) {
  return WaitForAny(std::span<Waitable* const>(objects.begin(), objects.size()), timeout);
}

}  // namespace tw
