// The option command: the checking options, shown and set in the settings store.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/messages.h"
#include "cli/command_line.h"

namespace tw::cli {
namespace {

using app::OptionDefinition;
using app::OptionKind;
using app::OptionState;

std::string StoredText(const OptionState& state) {
  if (!state.stored) return "(not set)";
  std::string text = app::StoredValueText(*state.stored);
  if (state.stored->type == SettingsType::kString) text = "\"" + text + "\"";
  if (!state.stored_type_ok) text += " (of the wrong type; ignored)";
  return text;
}

std::string Table(const std::vector<OptionState>& states) {
  size_t stored_width = 6;
  for (const OptionState& state : states) {
    stored_width = std::max(stored_width, StoredText(state).size());
  }
  std::string text = Pad("NAME", 19) + Pad("STORED", stored_width + 2) + "IN EFFECT\n";
  for (const OptionState& state : states) {
    text += Pad(std::string(state.definition->name), 19) +
            Pad(StoredText(state), stored_width + 2) + state.in_effect + "\n";
  }
  return text;
}

int Fail(const app::UserMessage& message) {
  PrintError(OptionCommand(), message);
  return kExitFailed;
}

int Show(app::Application& app, const OptionDefinition* only) {
  app::Outcome<std::vector<OptionState>> states = app.DescribeOptions();
  if (!states.ok()) return Fail(states.message());
  if (only) {
    std::erase_if(*states, [&](const OptionState& s) { return s.definition != only; });
  }
  Print(Table(*states));
  return kExitOk;
}

int Set(app::Application& app, const OptionDefinition& definition, const std::string& text) {
  app::Outcome<app::Done> set = app.SetOptionFromText(definition, text);
  if (!set.ok()) {
    if (set.message().problem != app::Problem::kInvalidValue) return Fail(set.message());
    PrintError(OptionCommand(), set.message().text);
    return kExitUsage;
  }
  return Show(app, &definition);
}

int Unset(app::Application& app, const OptionDefinition& definition) {
  app::Outcome<app::Done> unset = app.UnsetOption(definition);
  if (!unset.ok()) return Fail(unset.message());
  return Show(app, &definition);
}

int RunOption(app::Application& app, const Arguments& args) {
  if (args.operands.empty()) {
    if (args.Has("--unset")) {
      PrintError(OptionCommand(), "--unset needs the NAME of an option");
      return kExitUsage;
    }
    return Show(app, nullptr);
  }
  const OptionDefinition* definition = app::FindOptionDefinition(args.operands[0]);
  if (!definition) {
    PrintError(OptionCommand(),
               "there is no option '" + args.operands[0] + "'; 'tidewell option' lists them all");
    return kExitUsage;
  }
  if (args.Has("--unset")) {
    if (args.operands.size() > 1) {
      PrintError(OptionCommand(), "--unset takes no VALUE");
      return kExitUsage;
    }
    return Unset(app, *definition);
  }
  if (args.operands.size() == 1) return Show(app, definition);
  return Set(app, *definition, args.operands[1]);
}

std::string OptionHelp() {
  std::string text =
      "Without NAME, shows every checking option: the value stored in the settings store and\n"
      "the value in effect once defaults and limits are applied. With NAME, shows that one;\n"
      "with NAME and VALUE, stores the value. Names are taken without regard to case.\n"
      "Running windows and schedules pick up a change at once.\n"
      "\n"
      "Options:\n";
  for (const OptionDefinition& definition : app::CheckingOptionDefinitions()) {
    std::string values;
    switch (definition.kind) {
      case OptionKind::kNumber:
        values = std::to_string(definition.min) + " to " + std::to_string(definition.max);
        break;
      case OptionKind::kFlag:
        values = "1 or 0 (on/off)";
        break;
      case OptionKind::kInterval:
        values = "1/minutes or 2/hours (0 is read as hours)";
        break;
      case OptionKind::kFolder:
        values = "an existing folder";
        break;
    }
    text += "  " + Pad(std::string(definition.name), 18) + std::string(definition.meaning) + "; " +
            values + "\n";
  }
  text +=
      "\n"
      "  --unset   remove the stored value, so that the default applies again\n"
      "\n"
      "Examples:\n"
      "  tidewell option Interval minutes && tidewell option IntervalValue 30\n"
      "  tidewell option Threads 4\n"
      "  tidewell option PDB ~/Pages\n";
  return text;
}

}  // namespace

const Command& OptionCommand() {
  static const std::string help = OptionHelp();
  static const Command command{
      .name = "option",
      .synopsis = "[NAME [VALUE]]",
      .summary = "Show or set the checking options.",
      .help = help,
      .flags = {"--unset"},
      .max_operands = 2,
      .run = RunOption,
  };
  return command;
}

}  // namespace tw::cli
