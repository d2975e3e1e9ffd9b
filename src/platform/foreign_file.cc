#include "platform/foreign_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "foundation/unique_fd.h"

namespace tw {
namespace {

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
Result<UniqueFd> OpenCapped(const std::string& path, uint64_t max_bytes) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (!fd.valid()) return Error::LastErrno();
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return Error(err::kAccessDenied);
  if (static_cast<uint64_t>(st.st_size) > max_bytes) return Error(err::kNotEnoughMemory);
  return Result<UniqueFd>(std::move(fd));
}

}  // namespace

Result<std::string> ReadForeignFile(const std::string& path, uint64_t max_bytes) {
  Result<UniqueFd> opened = OpenCapped(path, max_bytes);
  if (!opened.ok()) return opened.error();
  const UniqueFd& fd = *opened;
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
  Result<UniqueFd> opened = OpenCapped(from, max_bytes);
  if (!opened.ok()) return opened.error();
  const UniqueFd& in = *opened;
  UniqueFd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!out.valid()) return Error::LastErrno();
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
  // A copy whose close fails may not be whole on the disk.
  if (!out.Close()) return Error::LastErrno();
  return Error();
}

}  // namespace tw
