// The serve command, and tidewell without a command: Tidewell with its window, served to the
// user's browser.
#include <charconv>
#include <string>

#include "app/application.h"
#include "app/messages.h"
#include "cli/command_line.h"
#include "platform/process.h"
#include "service/serve.h"

namespace tw::cli {
namespace {

std::optional<int> ParseNumber(const std::string& text, int max) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 0 ||
      value > max) {
    return std::nullopt;
  }
  return value;
}

int RunServeCommand(app::Application& app, const Arguments& args) {
  constexpr int kMaxPort = 65535;
  constexpr int kMaxIdleSeconds = 24 * 60 * 60;
  service::ServeOptions options;
  options.version = TW_VERSION;
  if (const std::string* port = args.Value("--port")) {
    const std::optional<int> number = ParseNumber(*port, kMaxPort);
    if (!number) {
      PrintError(ServeCommand(), "--port takes a port number from 0 to 65535");
      return kExitUsage;
    }
    options.port = *number;
    options.port_given = true;
  }
  if (const std::string* idle = args.Value("--idle-exit")) {
    const std::optional<int> seconds = ParseNumber(*idle, kMaxIdleSeconds);
    if (!seconds) {
      PrintError(ServeCommand(), "--idle-exit takes a number of seconds");
      return kExitUsage;
    }
    options.idle_exit = std::chrono::seconds(*seconds);
  }
  return service::RunServe(app, options);
}

}  // namespace

int OpenWindowInBrowser() {
  Result<std::string> program = OwnProgramPath();
  if (!program.ok()) {
    Print("tidewell: the program's own path cannot be found: " +
              app::ErrorSentence(program.error()) + "\n",
          stderr);
    return kExitFailed;
  }
  return service::OpenUi(*program) == 0 ? kExitOk : kExitFailed;
}

const Command& ServeCommand() {
  static const Command command{
      .name = "serve",
      .synopsis = "[--port PORT]",
      .summary = "Run Tidewell with its window, served to your web browser.",
      .help =
          "Runs Tidewell with its main window: the pages are watched, checked on the online\n"
          "schedule and announced when they change, and the window is served to your web\n"
          "browser from 127.0.0.1. The first line printed is the address to open; it carries a\n"
          "secret, and is also kept in $XDG_RUNTIME_DIR/tidewell/url. 'tidewell' without a\n"
          "command starts the service when needed and opens the address for you.\n"
          "\n"
          "One service runs per user: a second 'tidewell serve' prints the running one's\n"
          "address and ends. Ctrl-C or SIGTERM ends the service cleanly; a check under way stops\n"
          "with every page file whole. With \"Allow Tidewell to run in the background\" off, the\n"
          "service ends a minute after its last window closed.\n"
          "\n"
          "Options:\n"
          "  --port PORT        listen on PORT (default 47913; 0 picks a free port, as does a\n"
          "                     default port that is taken)\n"
          "  --idle-exit SECS   with running in the background off, end SECS seconds after the\n"
          "                     last window closed (default 60)\n",
      .value_flags = {"--port", "--idle-exit"},
      .run = RunServeCommand,
  };
  return command;
}

}  // namespace tw::cli
