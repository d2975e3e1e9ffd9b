// The header block of one HTTP response, as the server sent it, and the HTTP date format.
//
// Everything here is outside input: a block is capped in size and in fields, and a block over the
// cap is marked so that the transfer fails as an invalid response instead of growing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_time.h"

namespace tw {

// Size caps of one header block.
inline constexpr size_t kMaxHeaderBlockBytes = 256 * 1024;
inline constexpr size_t kMaxHeaderFields = 1000;

class ResponseHeaders {
 public:
  // Adds one raw line, with or without its line end. A status line ("HTTP/...") starts a new
  // block, so that interim 1xx responses are forgotten; a blank line ends the block.
  void AddLine(std::string_view line);
  void Clear();

  // The status of the block's status line; 0 when there was none or it was not a number.
  uint16_t status() const { return status_; }
  // The blank line that ends the block has come.
  bool complete() const { return complete_; }
  // The block went past a cap; such a response is invalid. Lines that are no header field are
  // passed over, as lenient clients do.
  bool invalid() const { return invalid_; }

  // The value of the first field with this name (compared without regard to case), with the
  // surrounding blanks removed.
  std::optional<std::string_view> Find(std::string_view name) const;
  const std::vector<std::pair<std::string, std::string>>& fields() const { return fields_; }

 private:
  std::vector<std::pair<std::string, std::string>> fields_;
  size_t bytes_ = 0;
  uint16_t status_ = 0;
  bool complete_ = false;
  bool invalid_ = false;
};

// An HTTP date (RFC 1123, RFC 850, asctime and the usual variants) as a time; nullopt when the
// text is no date.
std::optional<FileTime> ParseHttpDate(std::string_view text);

// A header value that is a plain decimal number (blanks around it allowed); nullopt otherwise.
std::optional<uint64_t> ParseDecimal(std::string_view text);

}  // namespace tw
