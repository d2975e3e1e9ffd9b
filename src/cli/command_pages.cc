// The commands that call the one-shot page functions: add, open and refresh.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/application.h"
#include "app/messages.h"
#include "cli/command_line.h"
#include "cli/refresh_progress.h"
#include "cli/user_message.h"
#include "platform/process.h"

namespace tw::cli {
namespace {

int RunAdd(app::Application& app, const Arguments& args) {
  const std::string title = args.operands.size() > 1 ? args.operands[1] : std::string();
  app::Outcome<std::string> added = app.AddPageAtOnce(args.operands[0], title);
  if (!added.ok()) {
    ShowMessage(added.message());
    return kExitFailed;
  }
  if (!args.Has("--quiet")) std::printf("Added page \"%s\".\n", added->c_str());
  return kExitOk;
}

int RunOpen(app::Application& app, const Arguments& args) {
  app::Outcome<app::Done> opened = app.OpenPageFile(args.operands[0]);
  if (!opened.ok()) {
    ShowMessage(opened.message());
    return kExitFailed;
  }
  return kExitOk;
}

// How the refresh was started: by a user, or by a schedule (`tidewell /r`), which shows nothing.
enum class Started { kByUser, kBySchedule };

int RefreshWith(app::Application& app, const Arguments& args, Started started) {
  const bool show_progress = args.Has("--progress");
  Error outcome;
  if (!show_progress) {
    outcome = app.RefreshAllPages(nullptr);
  } else {
    RefreshProgress progress(app, IsTerminal(STDERR_FILENO));
    outcome = app.RefreshAllPages(&progress);
    if (!outcome && !InterruptReceived()) progress.Finish();
  }
  // As the schedule runs it, a failure shows nothing.
  if (outcome && (started == Started::kByUser || show_progress)) {
    PrintError(RefreshCommand(), "the pages could not be checked: " + app::ErrorSentence(outcome));
  }
  return outcome ? kExitFailed : kExitOk;
}

int Refresh(app::Application& app, const Arguments& args, Started started) {
  // Ctrl-C or a stopping service ends the pass at its next stop test, with the lock released
  // and every page file whole, rather than wherever the process happens to be.
  HandleInterrupts(&app::InterruptChecksFromSignal);
  const int status = RefreshWith(app, args, started);
  if (InterruptReceived()) {
    if (started == Started::kByUser)
      PrintError(RefreshCommand(), "interrupted; the check ended early");
    return kExitFailed;
  }
  return status;
}

int RunRefresh(app::Application& app, const Arguments& args) {
  return Refresh(app, args, Started::kByUser);
}

}  // namespace

int RunScheduledRefresh(app::Application& app, const Arguments& args) {
  return Refresh(app, args, Started::kBySchedule);
}

const Command& AddCommand() {
  static const Command command{
      .name = "add",
      .synopsis = "ADDRESS [TITLE]",
      .summary = "Add a page to the page folder.",
      .help =
          "The page gets the new-page defaults of the options (see 'tidewell option') and is\n"
          "checked by the next refresh. Without a TITLE the title is made from the address:\n"
          "\"http://\" or \"https://\" and a final \"/\" are dropped. An ADDRESS that begins with\n"
          "neither \"http://\" nor \"https://\" gets \"http://\" in front. Characters a file name\n"
          "cannot hold become others (/ : \\ | become -, * ? become #, \" becomes ', < > become\n"
          "[ ]). An existing page is never replaced: when its title is taken, the new page's\n"
          "title loses two characters and gets a number from 2 to 9.\n"
          "\n"
          "Prints the title the page got; exit status 0 when the page was added, 1 when not.\n"
          "\n"
          "Options:\n"
          "  --quiet   print nothing when the page was added\n",
      .flags = {"--quiet"},
      .min_operands = 1,
      .max_operands = 2,
      .run = RunAdd,
  };
  return command;
}

const Command& OpenCommand() {
  static const Command command{
      .name = "open",
      .synopsis = "FILE.twp",
      .summary = "Open a page's address in the web browser.",
      .help =
          "Opens the address stored in the page file with xdg-open. A FILE without a folder\n"
          "is looked for in the current directory. The page's updated flag stays as it is.\n",
      .min_operands = 1,
      .max_operands = 1,
      .run = RunOpen,
  };
  return command;
}

const Command& RefreshCommand() {
  static const Command command{
      .name = "refresh",
      .summary = "Check all pages once.",
      .help =
          "Checks every page of the page folder once and returns when the check is over. Pages\n"
          "that changed are marked updated; the error of a page that could not be checked is\n"
          "stored with it ('tidewell list' shows both). Errors of the check itself are kept as\n"
          "error files in the page folder. When another process is checking the page folder,\n"
          "the pages are left to it. Prints nothing unless the check cannot run.\n"
          "\n"
          "'tidewell /r' is the same check as a schedule (cron, a systemd timer) runs it: it\n"
          "prints nothing at all; exit status 0 when the check ran, 1 when it could not.\n"
          "\n"
          "Options:\n"
          "  --progress   show the check while it runs (on a terminal) and sum it up at the end:\n"
          "               the pages that became updated and the pages in error\n",
      .flags = {"--progress"},
      .run = RunRefresh,
  };
  return command;
}

}  // namespace tw::cli
