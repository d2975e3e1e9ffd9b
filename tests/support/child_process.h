// A spawned child process for cross-process tests, killed and reaped if the test forgets.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tw::test {

class ChildProcess {
 public:
  // Starts the program with the arguments (argv[0] is the program), its standard output on a pipe.
  static ChildProcess Spawn(const std::vector<std::string>& argv);
  // Starts the test helper program with a command and its arguments.
  static ChildProcess SpawnHelper(const std::vector<std::string>& args);

  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&&) = delete;
  ~ChildProcess();

  pid_t pid() const { return pid_; }
  // The next line the child writes to its standard output (without the newline), or nullopt at
  // the end of its output or after the time-out.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Waits for the child's end; its exit status, or 128 + signal number.
  int Wait();
  // The same, for at most `timeout`; nothing while the child still runs.
  std::optional<int> Wait(std::chrono::milliseconds timeout);
  void Kill(int signal_number);

 private:
  ChildProcess(pid_t pid, int out_fd) : pid_(pid), out_fd_(out_fd) {}
  pid_t pid_ = -1;
  int out_fd_ = -1;
  std::string buffered_;
};

// Runs the helper to its end and returns its exit status.
int RunHelper(const std::vector<std::string>& args);

}  // namespace tw::test
