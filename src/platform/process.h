// Other programs started without a shell (the desktop's opener, for one): the arguments reach the
// program exactly as given, so no text in them is ever read as shell syntax.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/unique_fd.h"
#include "platform/error.h"

namespace tw {

class Process {
 public:
  // Starts argv[0] (looked up in PATH when it has no slash) with the arguments, standard input
  // from /dev/null and output and errors shared with ours. Fails with 2 when the program cannot
  // be found and with the start's own error otherwise.
  static Result<Process> Start(const std::vector<std::string>& argv);
  // Starts it in a session of its own, detached from our terminal, with standard input, output
  // and errors on /dev/null: a program meant to outlive us. With `read_output`, its standard
  // output comes to us instead (ReadOutputLine), until we let go of the Process.
  static Result<Process> StartDetached(const std::vector<std::string>& argv,
                                       bool read_output = false);

  Process(Process&& other) noexcept;
  Process& operator=(Process&&) = delete;
  // A process that is still running is left to run; a background thread reaps it when it ends.
  ~Process();

  // Waits up to `timeout` for the process to end: its exit status (128 + the signal number when
  // a signal ended it), or nullopt while it still runs.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout);

  // The next line of the output of a process started with `read_output`, without its line
  // break; nothing at the end of the output or after the time-out.
  std::optional<std::string> ReadOutputLine(std::chrono::milliseconds timeout);

 private:
  explicit Process(pid_t pid, UniqueFd output_fd = UniqueFd())
      : pid_(pid), output_fd_(std::move(output_fd)) {}
  pid_t pid_ = -1;
  UniqueFd output_fd_;
  std::string output_;
};

// What a program run to its end gave back.
struct ProgramRun {
  int status = -1;     // exit status, 128 + signal number when a signal ended it
  std::string output;  // its standard output, at most kMaxProgramOutput bytes
};
inline constexpr size_t kMaxProgramOutput = 1024 * 1024;

// Runs a program to its end, feeding `input` to its standard input and collecting its standard
// output (its errors go to /dev/null). A program still running after `timeout` is killed and the
// run fails with 1460 (time-out); a program that cannot be found fails with 2.
Result<ProgramRun> RunProgram(const std::vector<std::string>& argv, std::string_view input,
                              std::chrono::milliseconds timeout);

// The full path of a program found in PATH, as a shell would find it; 2 when there is none.
Result<std::string> FindProgram(const std::string& name);

// The path of the running program itself, as it is installed: when the file was replaced while
// the program ran (a package upgrade), the path of the program now there.
Result<std::string> OwnProgramPath();

// Writing to a pipe or socket whose reader went away fails with an error instead of ending the
// process; a server calls this once at start.
void IgnoreBrokenPipes();

// For a process that runs for long (the service, the native host): every thread allocates from
// one heap, and large blocks come straight from the system, so that what a burst of work frees
// (the page list of ten thousand pages, a window's first events) goes back instead of staying
// resident in each server thread's own heap. Call first thing, before any thread starts.
void KeepHeapCompact();

// Whether the descriptor is a terminal (progress displays are drawn only there).
bool IsTerminal(int fd);

// From now on SIGINT and SIGTERM no longer end the process at once: they call `handler`, which
// must be async-signal-safe, so that the work in progress can end cleanly. A second signal of
// the same kind ends the process as usual.
void HandleInterrupts(void (*handler)());
// Whether such a signal has arrived.
bool InterruptReceived();

}  // namespace tw
