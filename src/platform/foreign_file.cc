#include "platform/foreign_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tw {
namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

Result<size_t> ReadSome(int fd, char* buffer, size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd, buffer, size);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) return Error::LastErrno();
  }
}

Error WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Error::LastErrno();
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return Error();
}

// Opens a regular file for reading and checks its size against the cap.
Result<int> OpenCapped(const std::string& path, uint64_t max_bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return Error::LastErrno();
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Error(err::kAccessDenied);
  }
  if (static_cast<uint64_t>(st.st_size) > max_bytes) {
    ::close(fd);
    return Error(err::kNotEnoughMemory);
  }
  return fd;
}

}  // namespace

Result<std::string> ReadForeignFile(const std::string& path, uint64_t max_bytes) {
  Result<int> opened = OpenCapped(path, max_bytes);
  if (!opened.ok()) return opened.error();
  const Fd fd(*opened);
  std::string data;
  char buffer[1 << 16];
  for (;;) {
    Result<size_t> n = ReadSome(fd.get(), buffer, sizeof buffer);
    if (!n.ok()) return n.error();
    if (*n == 0) break;
    // The file may grow while we read it; the cap holds for what we keep.
    if (*n > max_bytes - data.size()) return Error(err::kNotEnoughMemory);
    data.append(buffer, *n);
  }
  return data;
}

Error CopyForeignFile(const std::string& from, const std::string& to, uint64_t max_bytes) {
  Result<int> opened = OpenCapped(from, max_bytes);
  if (!opened.ok()) return opened.error();
  const Fd in(*opened);
  const Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (out.get() < 0) return Error::LastErrno();
  uint64_t copied = 0;
  char buffer[1 << 16];
  for (;;) {
    Result<size_t> n = ReadSome(in.get(), buffer, sizeof buffer);
    if (!n.ok()) return n.error();
    if (*n == 0) break;
    copied += *n;
    if (copied > max_bytes) return Error(err::kNotEnoughMemory);
    if (Error e = WriteAll(out.get(), buffer, *n)) return e;
  }
  return Error();
}

}  // namespace tw
