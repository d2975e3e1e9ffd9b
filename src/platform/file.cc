#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace tw {
namespace {

constexpr mode_t kNewFileMode = 0666;  // narrowed by the user's umask

// Takes the lock that stands for the open's sharing mode, without waiting.
Error LockForSharing(int fd, Share share) {
  struct flock lock {};
  lock.l_type = share == Share::kNone ? F_WRLCK : F_RDLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;  // the whole file, however long it grows
  for (;;) {
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) return Error();
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EACCES) return Error(err::kSharingViolation);
    return Error::LastErrno();
  }
}

}  // namespace

File::~File() { (void)Close(); }

File::File(File&& other) noexcept
    : fd_(std::move(other.fd_)),
      path_(std::move(other.path_)),
      delete_on_close_(std::exchange(other.delete_on_close_, false)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    (void)Close();
    fd_ = std::move(other.fd_);
    path_ = std::move(other.path_);
    delete_on_close_ = std::exchange(other.delete_on_close_, false);
  }
  return *this;
}

Result<File> File::Open(const std::string& path, const OpenOptions& options) {
  // An exclusive lock needs a descriptor open for writing, even for a reader that shares nothing.
  const bool wants_write = options.access == Access::kReadWrite || options.share == Share::kNone;
  int flags = O_CLOEXEC | (wants_write ? O_RDWR : O_RDONLY);
  switch (options.disposition) {
    case Disposition::kOpenExisting:
      break;
    case Disposition::kOpenAlways:
    case Disposition::kCreateAlways:
      flags |= O_CREAT;
      break;
    case Disposition::kCreateNew:
      flags |= O_CREAT | O_EXCL;
      break;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags, kNewFileMode);
  } while (fd < 0 && errno == EINTR);
  Share share = options.share;
  if (fd < 0 && (errno == EACCES || errno == EROFS) && options.access == Access::kRead &&
      wants_write) {
    // A read-only file cannot be opened for writing by anyone, so a shared lock on a read-only
    // descriptor still keeps every writer out.
    do {
      fd = ::open(path.c_str(), (flags & ~O_RDWR) | O_RDONLY, kNewFileMode);
    } while (fd < 0 && errno == EINTR);
    share = Share::kRead;
  }
  // A file that could be created but is not found: its folder is what is missing.
  if (fd < 0 && errno == ENOENT && (flags & O_CREAT)) return Error(err::kPathNotFound);
  if (fd < 0) return Error::LastErrno();

  File file(UniqueFd(fd), path, false);
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) return Error(err::kAccessDenied);
  if (Error e = LockForSharing(fd, share)) {
    // A file we created only to find it locked was not ours to create; an existing one stays.
    return e;
  }
  if (options.disposition == Disposition::kCreateAlways) {
    if (Error e = file.Truncate(0)) return e;
  }
  file.delete_on_close_ = options.delete_on_close;
  return file;
}

Error File::SetPermissions(uint32_t mode) {
  if (::fchmod(fd_.get(), static_cast<mode_t>(mode)) != 0) return Error::LastErrno();
  return Error();
}

Result<bool> IsFileInUse(const std::string& path) {
  UniqueFd fd;
  do {
    fd = UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  } while (!fd.valid() && errno == EINTR);
  if (!fd.valid()) return errno == ENOENT ? Result<bool>(false) : Result<bool>(Error::LastErrno());
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  if (::fcntl(fd.get(), F_OFD_GETLK, &lock) != 0) return Error::LastErrno();
  return lock.l_type != F_UNLCK;
}

Result<size_t> File::Read(void* buffer, size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd_.get(), buffer, size);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) return Error::LastErrno();
  }
}

Error File::ReadExact(void* buffer, size_t size) {
  auto* out = static_cast<char*>(buffer);
  while (size > 0) {
    Result<size_t> n = Read(out, size);
    if (!n.ok()) return n.error();
    if (*n == 0) return Error(err::kHandleEof);
    out += *n;
    size -= *n;
  }
  return Error();
}

Error File::WriteAll(const void* data, size_t size) {
  const auto* in = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd_.get(), in, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Error::LastErrno();
    }
    in += n;
    size -= static_cast<size_t>(n);
  }
  return Error();
}

Error File::Seek(uint64_t offset) {
  if (::lseek(fd_.get(), static_cast<off_t>(offset), SEEK_SET) < 0) return Error::LastErrno();
  return Error();
}

Result<uint64_t> File::Size() const {
  struct stat st {};
  if (::fstat(fd_.get(), &st) != 0) return Error::LastErrno();
  return static_cast<uint64_t>(st.st_size);
}

Error File::Truncate(uint64_t size) {
  if (::ftruncate(fd_.get(), static_cast<off_t>(size)) != 0) return Error::LastErrno();
  return Error();
}

Error File::Sync() {
  if (::fdatasync(fd_.get()) != 0) return Error::LastErrno();
  return Error();
}

Result<FileTime> File::LastWriteTime() const {
  struct stat st {};
  if (::fstat(fd_.get(), &st) != 0) return Error::LastErrno();
  return FileTime::FromTimespec(st.st_mtim);
}

Result<FileStamp> File::Stamp() const {
  struct stat st {};
  if (::fstat(fd_.get(), &st) != 0) return Error::LastErrno();
  return FileStamp{FileTime::FromTimespec(st.st_mtim), static_cast<FileId>(st.st_ino)};
}

Error File::SetLastWriteTime(FileTime t) {
  const timespec times[2] = {{0, UTIME_OMIT}, t.ToTimespec()};
  if (::futimens(fd_.get(), times) != 0) return Error::LastErrno();
  return Error();
}

Error File::Unlink() {
  if (::unlink(path_.c_str()) != 0) return Error::LastErrno();
  delete_on_close_ = false;
  return Error();
}

Error File::Close() {
  if (!fd_.valid()) return Error();
  Error result;
  if (delete_on_close_ && ::unlink(path_.c_str()) != 0 && errno != ENOENT) {
    result = Error::LastErrno();
  }
  if (!fd_.Close() && result.ok()) result = Error::LastErrno();
  delete_on_close_ = false;
  return result;
}

}  // namespace tw
