#include "platform/process.h"

#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>
#include <thread>
#include <utility>

#include "foundation/unique_fd.h"

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

std::vector<char*> ArgumentVector(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  return args;
}

// The descriptors a spawned program gets: -1 keeps ours, -2 is /dev/null, else that descriptor.
struct Stdio {
  int in = -2;
  int out = -1;
  int err = -1;
};
constexpr int kKeep = -1;
constexpr int kDevNull = -2;

int Redirect(posix_spawn_file_actions_t& actions, int from, int to, int flags) {
  if (from == kKeep) return 0;
  if (from == kDevNull)
    return ::posix_spawn_file_actions_addopen(&actions, to, "/dev/null", flags, 0);
  return ::posix_spawn_file_actions_adddup2(&actions, from, to);
}

Result<pid_t> Spawn(const std::vector<std::string>& argv, Stdio stdio, bool own_session) {
  if (argv.empty() || argv[0].empty()) return Error(err::kInvalidParameter);
  std::vector<char*> args = ArgumentVector(argv);
  posix_spawn_file_actions_t actions;
  if (int e = ::posix_spawn_file_actions_init(&actions)) return Error::FromErrno(e);
  posix_spawnattr_t attributes;
  if (int e = ::posix_spawnattr_init(&attributes)) {
    ::posix_spawn_file_actions_destroy(&actions);
    return Error::FromErrno(e);
  }
  int e = Redirect(actions, stdio.in, STDIN_FILENO, O_RDONLY);
  if (e == 0) e = Redirect(actions, stdio.out, STDOUT_FILENO, O_WRONLY);
  if (e == 0) e = Redirect(actions, stdio.err, STDERR_FILENO, O_WRONLY);
  // Signals we ignore or block would be ignored or blocked in the program too.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (own_session) flags |= POSIX_SPAWN_SETSID;
  if (e == 0) e = ::posix_spawnattr_setflags(&attributes, flags);
  if (e == 0) e = ::posix_spawnattr_setsigmask(&attributes, &none);
  if (e == 0) e = ::posix_spawnattr_setsigdefault(&attributes, &all);
  pid_t pid = -1;
  // glibc reports a failed exec here (its spawn waits for the exec), so a missing program fails
  // the start instead of becoming an exit status of 127.
  if (e == 0) e = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
  ::posix_spawnattr_destroy(&attributes);
  ::posix_spawn_file_actions_destroy(&actions);
  if (e != 0) return Error::FromErrno(e);
  return pid;
}

Error MakePipe(UniqueFd& read_end, UniqueFd& write_end) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return Error::LastErrno();
  read_end = UniqueFd(fds[0]);
  write_end = UniqueFd(fds[1]);
  return Error();
}

int WaitStatus(pid_t pid, int options) {
  int status = 0;
  pid_t done;
  while ((done = ::waitpid(pid, &status, options)) < 0 && errno == EINTR) {
  }
  if (done == 0) return INT_MIN;  // still running
  return done < 0 ? -1 : StatusOf(status);
}

}  // namespace

Result<Process> Process::Start(const std::vector<std::string>& argv) {
  Result<pid_t> pid = Spawn(argv, Stdio{}, /*own_session=*/false);
  if (!pid.ok()) return pid.error();
  return Process(*pid);
}

Result<Process> Process::StartDetached(const std::vector<std::string>& argv, bool read_output) {
  UniqueFd out_read, out_write;
  if (read_output) {
    if (Error e = MakePipe(out_read, out_write)) return e;
  }
  Result<pid_t> pid =
      Spawn(argv, Stdio{kDevNull, read_output ? out_write.get() : kDevNull, kDevNull},
            /*own_session=*/true);
  if (!pid.ok()) return pid.error();
  return Process(*pid, std::move(out_read));
}

std::optional<std::string> Process::ReadOutputLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const size_t end = output_.find('\n');
    if (end != std::string::npos) {
      std::string line = output_.substr(0, end);
      output_.erase(0, end + 1);
      return line;
    }
    if (!output_fd_.valid()) return std::nullopt;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd fd{output_fd_.get(), POLLIN, 0};
    const int ready = ::poll(&fd, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    char buffer[1024];
    const ssize_t got = ::read(output_fd_.get(), buffer, sizeof buffer);
    if (got > 0) {
      output_.append(buffer, static_cast<size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      (void)output_fd_.Close();
    }
  }
}

