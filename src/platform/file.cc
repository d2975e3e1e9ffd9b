#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>
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

// Whether `path` still names the file open on `fd`. A writer publishes a page by renaming a new
// file over the old one, and a delete unlinks it: an open that waited for their lock may hold a
// file that nobody will ever see again under the name.
enum class PathHolds { kThisFile, kAnotherFile, kNothing };

Result<PathHolds> WhatPathHolds(const std::string& path, int fd) {
  struct stat held {};
  struct stat named {};
  if (::fstat(fd, &held) != 0) return Error::LastErrno();
  if (::stat(path.c_str(), &named) != 0) {
    if (errno == ENOENT) return PathHolds::kNothing;
    return Error::LastErrno();
  }
  const bool same = held.st_ino == named.st_ino && held.st_dev == named.st_dev;
  return same ? PathHolds::kThisFile : PathHolds::kAnotherFile;
}

// A name replaced this often while we open it is being rewritten without pause: in use.
constexpr int kMaxOpensOfReplacedFile = 16;

int OpenRetryingInterrupts(const char* path, int flags) {
  int fd;
  do {
    fd = ::open(path, flags, kNewFileMode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Makes the file with its lock already taken, so that nobody sees the new name unlocked: between
// a plain create and its lock, a reader could open the empty file and take it for a damaged one.
// The file is made without a name, locked, then linked under `path` (failing when the name is
// taken, as an exclusive create does). Where the file system cannot do that, nullopt: create it
// the plain way. Its close is not reported to the folder's watchers: the file was opened by no
// name.
std::optional<Result<UniqueFd>> CreateLocked(const std::string& path, Share share) {
  const size_t slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  UniqueFd fd(OpenRetryingInterrupts(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC));
  if (!fd.valid()) {
    if (errno == ENOENT || errno == ENOTDIR) return Result<UniqueFd>(Error(err::kPathNotFound));
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return std::nullopt;
    return Result<UniqueFd>(Error::LastErrno());
  }
  if (Error e = LockForSharing(fd.get(), share)) return Result<UniqueFd>(e);
  const std::string self = "/proc/self/fd/" + std::to_string(fd.get());
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0) {
    if (errno == EEXIST) return Result<UniqueFd>(Error::LastErrno());
    return std::nullopt;  // no /proc, or links not allowed here
  }
  return Result<UniqueFd>(std::move(fd));
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
  const int open_flags = O_CLOEXEC | (wants_write ? O_RDWR : O_RDONLY);
  const bool creates = options.disposition != Disposition::kOpenExisting;
  const bool only_new = options.disposition == Disposition::kCreateNew;
  for (int attempt = 0; attempt < kMaxOpensOfReplacedFile; ++attempt) {
    UniqueFd fd;
    Share share = options.share;
    bool locked = false;
    if (!only_new) {
      fd = UniqueFd(OpenRetryingInterrupts(path.c_str(), open_flags));
      if (!fd.valid() && (errno == EACCES || errno == EROFS) && options.access == Access::kRead &&
          wants_write) {
        // A read-only file cannot be opened for writing by anyone, so a shared lock on a
        // read-only descriptor still keeps every writer out.
        fd = UniqueFd(OpenRetryingInterrupts(path.c_str(), (open_flags & ~O_RDWR) | O_RDONLY));
        share = Share::kRead;
      }
      if (!fd.valid() && (errno != ENOENT || !creates)) return Error::LastErrno();
    }
    if (!fd.valid()) {
      std::optional<Result<UniqueFd>> created =
          options.lock_before_naming ? CreateLocked(path, share) : std::nullopt;
      if (created && created->ok()) {
        fd = std::move(**created);
        locked = true;
      } else if (created && created->error().code() == err::kFileExists && !only_new) {
        continue;  // made by someone else meanwhile: open theirs
      } else if (created) {
        return created->error();
      } else {
        const int plain_flags = open_flags | O_CREAT | (only_new ? O_EXCL : 0);
        fd = UniqueFd(OpenRetryingInterrupts(path.c_str(), plain_flags));
        // A file that could be created but is not found: its folder is what is missing.
        if (!fd.valid() && errno == ENOENT) return Error(err::kPathNotFound);
        if (!fd.valid()) return Error::LastErrno();
      }
    }

    const int raw_fd = fd.get();
    File file(std::move(fd), path, false);
    struct stat st {};
    if (::fstat(raw_fd, &st) == 0 && S_ISDIR(st.st_mode)) return Error(err::kAccessDenied);
    if (!locked) {
      if (Error e = LockForSharing(raw_fd, share)) return e;
    }
    Result<PathHolds> holds = WhatPathHolds(path, raw_fd);
    if (!holds.ok()) return holds.error();
    // A file removed meanwhile is gone for a reader. An open that may create keeps what it got:
    // whoever removed the file has already acted on it (taken a stop request, say).
    if (*holds == PathHolds::kNothing && !creates) return Error(err::kFileNotFound);
    if (*holds == PathHolds::kAnotherFile && !only_new) continue;  // open what the name holds now
    if (options.disposition == Disposition::kCreateAlways) {
      if (Error e = file.Truncate(0)) return e;
    }
    file.delete_on_close_ = options.delete_on_close;
    return file;
  }
  return Error(err::kSharingViolation);
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
