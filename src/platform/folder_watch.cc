#include "platform/folder_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace tw {

FolderWatch::~FolderWatch() { Close(); }

FolderWatch::FolderWatch(FolderWatch&& other) noexcept : fd_(std::move(other.fd_)) {}

FolderWatch& FolderWatch::operator=(FolderWatch&& other) noexcept {
  if (this != &other) {
    fd_ = std::move(other.fd_);
  }
  return *this;
}

Result<FolderWatch> FolderWatch::Create(const std::string& folder) {
  UniqueFd fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (!fd.valid()) return Error::LastErrno();
  const int raw = fd.get();
  FolderWatch watch(std::move(fd));
  const uint32_t mask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY |
                        IN_CLOSE_WRITE | IN_ATTRIB | IN_ONLYDIR;
  if (::inotify_add_watch(raw, folder.c_str(), mask) < 0) return Error::LastErrno();
  return watch;
}

bool FolderWatch::Rearm() {
  return Rearm([](std::string_view) { return true; });
}

bool FolderWatch::Rearm(const std::function<bool(std::string_view name)>& relevant) {
  if (!fd_.valid()) return false;
  bool any = false;
  alignas(inotify_event) char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd_.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return any;  // EAGAIN: drained
    for (ssize_t pos = 0; pos + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + pos);
      pos += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      // The name field is padded with zeros; an event without a name is about the folder itself.
      std::string_view name(event->name, event->len ? ::strnlen(event->name, event->len) : 0);
      if (event->mask & IN_Q_OVERFLOW) name = {};
      if (relevant(name) || name.empty()) any = true;
    }
  }
}

void FolderWatch::Close() { (void)fd_.Close(); }

}  // namespace tw