void IgnoreBrokenPipes() { ::signal(SIGPIPE, SIG_IGN); }

void KeepHeapCompact() {
  // A fixed threshold also stops glibc from raising it after the first large block is freed.
  constexpr int kLargeBlock = 128 * 1024;
  (void)::mallopt(M_ARENA_MAX, 1);
  (void)::mallopt(M_MMAP_THRESHOLD, kLargeBlock);
}

Result<ProgramRun> RunProgram(const std::vector<std::string>& argv, std::string_view input,
                              std::chrono::milliseconds timeout) {
  UniqueFd in_read, in_write, out_read, out_write;
  if (Error e = MakePipe(in_read, in_write)) return e;
  if (Error e = MakePipe(out_read, out_write)) return e;
  Result<pid_t> pid = Spawn(argv, Stdio{in_read.get(), out_write.get(), kDevNull}, false);
  if (!pid.ok()) return pid.error();
  (void)in_read.Close();
  (void)out_write.Close();
  ::fcntl(in_write.get(), F_SETFL, O_NONBLOCK);

  ProgramRun run;
  size_t written = 0;
  if (input.empty()) (void)in_write.Close();
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool timed_out = false;
  while (out_read.get() >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timed_out = true;
      break;
    }
    pollfd fds[2] = {{out_read.get(), POLLIN, 0}, {in_write.get(), POLLOUT, 0}};
    const int ready = ::poll(fds, in_write.get() >= 0 ? 2 : 1, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) break;
    if (fds[0].revents != 0) {
      char buffer[4096];
      const ssize_t got = ::read(out_read.get(), buffer, sizeof buffer);
      if (got > 0 && run.output.size() + static_cast<size_t>(got) <= kMaxProgramOutput) {
        run.output.append(buffer, static_cast<size_t>(got));
      } else if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) {
        (void)out_read.Close();
      }
    }
    if (in_write.get() >= 0 && fds[1].revents != 0) {
      const ssize_t put = ::write(in_write.get(), input.data() + written, input.size() - written);
      if (put > 0) written += static_cast<size_t>(put);
      if ((put < 0 && errno != EAGAIN && errno != EINTR) || written == input.size()) {
        (void)in_write.Close();
      }
    }
  }
  (void)in_write.Close();
  if (timed_out) {
    ::kill(*pid, SIGKILL);
    (void)WaitStatus(*pid, 0);
    return Error(err::kTimeout);
  }
  // The output has ended; the program ends with it, or is made to within the time left.
  for (;;) {
    const int status = WaitStatus(*pid, WNOHANG);
    if (status != INT_MIN) {
      run.status = status;
      return run;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(*pid, SIGKILL);
      (void)WaitStatus(*pid, 0);
      return Error(err::kTimeout);
    }
    std::this_thread::sleep_for(kWaitSlice);
  }
}

Result<std::string> FindProgram(const std::string& name) {
  if (name.empty()) return Error(err::kFileNotFound);
  if (name.find('/') != std::string::npos) {
    if (::access(name.c_str(), X_OK) == 0) return name;
    return Error(err::kFileNotFound);
  }
  const char* path = std::getenv("PATH");
  std::string_view dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  while (true) {
    const size_t colon = dirs.find(':');
    const std::string_view dir = colon == 0 ? std::string_view(".") : dirs.substr(0, colon);
    std::string candidate;
    candidate.reserve(dir.size() + 1 + name.size());
    candidate.append(dir).append(1, '/').append(name);
    struct stat info {};
    if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    if (colon == std::string_view::npos) break;
    dirs.remove_prefix(colon + 1);
  }
  return Error(err::kFileNotFound);
}

Result<std::string> OwnProgramPath() {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return Error::LastErrno();
  std::string path(buffer, static_cast<size_t>(length));
  // The kernel marks a program whose file is gone: an upgrade renamed the new program over it, or
  // it was removed. Whatever is written with the path (an autostart entry, a timer, a manifest)
  // must name the program at its place, not the marked name.
  constexpr std::string_view kReplaced = " (deleted)";
  if (path.ends_with(kReplaced) && ::access(path.c_str(), F_OK) != 0) {
    path.resize(path.size() - kReplaced.size());
  }
  return path;
}

Process::Process(Process&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      output_fd_(std::move(other.output_fd_)),
      output_(std::move(other.output_)) {}

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
