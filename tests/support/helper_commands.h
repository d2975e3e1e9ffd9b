// Commands of the test helper program, registered by the test sources of each subsystem:
//   static tw::test::HelperCommand hold("hold-page", [](auto& args) { ...; return 0; });
// A test runs one with ChildProcess::SpawnHelper({"hold-page", ...}). Commands tell the test
// that they are ready by printing a line to standard output (and flushing it).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tw::test {

class HelperCommand {
 public:
  using Body = std::function<int(const std::vector<std::string>& args)>;
  HelperCommand(const std::string& name, Body body);
};

// Prints a line and flushes it, for the waiting test.
void SayReady(const std::string& line = "ready");

}  // namespace tw::test
