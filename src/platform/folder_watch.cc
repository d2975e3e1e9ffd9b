#include "platform/folder_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace tw {

FolderWatch::~FolderWatch() { Close(); }

FolderWatch::FolderWatch(FolderWatch&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FolderWatch& FolderWatch::operator=(FolderWatch&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

Result<FolderWatch> FolderWatch::Create(const std::string& folder) {
  const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) return Error::LastErrno();
  FolderWatch watch(fd);
  const uint32_t mask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY |
                        IN_CLOSE_WRITE | IN_ATTRIB | IN_ONLYDIR;
  if (::inotify_add_watch(fd, folder.c_str(), mask) < 0) return Error::LastErrno();
  return watch;
}

bool FolderWatch::Rearm() {
  if (fd_ < 0) return false;
  bool any = false;
  alignas(inotify_event) char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n > 0) {
      any = true;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return any;  // EAGAIN: drained
  }
}

void FolderWatch::Close() {
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

}  // namespace tw
