#include "cli/command_line.h"

#include <algorithm>
#include <cstdio>

#include "app/messages.h"

namespace tw::cli {

bool Arguments::Has(std::string_view flag) const {
  return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

const std::string* Arguments::Value(std::string_view flag) const {
  for (const auto& [name, value] : values) {
    if (name == flag) return &value;
  }
  return nullptr;
}

bool ParseArguments(const Command& command, std::span<const std::string> words, Arguments& args,
                    std::string& problem) {
  bool operands_only = false;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (operands_only || word == "-" || !word.starts_with("-")) {
      args.operands.push_back(word);
      continue;
    }
    if (word == "--") {
      operands_only = true;
      continue;
    }
    const size_t equals = word.find('=');
    const std::string name = word.substr(0, equals);
    if (std::find(command.value_flags.begin(), command.value_flags.end(), name) !=
        command.value_flags.end()) {
      if (equals == std::string::npos && i + 1 == words.size()) {
        problem = "option '" + name + "' needs a value";
        return false;
      }
      args.values.emplace_back(name,
                               equals == std::string::npos ? words[++i] : word.substr(equals + 1));
      continue;
    }
    const std::string flag = word == "-h" ? "--help" : word;
    const bool known = flag == "--help" || std::find(command.flags.begin(), command.flags.end(),
                                                     flag) != command.flags.end();
    if (!known) {
      problem = "unknown option '" + word + "'";
      return false;
    }
    args.flags.push_back(flag);
  }
  if (args.Has("--help")) return true;
  if (args.operands.size() < command.min_operands) {
    problem = "missing argument";
    return false;
  }
  if (args.operands.size() > command.max_operands) {
    problem = "unexpected argument '" + args.operands[command.max_operands] + "'";
    return false;
  }
  return true;
}

void Print(std::string_view text, FILE* to) { std::fwrite(text.data(), 1, text.size(), to); }

std::string Pad(std::string text, size_t width) {
  if (text.size() < width) text.resize(width, ' ');
  return text;
}

void PrintError(const Command& command, const app::UserMessage& message) {
  PrintError(command, message.text + ": " + app::ErrorSentence(message.cause));
}

void PrintError(const Command& command, std::string_view text) {
  std::string line = "tidewell ";
  line += command.name;
  line += ": ";
  line += text;
  line += '\n';
  Print(line, stderr);
}

}  // namespace tw::cli
