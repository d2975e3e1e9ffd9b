// Other programs started without a shell (the desktop's opener, for one): the arguments reach the
// program exactly as given, so no text in them is ever read as shell syntax.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"

namespace tw {

class Process {
 public:
  // Starts argv[0] (looked up in PATH when it has no slash) with the arguments, standard input
  // from /dev/null and output and errors shared with ours. Fails with 2 when the program cannot
  // be found and with the start's own error otherwise.
  static Result<Process> Start(const std::vector<std::string>& argv);

  Process(Process&& other) noexcept;
  Process& operator=(Process&&) = delete;
  // A process that is still running is left to run; a background thread reaps it when it ends.
  ~Process();

  // Waits up to `timeout` for the process to end: its exit status (128 + the signal number when
  // a signal ended it), or nullopt while it still runs.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout);

 private:
  explicit Process(pid_t pid) : pid_(pid) {}
  pid_t pid_ = -1;
};

// Whether the descriptor is a terminal (progress displays are drawn only there).
bool IsTerminal(int fd);

// From now on SIGINT and SIGTERM no longer end the process at once: they call `handler`, which
// must be async-signal-safe, so that the work in progress can end cleanly. A second signal of
// the same kind ends the process as usual.
void HandleInterrupts(void (*handler)());
// Whether such a signal has arrived.
bool InterruptReceived();

}  // namespace tw
