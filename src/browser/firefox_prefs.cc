#include "browser/firefox_prefs.h"

#include <array>

namespace tw {
namespace {

constexpr std::array<std::string_view, 4> kPrefFunctions = {"user_pref", "pref", "sticky_pref",
                                                            "lock_pref"};

// A cursor over the text with the few token kinds the file format has.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  bool AtEnd() {
    SkipSpaceAndComments();
    return pos_ >= text_.size();
  }

  bool Take(char c) {
    SkipSpaceAndComments();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  std::string_view Word() {
    SkipSpaceAndComments();
    const size_t start = pos_;
    while (pos_ < text_.size() && (IsWordChar(text_[pos_]))) ++pos_;
    return text_.substr(start, pos_ - start);
  }

  // A quoted string with the escapes the browser writes (\" \\ \n \r \t \xHH \uHHHH).
  std::optional<std::string> String() {
    SkipSpaceAndComments();
    if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\'')) return std::nullopt;
    const char quote = text_[pos_++];
    std::string out;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == quote) return out;
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (pos_ >= text_.size()) break;
      const char e = text_[pos_++];
      switch (e) {
        case 'n':
          out.push_back('\n');
          break;
        case 'r':
          out.push_back('\r');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'x':
          AppendCodePoint(Hex(2), out, /*as_byte=*/true);
          break;
        case 'u':
          AppendCodePoint(Hex(4), out, /*as_byte=*/false);
          break;
        default:
          out.push_back(e);
      }
    }
    return std::nullopt;  // no closing quote
  }

  // Passes over everything up to and including the next ";" (or to the end).
  void SkipStatement() {
    while (pos_ < text_.size()) {
      if (text_[pos_] == '"' || text_[pos_] == '\'') {
        if (!String()) return;
        continue;
      }
      if (text_[pos_++] == ';') return;
    }
  }

 private:
  static bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '+';
  }

  uint32_t Hex(size_t digits) {
    uint32_t value = 0;
    for (size_t i = 0; i < digits && pos_ < text_.size(); ++i) {
      const char c = text_[pos_];
      int digit = -1;
      if (c >= '0' && c <= '9') digit = c - '0';
      if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      if (digit < 0) break;
      value = value * 16 + static_cast<uint32_t>(digit);
      ++pos_;
    }
    return value;
  }

  static void AppendCodePoint(uint32_t cp, std::string& out, bool as_byte) {
    if (as_byte || cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }

  void SkipSpaceAndComments() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        ++pos_;
      } else if (c == '#' || text_.substr(pos_, 2) == "//") {
        const size_t end = text_.find('\n', pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end + 1;
      } else if (text_.substr(pos_, 2) == "/*") {
        const size_t end = text_.find("*/", pos_ + 2);
        pos_ = end == std::string_view::npos ? text_.size() : end + 2;
      } else {
        return;
      }
    }
  }

  std::string_view text_;
  size_t pos_ = 0;
};

std::optional<int64_t> ParseNumber(std::string_view word) {
  bool negative = false;
  if (!word.empty() && (word.front() == '-' || word.front() == '+')) {
    negative = word.front() == '-';
    word.remove_prefix(1);
  }
  if (word.empty() || word.size() > 18) return std::nullopt;
  int64_t value = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

std::optional<FirefoxPrefValue> ParseValue(Scanner& scanner) {
  if (std::optional<std::string> text = scanner.String()) return FirefoxPrefValue(std::move(*text));
  const std::string_view word = scanner.Word();
  if (word == "true") return FirefoxPrefValue(true);
  if (word == "false") return FirefoxPrefValue(false);
  if (std::optional<int64_t> number = ParseNumber(word)) return FirefoxPrefValue(*number);
  return std::nullopt;
}

}  // namespace

void FirefoxPrefs::Read(std::string_view text) {
  Scanner scanner(text);
  while (!scanner.AtEnd()) {
    const std::string_view function = scanner.Word();
    bool known = false;
    for (std::string_view f : kPrefFunctions) known = known || f == function;
    std::optional<std::string> name;
    std::optional<FirefoxPrefValue> value;
    if (known && scanner.Take('(') && (name = scanner.String()) && scanner.Take(',') &&
        (value = ParseValue(scanner))) {
      // Default preferences may carry further arguments ("sticky", "locked"); they change nothing
      // of what the value is.
      if (values_.size() < kMaxFirefoxPrefs || values_.contains(*name)) {
        values_[std::move(*name)] = std::move(*value);
      }
    }
    scanner.SkipStatement();
  }
}

std::optional<std::string> FirefoxPrefs::Text(const std::string& name) const {
  const auto it = values_.find(name);
  if (it == values_.end() || !std::holds_alternative<std::string>(it->second)) return std::nullopt;
  return std::get<std::string>(it->second);
}

std::optional<int64_t> FirefoxPrefs::Number(const std::string& name) const {
  const auto it = values_.find(name);
  if (it == values_.end() || !std::holds_alternative<int64_t>(it->second)) return std::nullopt;
  return std::get<int64_t>(it->second);
}

std::optional<bool> FirefoxPrefs::Flag(const std::string& name) const {
  const auto it = values_.find(name);
  if (it == values_.end() || !std::holds_alternative<bool>(it->second)) return std::nullopt;
  return std::get<bool>(it->second);
}

}  // namespace tw
