// The commands that call the page functions: add, open and refresh.
#include <cstdio>
#include <string>

#include "host/command_line.h"
#include "host/page_functions.h"

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

int RunRefresh(const Arguments&) {
  PrintError(RefreshCommand(), "checking pages is not part of this build yet; nothing was checked");
  return kExitFailed;
}

}  // namespace

int RunScheduledRefresh(const Arguments&) { return kExitFailed; }

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
      .flags = {},
      .min_operands = 1,
      .max_operands = 1,
      .run = RunOpen,
  };
  return command;
}

const Command& RefreshCommand() {
  static const Command command{
      .name = "refresh",
      .synopsis = "",
      .summary = "Check all pages once.",
      .help = "Not yet available in this build.\n",
      .flags = {"--progress"},
      .min_operands = 0,
      .max_operands = 0,
      .run = RunRefresh,
  };
  return command;
}

}  // namespace tw::cli
