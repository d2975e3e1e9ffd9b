// Runs the built tidewell program as a user would, in the test's environment (its HOME, its
// PATH), and collects what it printed; and the add it makes, called directly.
#pragma once

#include <string>
#include <vector>

namespace tw::test {

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// Runs `tidewell ARGS...` to its end; `cwd`, when not empty, is its working directory.
RunResult RunTidewell(const std::vector<std::string>& args, const std::string& cwd = "");

// Adds a page as `tidewell add ADDRESS TITLE` does; true when it was added.
bool AddPageAtOnce(const std::string& address, const std::string& title);

// A program file in `folder` named `name` with the shell script `body` (after "#!/bin/sh").
void WriteScript(const std::string& folder, const std::string& name, const std::string& body);

}  // namespace tw::test
