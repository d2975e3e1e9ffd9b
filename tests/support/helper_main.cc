// The test helper program: `tw_test_helper COMMAND ARGS...` runs one registered command.
#include <cstdio>
#include <map>

#include "support/helper_commands.h"

namespace tw::test {
namespace {

std::map<std::string, HelperCommand::Body>& Commands() {
  static std::map<std::string, HelperCommand::Body> commands;
  return commands;
}

}  // namespace

HelperCommand::HelperCommand(const std::string& name, Body body) {
  Commands()[name] = std::move(body);
}

void SayReady(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

}  // namespace tw::test

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: tw_test_helper COMMAND ARGS...\n", stderr);
    return 2;
  }
  const auto& commands = tw::test::Commands();
  const auto it = commands.find(argv[1]);
  if (it == commands.end()) {
    std::fprintf(stderr, "tw_test_helper: no command %s\n", argv[1]);
    return 2;
  }
  return it->second(std::vector<std::string>(argv + 2, argv + argc));
}
