#include "cli/user_message.h"

#include <cstdio>
#include <string>

#include "resources/strings.h"

namespace tw::cli {

void ShowMessage(const app::UserMessage& message) {
  std::string text(LoadString(str::kCaption));
  text += ": ";
  text += message.text;
  text += '\n';
  if (!message.detail.empty()) {
    text += "  ";
    text += message.detail;
    text += '\n';
  }
  // One write, so that the lines of two processes never interleave.
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace tw::cli
