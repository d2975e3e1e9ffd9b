// tidewell diff: what changed on a page since an earlier version of it.
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/application.h"
#include "cli/command_line.h"
#include "platform/file_time.h"
#include "platform/process.h"

namespace tw::cli {
namespace {

constexpr std::string_view kRemovedColour = "\x1b[1;31m";
constexpr std::string_view kAddedColour = "\x1b[1;32m";
constexpr std::string_view kHunkColour = "\x1b[36m";
constexpr std::string_view kPlain = "\x1b[0m";

// Colours on a terminal (unless NO_COLOR is set); markers elsewhere, as a word diff writes them.
struct Style {
  bool colour;
  std::string Removed(std::string_view text) const {
    return colour ? std::string(kRemovedColour) + std::string(text) + std::string(kPlain)
                  : "[-" + std::string(text) + "-]";
  }
  std::string Added(std::string_view text) const {
    return colour ? std::string(kAddedColour) + std::string(text) + std::string(kPlain)
                  : "{+" + std::string(text) + "+}";
  }
  std::string Line(std::string_view line) const {
    if (!colour || line.empty()) return std::string(line);
    const std::string_view colour_of = line[0] == '-'   ? kRemovedColour
                                       : line[0] == '+' ? kAddedColour
                                       : line[0] == '@' ? kHunkColour
                                                        : std::string_view();
    if (colour_of.empty()) return std::string(line);
    return std::string(colour_of) + std::string(line) + std::string(kPlain);
  }
};

std::string TimeText(FileTime t, std::string_view none) {
  return t.IsZero() ? std::string(none) : FormatForDisplay(t);
}

std::string SizeText(uint64_t bytes) {
  if (bytes < 10 * 1024) return std::to_string(bytes) + " bytes";
  return std::to_string((bytes + 512) / 1024) + " KB";
}

std::string VersionList(const std::string& title, const std::vector<app::PageVersion>& versions) {
  if (versions.empty()) return "No earlier versions of \"" + title + "\" are kept yet.\n";
  std::string text = "Earlier versions of \"" + title + "\", newest first:\n";
  for (size_t i = 0; i < versions.size(); ++i) {
    const app::PageVersion& v = versions[i];
    text += "  " + std::to_string(i + 1) + "  found " +
            TimeText(v.found_time, "at the first check") + ", replaced " +
            TimeText(v.replaced_time, "-") + ", " + SizeText(v.size) + "\n";
  }
  return text;
}

std::string ChangesText(const app::PageChanges& changes, size_t number, bool html,
                        const Style& style) {
  std::string text =
      "Changes of \"" + changes.title + "\" since version " + std::to_string(number) + " (found " +
      TimeText(changes.version.found_time, "at the first check") + ", replaced " +
      TimeText(changes.version.replaced_time, "-") + ")\n" + "Address: " + changes.address + "\n";
  for (size_t d = 0; d < changes.documents.size(); ++d) {
    const DocumentDiff& doc = changes.documents[d];
    text += "\n";
    if (d > 0) text += "Frame: " + doc.address + "\n";
    if (!doc.changed && !html) {
      text += "(no change in the text)\n";
      continue;
    }
    if (html) {
      if (doc.html.empty()) text += "(no change in the HTML)\n";
      for (const std::string& line : doc.html) text += style.Line(line) + "\n";
      continue;
    }
    for (const DiffRun& run : doc.text) {
      switch (run.kind) {
        case DiffKind::kSame:
          text += run.text;
          break;
        case DiffKind::kRemoved:
          text += style.Removed(run.text);
          break;
        case DiffKind::kAdded:
          text += style.Added(run.text);
          break;
      }
    }
    text += "\n";
  }
  return text;
}

// The version number N (1 the newest) of "--version N".
bool ParseVersionNumber(const std::string& text, size_t& number) {
  if (text.empty() || text.size() > 6 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  number = std::stoul(text);
  return number >= 1;
}

int RunDiff(app::Application& app, const Arguments& args) {
  const std::string& title = args.operands[0];
  size_t number = 1;
  if (const std::string* given = args.Value("--version")) {
    if (!ParseVersionNumber(*given, number)) {
      PrintError(DiffCommand(),
                 "the version is a number from 1 (the newest), not '" + *given + "'");
      return kExitUsage;
    }
  }
  app::Outcome<std::vector<app::PageVersion>> versions = app.ListPageVersions(title);
  if (!versions.ok()) {
    PrintError(DiffCommand(), versions.message());
    return kExitFailed;
  }
  if (args.Has("--list")) {
    Print(VersionList(title, *versions));
    return kExitOk;
  }
  if (versions->empty()) {
    PrintError(DiffCommand(), "\"" + title + "\" has no earlier version to compare with yet");
    return kExitFailed;
  }
  if (number > versions->size()) {
    PrintError(DiffCommand(),
               "\"" + title + "\" has " + std::to_string(versions->size()) +
                   (versions->size() == 1 ? " earlier version" : " earlier versions"));
    return kExitFailed;
  }
  app::Outcome<app::PageChanges> changes = app.ShowChanges(title, (*versions)[number - 1].id);
  if (!changes.ok()) {
    PrintError(DiffCommand(), changes.message());
    return kExitFailed;
  }
  const Style style{IsTerminal(STDOUT_FILENO) && !std::getenv("NO_COLOR")};
  Print(ChangesText(*changes, number, args.Has("--html"), style));
  return kExitOk;
}

}  // namespace

const Command& DiffCommand() {
  static const Command command{
      .name = "diff",
      .synopsis = "TITLE [--version N] [--html] [--list]",
      .summary = "Show what changed on a page since an earlier version.",
      .help =
          "Shows the visible text of the page as it is now, with what was removed and added\n"
          "since an earlier version: red and green on a terminal, [-removed-] and {+added+}\n"
          "elsewhere. The parts that Smart Update learned to change on every download (clocks,\n"
          "counters, advertisements) are left out. A version is kept each time a check finds\n"
          "the page changed.\n"
          "\n"
          "Options:\n"
          "  --version N  compare with version N: 1 is the newest (the default), 2 the one\n"
          "               before it, and so on\n"
          "  --html       show the raw HTML as a line diff instead\n"
          "  --list       list the kept versions with their numbers and times\n",
      .flags = {"--html", "--list"},
      .value_flags = {"--version"},
      .min_operands = 1,
      .max_operands = 1,
      .run = RunDiff,
  };
  return command;
}

}  // namespace tw::cli
