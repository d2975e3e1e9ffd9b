// The option command: the checking options, shown and set in the settings store.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "checking/options.h"
#include "host/command_line.h"
#include "host/option_values.h"
#include "host/user_message.h"
#include "platform/settings_store.h"

namespace tw::cli {
namespace {

std::string StoredText(const OptionState& state) {
  if (!state.stored) return "(not set)";
  std::string text = StoredValueText(*state.stored);
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

int Fail(const std::string& text) {
  PrintError(OptionCommand(), text);
  return kExitFailed;
}

int Show(const SettingsStore& store, const OptionDefinition* only) {
  Result<std::vector<OptionState>> states = DescribeOptions(store);
  if (!states.ok()) return Fail(store.path() + ": " + ErrorTextOf(states.error()));
  if (only) {
    std::erase_if(*states, [&](const OptionState& s) { return s.definition != only; });
  }
  Print(Table(*states));
  return kExitOk;
}

int Set(const SettingsStore& store, const OptionDefinition& definition, const std::string& text) {
  const ParsedOption parsed = ParseOptionValue(definition, text);
  if (!parsed.value) {
    PrintError(OptionCommand(), parsed.problem);
    return kExitUsage;
  }
  const SettingsValue& value = *parsed.value;
  const Error e = value.type == SettingsType::kDword
                      ? store.WriteDword(OptionsKey(), definition.name, value.dword)
                      : store.WriteString(OptionsKey(), definition.name, value.text);
  if (e) return Fail(store.path() + ": " + ErrorTextOf(e));
  return Show(store, &definition);
}

int Unset(const SettingsStore& store, const OptionDefinition& definition) {
  if (Error e = store.DeleteValue(OptionsKey(), definition.name)) {
    return Fail(store.path() + ": " + ErrorTextOf(e));
  }
  return Show(store, &definition);
}

int RunOption(const Arguments& args) {
  Result<SettingsStore> store = SettingsStore::OpenUser();
  if (!store.ok()) return Fail("the settings store cannot be found: " + ErrorTextOf(store.error()));
  if (args.operands.empty()) {
    if (args.Has("--unset")) {
      PrintError(OptionCommand(), "--unset needs the NAME of an option");
      return kExitUsage;
    }
    return Show(*store, nullptr);
  }
  const OptionDefinition* definition = FindOptionDefinition(args.operands[0]);
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
    return Unset(*store, *definition);
  }
  if (args.operands.size() == 1) return Show(*store, definition);
  return Set(*store, *definition, args.operands[1]);
}

std::string OptionHelp() {
  std::string text =
      "Without NAME, shows every checking option: the value stored in the settings store and\n"
      "the value in effect once defaults and limits are applied. With NAME, shows that one;\n"
      "with NAME and VALUE, stores the value. Names are taken without regard to case.\n"
      "Running windows and schedules pick up a change at once.\n"
      "\n"
      "Options:\n";
  for (const OptionDefinition& definition : CheckingOptionDefinitions()) {
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
