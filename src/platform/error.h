// The error value of the whole system.
//
// Errors carry the Windows error numbers that page files store (`errorCode`) and that callers
// compare: 2 and 18 mean "nothing there" and are never shown, 13 is a page file that is not one,
// 32 a file in use, 12xxx the network errors. errno values and libcurl codes are mapped onto these
// numbers in one place each (FromErrno here, the HTTP code for curl); nothing else invents numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tw {

namespace err {
inline constexpr uint32_t kFileNotFound = 2;
inline constexpr uint32_t kPathNotFound = 3;
inline constexpr uint32_t kTooManyOpenFiles = 4;
inline constexpr uint32_t kAccessDenied = 5;
inline constexpr uint32_t kNotEnoughMemory = 8;
inline constexpr uint32_t kInvalidData = 13;
inline constexpr uint32_t kNotSameDevice = 17;
inline constexpr uint32_t kNoMoreFiles = 18;
inline constexpr uint32_t kWriteProtect = 19;
inline constexpr uint32_t kGenFailure = 31;
inline constexpr uint32_t kSharingViolation = 32;
inline constexpr uint32_t kHandleEof = 38;
inline constexpr uint32_t kFileExists = 80;
inline constexpr uint32_t kInvalidParameter = 87;
inline constexpr uint32_t kDiskFull = 112;
inline constexpr uint32_t kInsufficientBuffer = 122;
inline constexpr uint32_t kDirNotEmpty = 145;
inline constexpr uint32_t kBusy = 170;
inline constexpr uint32_t kAlreadyExists = 183;
inline constexpr uint32_t kFilenameTooLong = 206;
inline constexpr uint32_t kOperationAborted = 995;  // a wait ended by a stop request
inline constexpr uint32_t kIoDevice = 1117;
inline constexpr uint32_t kTimeout = 1460;
// Network errors (the 12xxx range of the retrieval layer).
inline constexpr uint32_t kInternetTimeout = 12002;
inline constexpr uint32_t kInternetExtendedError = 12003;
inline constexpr uint32_t kInternetInternalError = 12004;
inline constexpr uint32_t kInternetInvalidUrl = 12005;
inline constexpr uint32_t kInternetUnrecognizedScheme = 12006;
inline constexpr uint32_t kInternetNameNotResolved = 12007;
inline constexpr uint32_t kInternetShutdown = 12012;
inline constexpr uint32_t kInternetOperationCancelled = 12017;
inline constexpr uint32_t kInternetItemNotFound = 12028;  // also: too many redirects
inline constexpr uint32_t kInternetCannotConnect = 12029;
inline constexpr uint32_t kInternetConnectionAborted = 12030;  // the connection was reset or cut
inline constexpr uint32_t kInternetConnectionReset = 12031;
inline constexpr uint32_t kInternetSecCertDateInvalid = 12037;
inline constexpr uint32_t kInternetSecCertCnInvalid = 12038;
inline constexpr uint32_t kInternetSecCertErrors = 12055;
inline constexpr uint32_t kInternetSecCertRevoked = 12170;
inline constexpr uint32_t kInternetSecInvalidCert = 12169;
inline constexpr uint32_t kInternetSecurityChannelError = 12157;
inline constexpr uint32_t kInternetInvalidCa = 12045;
inline constexpr uint32_t kHttpHeaderNotFound = 12150;
inline constexpr uint32_t kHttpInvalidServerResponse = 12152;
inline constexpr uint32_t kHttpRedirectFailed = 12156;
}  // namespace err

// Success, or one Windows-numbered error. `if (Error e = Call()) return e;` propagates failure.
class [[nodiscard]] Error {
 public:
  constexpr Error() = default;
  constexpr explicit Error(uint32_t code) : code_(code) {}

  // The number for an errno value; unknown values become 31 (a device or system failure).
  static Error FromErrno(int errno_value);
  // FromErrno(errno).
  static Error LastErrno();

  constexpr bool ok() const { return code_ == 0; }
  constexpr explicit operator bool() const { return code_ != 0; }
  constexpr uint32_t code() const { return code_; }
  // Errors 2 and 18 tell that something is not there; they are never reported to the user.
  constexpr bool IsNothingThere() const {
    return code_ == err::kFileNotFound || code_ == err::kNoMoreFiles;
  }
  constexpr bool operator==(const Error&) const = default;

 private:
  uint32_t code_ = 0;
};

// A value, or the error that prevented it.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}  // NOLINT: implicit by design
  Result(Error error) : state_(error) {}         // NOLINT: implicit by design

  bool ok() const { return std::holds_alternative<T>(state_); }
  Error error() const { return ok() ? Error() : std::get<Error>(state_); }
  T& value() & { return std::get<T>(state_); }
  const T& value() const& { return std::get<T>(state_); }
  T&& value() && { return std::get<T>(std::move(state_)); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }

 private:
  std::variant<T, Error> state_;
};

}  // namespace tw
