#include "platform/error_text.h"

#include <algorithm>
#include <iterator>

#include "platform/error.h"

namespace tw {
namespace {

struct Entry {
  uint32_t code;
  std::string_view text;
};

// Sorted by number.
constexpr Entry kTexts[] = {
    {err::kFileNotFound, "The file could not be found."},
    {err::kPathNotFound, "The folder could not be found."},
    {err::kTooManyOpenFiles, "Too many files are open."},
    {err::kAccessDenied, "Access was denied."},
    // Also what a download larger than Tidewell accepts fails with.
    {err::kNotEnoughMemory, "Not enough memory, or the data is larger than Tidewell accepts."},
    {err::kInvalidData, "The file holds data that Tidewell cannot read."},
    {err::kNotSameDevice, "The file cannot be moved to another disk."},
    {err::kNoMoreFiles, "There are no more files."},
    {err::kWriteProtect, "The disk is write-protected."},
    {err::kGenFailure, "A device or system error occurred."},
    {err::kSharingViolation, "The file is in use by another program."},
    {err::kHandleEof, "The file ended too early."},
    {err::kFileExists, "The file already exists."},
    {err::kInvalidParameter, "A value passed to an operation is not valid."},
    {err::kDiskFull, "There is not enough space on the disk."},
    // A download whose body ended before the length its server announced.
    {err::kInsufficientBuffer, "The data ended before the length that was announced."},
    {err::kDirNotEmpty, "The folder is not empty."},
    {err::kBusy, "The resource is busy."},
    {err::kAlreadyExists, "A file or folder of that name already exists."},
    {err::kFilenameTooLong, "The file name or path is too long."},
    {err::kOperationAborted, "The operation was stopped."},
    {err::kIoDevice, "An input or output error occurred on the device."},
    {err::kTimeout, "The operation did not end in time."},
    {err::kInternetTimeout, "The server did not answer in time."},
    {err::kInternetExtendedError, "The server reported an error."},
    {err::kInternetInternalError, "An internal error occurred in the network layer."},
    {err::kInternetInvalidUrl, "The address is not valid."},
    {err::kInternetUnrecognizedScheme, "The address does not use a supported protocol."},
    {err::kInternetNameNotResolved, "The server name could not be resolved."},
    {err::kInternetShutdown, "The network layer is shutting down."},
    {err::kInternetOperationCancelled, "The request was cancelled."},
    // Also the text shown for a page whose stored error is 2 (not found).
    {err::kInternetItemNotFound, "The page could not be found, or it redirected too many times."},
    {err::kInternetCannotConnect, "A connection to the server could not be made."},
    {err::kInternetConnectionAborted, "The connection to the server was cut off."},
    {err::kInternetConnectionReset, "The connection to the server was reset."},
    {err::kInternetSecCertDateInvalid, "The server's certificate has expired or is not yet valid."},
    {err::kInternetSecCertCnInvalid, "The server's certificate was issued for another name."},
    {err::kInternetInvalidCa,
     "The server's certificate comes from an authority that is not trusted."},
    {err::kInternetSecCertErrors, "The server's certificate has errors."},
    {err::kHttpHeaderNotFound, "An expected header is missing from the server's answer."},
    {err::kHttpInvalidServerResponse, "The server's answer is not a valid HTTP response."},
    {err::kHttpRedirectFailed, "A redirection could not be followed."},
    {err::kInternetSecurityChannelError, "A secure connection to the server could not be made."},
    {err::kInternetSecInvalidCert, "The server's certificate is not valid."},
    {err::kInternetSecCertRevoked, "The server's certificate has been revoked."},
};

static_assert(std::is_sorted(std::begin(kTexts), std::end(kTexts),
                             [](const Entry& a, const Entry& b) { return a.code < b.code; }),
              "the error texts must stay sorted by number");

}  // namespace

std::optional<std::string_view> ErrorText(uint32_t code) {
  const auto it = std::lower_bound(std::begin(kTexts), std::end(kTexts), code,
                                   [](const Entry& e, uint32_t key) { return e.code < key; });
  if (it == std::end(kTexts) || it->code != code) return std::nullopt;
  return it->text;
}

}  // namespace tw
