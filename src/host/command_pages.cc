// The commands that call the page functions: add, open and refresh.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "checking/check_thread.h"
#include "host/command_line.h"
#include "host/page_functions.h"
#include "host/refresh.h"
#include "host/refresh_progress.h"
#include "host/user_message.h"
#include "platform/process.h"

namespace tw::cli {
namespace {

int RunAdd(const Arguments& args) {
  const std::string title = args.operands.size() > 1 ? args.operands[1] : std::string();
  std::string added;
  if (AddPage(args.operands[0], title, &added) != kAddPageAdded) return kExitFailed;
  if (!args.Has("--quiet")) std::printf("Added page \"%s\".\n", added.c_str());
  return kExitOk;
}

int RunOpen(const Arguments& args) {
  return PageOpen(args.operands[0]) == kPageOpened ? kExitOk : kExitFailed;
}

int RefreshWith(const Arguments& args, bool scheduled) {
  const bool show_progress = args.Has("--progress");
  // As the schedule runs it: the page function alone, which shows nothing.
  if (scheduled && !show_progress) return RefreshPDB() == kRefreshDone ? kExitOk : kExitFailed;
  Error outcome;
  if (!show_progress) {
    outcome = RefreshPages(nullptr);
  } else {
    RefreshProgress progress(IsTerminal(STDERR_FILENO));
    outcome = RefreshPages(&progress);
    if (!outcome && !InterruptReceived()) progress.Finish();
  }
  if (outcome) {
    PrintError(RefreshCommand(), "the pages could not be checked: " + ErrorTextOf(outcome));
    return kExitFailed;
  }
  return kExitOk;
}

int Refresh(const Arguments& args, bool scheduled) {
  // Ctrl-C or a stopping service ends the pass at its next stop test, with the lock released
  // and every page file whole, rather than wherever the process happens to be.
  HandleInterrupts(&CheckThread::InterruptFromSignal);
  const int status = RefreshWith(args, scheduled);
  if (InterruptReceived()) {
    if (!scheduled) PrintError(RefreshCommand(), "interrupted; the check ended early");
    return kExitFailed;
  }
  return status;
}

int RunRefresh(const Arguments& args) { return Refresh(args, false); }

}  // namespace

int RunScheduledRefresh(const Arguments& args) { return Refresh(args, true); }

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
