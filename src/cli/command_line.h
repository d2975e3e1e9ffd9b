// The tidewell program's commands and how their arguments are read. Each command calls the
// application facade and nothing below it. Used on the main thread only.
#pragma once

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/application.h"

namespace tw::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// One command's arguments: flags (words starting with "--", until a lone "--"), the values of
// flags that take one ("--version 2" or "--version=2"), and operands.
struct Arguments {
  std::vector<std::string> operands;
  std::vector<std::string> flags;
  std::vector<std::pair<std::string, std::string>> values;
  bool Has(std::string_view flag) const;
  // The value of a flag that takes one, or nullptr when it was not given.
  const std::string* Value(std::string_view flag) const;
};

struct Command {
  std::string_view name;
  std::string_view synopsis{};  // what follows the name in a usage line
  std::string_view summary;     // one line for the program's help
  std::string_view help;        // the rest of the command's help
  std::vector<std::string_view> flags{};
  std::vector<std::string_view> value_flags{};  // flags followed by a value
  size_t min_operands = 0;
  size_t max_operands = 0;
  int (*run)(app::Application& app, const Arguments& args) = nullptr;
};

// Splits the words after the command's name. On a flag the command does not know, or a wrong
// number of operands, returns false and says why in `problem`. "-h" is "--help".
bool ParseArguments(const Command& command, std::span<const std::string> words, Arguments& args,
                    std::string& problem);

// The commands, each defined in its own file.
const Command& AddCommand();
const Command& OpenCommand();
const Command& RefreshCommand();
const Command& ListCommand();
const Command& InfoCommand();
const Command& OptionCommand();
const Command& DiffCommand();
const Command& ServeCommand();
const Command& NativeHostCommand();
const Command& RegisterCommand();
const Command& UnregisterCommand();
// `tidewell` without a command: opens the window in the browser, starting the service.
int OpenWindowInBrowser();
// `tidewell /r`: the refresh command as the offline schedule runs it.
int RunScheduledRefresh(app::Application& app, const Arguments& args);

// Prints "tidewell NAME: text" on standard error.
void PrintError(const Command& command, std::string_view text);
// Prints "tidewell NAME: <message's text>: <why>" on standard error.
void PrintError(const Command& command, const app::UserMessage& message);
// Writes the text to standard output, or to `to`.
void Print(std::string_view text, FILE* to = stdout);
// The text padded with spaces to `width` bytes (longer text stays as it is).
std::string Pad(std::string text, size_t width);

}  // namespace tw::cli
