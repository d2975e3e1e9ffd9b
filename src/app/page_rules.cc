#include "app/page_rules.h"

#include <array>

#include "app/messages.h"
#include "foundation/ascii.h"
#include "foundation/utf8.h"
#include "pagefile/title.h"
#include "platform/url.h"

namespace tw::app {
namespace {

constexpr std::string_view kHttpPrefix = "http://";
constexpr std::string_view kHttpsPrefix = "https://";
// The longest address the dialogs take.
constexpr size_t kMaxDialogAddress = 2084;
// A taken title loses this many bytes before its number is appended.
constexpr size_t kNumberingCut = 2;

// The schemes the address parser knows; an address with another scheme word is not its business.
constexpr std::array<std::string_view, 12> kKnownSchemes = {
    "http", "https", "ftp",    "file", "gopher",     "mailto",
    "news", "nntp",  "telnet", "res",  "javascript", "vbscript"};

// The scheme word before the first ":", or "" when the text does not begin with one.
std::string_view SchemeWord(std::string_view address) {
  const size_t colon = address.find(':');
  if (colon == std::string_view::npos || colon == 0) return {};
  const std::string_view word = address.substr(0, colon);
  if (!((word[0] >= 'a' && word[0] <= 'z') || (word[0] >= 'A' && word[0] <= 'Z'))) return {};
  for (const char c : word) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '+' || c == '-' || c == '.';
    if (!ok) return {};
  }
  return word;
}

bool IsKnownScheme(std::string_view word) {
  for (const std::string_view known : kKnownSchemes) {
    if (EqualsIgnoreCase(word, known)) return true;
  }
  return false;
}

}  // namespace

std::optional<UserMessage> CheckAddressRules(std::string_view address) {
  if (address.empty()) return AddressRequiredMessage();
  if (address.size() > kMaxDialogAddress || address.find('\0') != std::string_view::npos) {
    return InvalidAddressMessage();
  }
  const std::string_view scheme = SchemeWord(address);
  // Typed without a scheme, or with one the parser does not know: taken as it is.
  if (scheme.empty() || !IsKnownScheme(scheme)) return std::nullopt;
  if (!EqualsIgnoreCase(scheme, "http") && !EqualsIgnoreCase(scheme, "https")) {
    return NotHttpMessage();
  }
  if (!CrackUrl(address).ok()) return InvalidAddressMessage();
  return std::nullopt;
}

std::string WithWebPrefix(std::string_view address) {
  if (HasHttpScheme(address)) return std::string(address);
  return std::string(kHttpPrefix) + std::string(address);
}

std::optional<UserMessage> CheckTitleRules(std::string_view title, size_t max_length, Field field) {
  if (title.empty()) return std::nullopt;
  switch (CheckTitle(title, "")) {
    case TitleProblem::kInvalidCharacter:
      return InvalidTitleMessage(field);
    case TitleProblem::kNone:
    case TitleProblem::kEmpty:
    case TitleProblem::kTooLong:
      break;
  }
  if (title.size() > max_length) return TooLongMessage(field);
  return std::nullopt;
}

std::string DialogTitleFromAddress(std::string_view address, size_t max_length) {
  if (address.starts_with(kHttpPrefix)) address.remove_prefix(kHttpPrefix.size());
  // Made usable as a file name: a "/" of the address must not name a folder.
  return CutUtf8Bytes(MakeTitleUsable(address), max_length);
}

std::string_view WithoutWebScheme(std::string_view address) {
  if (address.starts_with(kHttpPrefix)) {
    address.remove_prefix(kHttpPrefix.size());
  } else if (address.starts_with(kHttpsPrefix)) {
    address.remove_prefix(kHttpsPrefix.size());
  }
  return address;
}

std::string CurrentPageTitle(std::string_view title, std::string_view address, size_t max_length) {
  std::string made = CutUtf8Bytes(title, kMaxDerivedTitleLength);
  if (made.empty()) made = CutUtf8Bytes(WithoutWebScheme(address), kMaxDerivedTitleLength);
  return CutUtf8Bytes(MakeTitleUsable(made), max_length);
}

std::string CommandLineTitleFromAddress(std::string_view address) {
  std::string title = CutUtf8Bytes(WithoutWebScheme(address), kMaxDerivedTitleLength);
  if (!title.empty() && title.back() == '/') title.pop_back();
  return title;
}

std::string CommandLineAddress(std::string_view address) {
  if (address.starts_with(kHttpPrefix) || address.starts_with(kHttpsPrefix)) {
    return std::string(address);
  }
  return std::string(kHttpPrefix) + std::string(address);
}

std::string TitleKey(std::string_view title) { return AsciiLower(title); }

std::vector<std::string> NumberedTitles(const std::string& title) {
  std::vector<std::string> titles{title};
  const std::string base =
      CutUtf8Bytes(title, title.size() > kNumberingCut ? title.size() - kNumberingCut : 0);
  for (char number = '2'; number <= '9'; ++number) titles.push_back(base + number);
  return titles;
}

}  // namespace tw::app
