// UniqueFd: the one owner of a file descriptor, which it closes when it goes. Every descriptor
// the system opens (files, eventfds, inotify watches) lives in one. Move-only; used by one thread
// at a time.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace tw {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      (void)Close();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~UniqueFd() { (void)Close(); }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

  // Closes the descriptor now; false (with errno set) when the close reported an error, which
  // for a file written to can mean its data did not reach the disk. The descriptor is gone
  // either way.
  bool Close() {
    if (fd_ < 0) return true;
    return ::close(std::exchange(fd_, -1)) == 0;
  }

 private:
  int fd_ = -1;
};

}  // namespace tw
