#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <utility>

extern char** environ;

namespace tw {
namespace {

// How often a bounded wait looks at the child again.
constexpr auto kWaitSlice = std::chrono::milliseconds(10);

int StatusOf(int wait_status) {
  if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
  return -1;
}

}  // namespace

Result<Process> Process::Start(const std::vector<std::string>& argv) {
  if (argv.empty() || argv[0].empty()) return Error(err::kInvalidParameter);
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (int e = ::posix_spawn_file_actions_init(&actions)) return Error::FromErrno(e);
  int e = ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = -1;
  // glibc reports a failed exec here (its spawn waits for the exec), so a missing program fails
  // the start instead of becoming an exit status of 127.
  if (e == 0) e = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  if (e != 0) return Error::FromErrno(e);
  return Process(pid);
}

Process::Process(Process&& other) noexcept : pid_(std::exchange(other.pid_, -1)) {}

Process::~Process() {
  if (pid_ <= 0) return;
  // The program may outlive us by design (a browser the opener started); reaping it in the
  // background keeps it from lingering as a zombie in a long-running process.
  std::thread([pid = pid_] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

std::optional<int> Process::WaitForExit(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return std::nullopt;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      pid_ = -1;
      return StatusOf(status);
    }
    if (done < 0 && errno != EINTR) {
      pid_ = -1;  // not our child any more: nothing to wait for
      return -1;
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(kWaitSlice);
  }
}

bool IsTerminal(int fd) { return ::isatty(fd) == 1; }

namespace {

volatile sig_atomic_t g_interrupted = 0;
void (*volatile g_interrupt_handler)() = nullptr;

void OnInterrupt(int) {
  g_interrupted = 1;
  if (g_interrupt_handler) g_interrupt_handler();
}

}  // namespace

void HandleInterrupts(void (*handler)()) {
  g_interrupt_handler = handler;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  // Once: a user who presses Ctrl-C again does not want to wait for the clean end.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

bool InterruptReceived() { return g_interrupted != 0; }

}  // namespace tw
