#include "host/user_message.h"

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "platform/error_text.h"
#include "resources/strings.h"

namespace tw {

void ShowMessage(uint32_t string_id, Error reason) {
  std::string text(LoadString(str::kCaption));
  text += ": ";
  text += LoadString(string_id);
  text += '\n';
  if (reason) {
    if (std::optional<std::string_view> why = ErrorText(reason.code())) {
      text += "  ";
      text += *why;
      text += '\n';
    }
  }
  // One write, so that the lines of two processes never interleave.
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

std::string ErrorTextOf(Error e) {
  const std::optional<std::string_view> text = ErrorText(e.code());
  return std::string(text ? *text : LoadString(str::kUnknownError));
}

}  // namespace tw
