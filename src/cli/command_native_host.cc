// The native-host command: Tidewell as the browser extension's native-messaging host, which the
// browser starts through the manifests that the register command writes and unregister removes.
#include "app/application.h"
#include "app/messages.h"
#include "app/native_messaging.h"
#include "cli/command_line.h"
#include "nativehost/native_host.h"
#include "platform/process.h"

namespace tw::cli {
namespace {

int RunNativeHostCommand(app::Application& app, const Arguments&) {
  // The operands are what the browser tells of its caller; the port is the same for every caller.
  nativehost::NativeHostOptions options;
  options.version = TW_VERSION;
  return nativehost::RunNativeHost(app, options);
}

int RunRegister(app::Application&, const Arguments& args) {
  Result<std::string> program = OwnProgramPath();
  if (!program.ok()) {
    PrintError(RegisterCommand(),
               "the program's own path cannot be found: " + app::ErrorSentence(program.error()));
    return kExitFailed;
  }
  app::Outcome<std::vector<app::ManifestPlace>> written = app::RegisterNativeHost(*program);
  if (!written.ok()) {
    PrintError(RegisterCommand(), written.message());
    return kExitFailed;
  }
  if (args.Has("--quiet")) return kExitOk;
  for (const app::ManifestPlace& place : *written) {
    Print(Pad(place.browser_name + ":", 15) + place.path + "\n");
  }
  return kExitOk;
}

int RunUnregister(app::Application&, const Arguments& args) {
  app::Outcome<std::vector<app::ManifestPlace>> removed = app::UnregisterNativeHost();
  if (!removed.ok()) {
    PrintError(UnregisterCommand(), removed.message());
    return kExitFailed;
  }
  if (args.Has("--quiet")) return kExitOk;
  if (removed->empty()) Print("No browser had Tidewell's manifest.\n");
  for (const app::ManifestPlace& place : *removed) {
    Print(Pad(place.browser_name + ":", 15) + "removed " + place.path + "\n");
  }
  return kExitOk;
}

}  // namespace

const Command& RegisterCommand() {
  static const Command command{
      .name = "register",
      .summary = "Let the web browsers start Tidewell for its extension.",
      .help =
          "Writes the native-messaging manifest that lets the Tidewell browser extension talk to\n"
          "this program, for Chromium, Google Chrome and Firefox, into your own browser folders\n"
          "(also for a browser not installed yet, so that it finds Tidewell once it is). The\n"
          "manifest names this program by its full path; run 'tidewell register' again after\n"
          "moving it. Prints where each manifest was written.\n"
          "\n"
          "Options:\n"
          "  --quiet   print nothing\n",
      .flags = {"--quiet"},
      .run = RunRegister,
  };
  return command;
}

const Command& UnregisterCommand() {
  static const Command command{
      .name = "unregister",
      .summary = "Remove what 'tidewell register' wrote.",
      .help =
          "Removes Tidewell's native-messaging manifest from the folders of Chromium, Google\n"
          "Chrome and Firefox; nothing else there is touched. The browser extension can no\n"
          "longer reach Tidewell afterwards.\n"
          "\n"
          "Options:\n"
          "  --quiet   print nothing\n",
      .flags = {"--quiet"},
      .run = RunUnregister,
  };
  return command;
}

const Command& NativeHostCommand() {
  static const Command command{
      .name = "native-host",
      .synopsis = "[CALLER...]",
      .summary = "Talk to the browser extension (the browser starts it).",
      .help =
          "Serves the Tidewell browser extension over native messaging on standard input and\n"
          "output: each message is a 4-byte length in the machine's byte order, then JSON. The\n"
          "browser starts it through the manifest that 'tidewell register' writes, passing what\n"
          "it knows of the caller (CALLER), which is not needed. While the browser keeps the\n"
          "port open, the pages are watched and checked as in 'tidewell serve'. The host ends\n"
          "when the browser closes the port (exit status 0) or sends what cannot be read on\n"
          "(status 1).\n",
      .min_operands = 0,
      .max_operands = 2,
      .run = RunNativeHostCommand,
  };
  return command;
}

}  // namespace tw::cli
