#include "platform/http_headers.h"

#include <curl/curl.h>

#include "foundation/ascii.h"

namespace tw {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view WithoutLineEnd(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// "HTTP/1.1 200 OK" -> 200; 0 when the status is not three digits.
uint16_t ParseStatusLine(std::string_view line) {
  const size_t space = line.find(' ');
  if (space == std::string_view::npos) return 0;
  std::string_view rest = line.substr(space + 1);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  if (rest.size() < 3) return 0;
  uint16_t status = 0;
  for (size_t i = 0; i < 3; ++i) {
    if (rest[i] < '0' || rest[i] > '9') return 0;
    status = static_cast<uint16_t>(status * 10 + (rest[i] - '0'));
  }
  if (rest.size() > 3 && rest[3] != ' ') return 0;
  return status;
}

}  // namespace

void ResponseHeaders::Clear() { *this = ResponseHeaders(); }

void ResponseHeaders::AddLine(std::string_view raw) {
  const std::string_view line = WithoutLineEnd(raw);
  if (StartsWithIgnoreCase(line, "HTTP/")) {
    Clear();
    status_ = ParseStatusLine(line);
    bytes_ = raw.size();
    return;
  }
  // Trailers and anything else after the end of the block do not belong to it.
  if (complete_ || invalid_) return;
  bytes_ += raw.size();
  if (bytes_ > kMaxHeaderBlockBytes) {
    invalid_ = true;
    fields_.clear();
    return;
  }
  if (line.empty()) {
    complete_ = true;
    return;
  }
  if (IsBlank(line.front())) {
    // An obsolete folded line continues the previous field's value.
    if (fields_.empty()) return;
    const std::string_view more = TrimBlanks(line);
    std::string& value = fields_.back().second;
    if (!more.empty()) {
      if (!value.empty()) value.push_back(' ');
      value.append(more);
    }
    return;
  }
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0) return;
  const std::string_view name = line.substr(0, colon);
  for (char c : name) {
    if (IsBlank(c)) return;
  }
  if (fields_.size() >= kMaxHeaderFields) {
    invalid_ = true;
    fields_.clear();
    return;
  }
  fields_.emplace_back(std::string(name), std::string(TrimBlanks(line.substr(colon + 1))));
}

std::optional<std::string_view> ResponseHeaders::Find(std::string_view name) const {
  for (const auto& [field, value] : fields_) {
    if (EqualsIgnoreCase(field, name)) return std::string_view(value);
  }
  return std::nullopt;
}

std::optional<FileTime> ParseHttpDate(std::string_view text) {
  // Real dates are short; a long value is no date and is not worth the parser's time.
  constexpr size_t kMaxDateLength = 128;
  text = TrimBlanks(text);
  if (text.empty() || text.size() > kMaxDateLength) return std::nullopt;
  const std::string terminated(text);
  if (terminated.find('\0') != std::string::npos) return std::nullopt;
  const time_t seconds = curl_getdate(terminated.c_str(), nullptr);
  if (seconds == -1) return std::nullopt;
  const FileTime time = FileTime::FromUnixSeconds(static_cast<int64_t>(seconds));
  if (time.IsZero()) return std::nullopt;
  return time;
}

std::optional<uint64_t> ParseDecimal(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty() || text.size() > 19) return std::nullopt;  // 19 digits always fit
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value;
}

}  // namespace tw
