// tidewell: the command. Each command is one call of the application facade (a page function,
// a look at the page folder or the options); `tidewell /r` is how the offline schedule starts a
// check.
#include <array>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/native_messaging.h"
#include "cli/command_line.h"

namespace tw::cli {
namespace {

std::array<const Command*, 11> AllCommands() {
  return {&ServeCommand(),    &AddCommand(),        &OpenCommand(),      &RefreshCommand(),
          &ListCommand(),     &InfoCommand(),       &DiffCommand(),      &OptionCommand(),
          &RegisterCommand(), &UnregisterCommand(), &NativeHostCommand()};
}

const Command* FindCommand(const std::string& name) {
  for (const Command* command : AllCommands()) {
    if (command->name == name) return command;
  }
  return nullptr;
}

int UnknownCommand(const std::string& name) {
  Print("tidewell: unknown command '" + name + "'\nTry 'tidewell --help'.\n", stderr);
  return kExitUsage;
}

std::string ProgramHelp() {
  std::string text =
      "Usage: tidewell [COMMAND [ARGUMENTS]]\n"
      "\n"
      "Tidewell watches a list of web pages and tells you when one of them has really changed.\n"
      "Without a command, it opens its window in your web browser, starting 'tidewell serve'\n"
      "when it does not run yet.\n"
      "\n"
      "Commands:\n";
  for (const Command* command : AllCommands()) {
    std::string left = "  " + std::string(command->name);
    if (!command->synopsis.empty()) left += " " + std::string(command->synopsis);
    if (left.size() < 28) left.resize(28, ' ');
    text += left + " " + std::string(command->summary) + "\n";
  }
  text +=
      "\n"
      "  tidewell /r                is 'tidewell refresh' as a schedule runs it: it prints\n"
      "                             nothing and tells the outcome by its exit status.\n"
      "\n"
      "Options:\n"
      "  -h, --help                 show this help ('tidewell COMMAND --help' for a command)\n"
      "  --version                  show the version\n"
      "\n"
      "Exit status: 0 on success, 1 when the command failed, 2 for a usage error.\n";
  return text;
}

std::string CommandHelp(const Command& command) {
  std::string text = "Usage: tidewell " + std::string(command.name);
  if (!command.synopsis.empty()) text += " " + std::string(command.synopsis);
  text += "\n\n" + std::string(command.summary) + "\n";
  if (!command.help.empty()) text += "\n" + std::string(command.help);
  return text;
}

int RunCommand(const Command& command, std::span<const std::string> words,
               int (*run)(app::Application& app, const Arguments& args)) {
  Arguments args;
  std::string problem;
  if (!ParseArguments(command, words, args, problem)) {
    PrintError(command, problem);
    Print("Try 'tidewell " + std::string(command.name) + " --help'.\n", stderr);
    return kExitUsage;
  }
  if (args.Has("--help")) {
    Print(CommandHelp(command));
    return kExitOk;
  }
  app::Application app;
  return run(app, args);
}

int RunCommand(const Command& command, std::span<const std::string> words) {
  return RunCommand(command, words, command.run);
}

int Main(std::span<const std::string> words) {
  if (words.empty()) return OpenWindowInBrowser();
  const std::string& first = words[0];
  if (first == "--help" || first == "-h" || first == "help") {
    if (first == "help" && words.size() > 1) {
      const Command* command = FindCommand(words[1]);
      if (!command) return UnknownCommand(words[1]);
      Print(CommandHelp(*command));
      return kExitOk;
    }
    Print(ProgramHelp());
    return kExitOk;
  }
  if (first == "--version") {
    Print("tidewell " TW_VERSION "\n");
    return kExitOk;
  }
  // A browser starts us through the native-messaging manifest, which cannot name a command.
  if (app::IsBrowserStartingHost(words)) return RunCommand(NativeHostCommand(), words);
  if (first == "/r") return RunCommand(RefreshCommand(), words.subspan(1), RunScheduledRefresh);
  if (const Command* command = FindCommand(first)) return RunCommand(*command, words.subspan(1));
  return UnknownCommand(first);
}

}  // namespace
}  // namespace tw::cli

int main(int argc, char** argv) {
  const std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
  return tw::cli::Main(words);
}
