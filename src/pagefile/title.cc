#include "pagefile/title.h"

#include "platform/file_system.h"

namespace tw {

namespace {

bool IsForbiddenTitleChar(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 1 && byte <= 31) return true;
  return std::string_view("\"*/:<>?\\|").find(c) != std::string_view::npos;
}

}  // namespace

TitleProblem CheckTitle(std::string_view title, std::string_view folder) {
  if (title.empty()) return TitleProblem::kEmpty;
  for (char c : title) {
    // A zero byte could not be part of a file name either.
    if (c == '\0' || IsForbiddenTitleChar(c)) return TitleProblem::kInvalidCharacter;
  }
  if (title.size() > MaxTitleLength(folder)) return TitleProblem::kTooLong;
  return TitleProblem::kNone;
}

std::string MakeTitleUsable(std::string_view title) {
  std::string out(title);
  for (char& c : out) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 1 && byte <= 31) || c == '*' || c == '?') {
      c = '#';
    } else if (c == '/' || c == ':' || c == '\\' || c == '|') {
      c = '-';
    } else if (c == '"') {
      c = '\'';
    } else if (c == '<') {
      c = '[';
    } else if (c == '>') {
      c = ']';
    }
  }
  return out;
}

std::string PagePath(const std::string& folder, std::string_view title) {
  return JoinPath(folder, title) + std::string(kPageFileSuffix);
}

std::string TitleOfFileName(std::string_view file_name) {
  const size_t dot = file_name.rfind('.');
  return std::string(dot == std::string_view::npos ? file_name : file_name.substr(0, dot));
}

}  // namespace tw
