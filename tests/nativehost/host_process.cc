#include "nativehost/host_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace tw::test {
namespace {

int StatusOf(int wait_status) {
  if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
  return -1;
}

}  // namespace

std::string Frame(const std::string& text) {
  const auto length = static_cast<uint32_t>(text.size());
  std::string frame(sizeof length, '\0');
  std::memcpy(frame.data(), &length, sizeof length);
  return frame + text;
}

HostProcess::HostProcess(const std::vector<std::string>& args) {
  // Everything the child needs is made before the fork (see ChildProcess).
  std::vector<std::string> argv{TW_TIDEWELL_PROGRAM};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> pointers;
  for (const std::string& a : argv) pointers.push_back(const_cast<char*>(a.c_str()));
  pointers.push_back(nullptr);
  int in_pipe[2];
  int out_pipe[2];
  if (::pipe2(in_pipe, O_CLOEXEC) != 0 || ::pipe2(out_pipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    ::dup2(in_pipe[0], STDIN_FILENO);
    ::dup2(out_pipe[1], STDOUT_FILENO);
    ::execv(pointers[0], pointers.data());
    ::_exit(127);
  }
  ::close(in_pipe[0]);
  ::close(out_pipe[1]);
  to_host_ = in_pipe[1];
  from_host_ = out_pipe[0];
  pid_fd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
  // The host may go away while the test writes; that is a failed write, not our end.
  ::signal(SIGPIPE, SIG_IGN);
}

HostProcess::~HostProcess() {
  if (!status_) {
    ::kill(pid_, SIGKILL);
    Wait(std::chrono::seconds(30));
  }
  if (to_host_ >= 0) ::close(to_host_);
  if (from_host_ >= 0) ::close(from_host_);
  if (pid_fd_ >= 0) ::close(pid_fd_);
}

bool HostProcess::WriteRaw(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(to_host_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool HostProcess::SendText(const std::string& text) { return WriteRaw(Frame(text)); }

bool HostProcess::Fill(size_t size, std::chrono::steady_clock::time_point deadline) {
  while (buffered_.size() < size) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{from_host_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char chunk[65536];
    const ssize_t n = ::read(from_host_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    buffered_.append(chunk, static_cast<size_t>(n));
  }
  return true;
}

std::optional<Json> HostProcess::ReadFrame(std::chrono::steady_clock::time_point deadline) {
  uint32_t length = 0;
  if (!Fill(sizeof length, deadline)) return std::nullopt;
  std::memcpy(&length, buffered_.data(), sizeof length);
  if (!Fill(sizeof length + length, deadline)) return std::nullopt;
  const std::string text = buffered_.substr(sizeof length, length);
  buffered_.erase(0, sizeof length + length);
  frame_sizes_.push_back(length);
  Json message = Json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (message.is_discarded()) throw std::runtime_error("the host sent a frame that is not JSON");
  if (message.contains("event")) {
    events_.push_back(message);
    taken_.push_back(false);
  }
  return message;
}

std::optional<Json> HostProcess::Next(std::chrono::milliseconds timeout) {
  std::optional<Json> message = ReadFrame(std::chrono::steady_clock::now() + timeout);
  // An event the test has read itself is no longer there to wait for.
  if (message && message->contains("event")) taken_.back() = true;
  return message;
}

Json HostProcess::Request(int id, const std::string& method, const Json& params,
                          std::chrono::milliseconds timeout) {
  const Json request = {{"id", id}, {"method", method}, {"params", params}};
  if (!SendText(request.dump())) return nullptr;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    std::optional<Json> message = ReadFrame(deadline);
    if (!message) return nullptr;
    if (message->contains("id") && (*message)["id"] == id) return *message;
  }
}

std::optional<Json> HostProcess::WaitForEvent(const std::string& name,
                                              const std::function<bool(const Json&)>& match,
                                              std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (size_t seen = 0;;) {
    for (; seen < events_.size(); ++seen) {
      if (taken_[seen]) continue;
      const Json& event = events_[seen];
      if (event["event"] == name && (!match || match(event["data"]))) {
        taken_[seen] = true;
        return event["data"];
      }
    }
    if (!ReadFrame(deadline)) return std::nullopt;
  }
}

void HostProcess::CloseInput() {
  if (to_host_ >= 0) ::close(std::exchange(to_host_, -1));
}

std::optional<int> HostProcess::Wait(std::chrono::milliseconds timeout) {
  if (status_) return status_;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int wait_status = 0;
    const pid_t done = ::waitpid(pid_, &wait_status, WNOHANG);
    if (done == pid_) {
      status_ = StatusOf(wait_status);
      return status_;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    // Reading what the host still writes lets it finish; its frames are kept.
    pollfd polls[2] = {{pid_fd_, POLLIN, 0}, {output_ended_ ? -1 : from_host_, POLLIN, 0}};
    if (::poll(polls, 2, static_cast<int>(left.count())) <= 0) continue;
    if (polls[1].revents != 0) {
      char chunk[65536];
      const ssize_t n = ::read(from_host_, chunk, sizeof chunk);
      if (n > 0) buffered_.append(chunk, static_cast<size_t>(n));
      if (n == 0) output_ended_ = true;
    }
  }
}

void HostProcess::Kill(int signal_number) { ::kill(pid_, signal_number); }

}  // namespace tw::test
