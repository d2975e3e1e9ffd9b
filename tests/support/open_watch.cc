#include "support/open_watch.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>

namespace tw::test {

OpenWatch::OpenWatch(const std::string& folder, std::string name) : name_(std::move(name)) {
  fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  EXPECT_GE(fd_, 0) << std::strerror(errno);
  if (fd_ >= 0) {
    EXPECT_GE(::inotify_add_watch(fd_, folder.c_str(), IN_OPEN), 0);
  }
}

OpenWatch::~OpenWatch() {
  if (fd_ >= 0) ::close(fd_);
}

int OpenWatch::Count() {
  alignas(inotify_event) char buffer[16 * 1024];
  for (;;) {
    const ssize_t n = fd_ < 0 ? -1 : ::read(fd_, buffer, sizeof buffer);
    if (n <= 0) return count_;
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (event->len > 0 && name_ == event->name) ++count_;
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
}

}  // namespace tw::test
