#include "platform/error.h"

#include <cerrno>

namespace tw {

// The one place where errno values become the system's error numbers.
Error Error::FromErrno(int e) {
  switch (e) {
    case 0:
      return Error();
    case ENOENT:
      return Error(err::kFileNotFound);
    case ENOTDIR:
      return Error(err::kPathNotFound);
    case EMFILE:
    case ENFILE:
      return Error(err::kTooManyOpenFiles);
    case EACCES:
    case EPERM:
    case EISDIR:
      return Error(err::kAccessDenied);
    case ENOMEM:
      return Error(err::kNotEnoughMemory);
    case EWOULDBLOCK:  // a lock another open holds
      return Error(err::kSharingViolation);
    case EROFS:
      return Error(err::kWriteProtect);
    case EEXIST:
      return Error(err::kFileExists);
    case EINVAL:
      return Error(err::kInvalidParameter);
    case ENOSPC:
    case EDQUOT:
      return Error(err::kDiskFull);
    case ENOTEMPTY:
      return Error(err::kDirNotEmpty);
    case EBUSY:
      return Error(err::kBusy);
    case ENAMETOOLONG:
      return Error(err::kFilenameTooLong);
    case EXDEV:
      return Error(err::kNotSameDevice);
    case EIO:
      return Error(err::kIoDevice);
    default:
      return Error(err::kGenFailure);
  }
}

Error Error::LastErrno() { return FromErrno(errno); }

}  // namespace tw
