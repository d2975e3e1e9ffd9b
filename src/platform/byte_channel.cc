#include "platform/byte_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "platform/process.h"

namespace tw {
namespace {

Error MakeNonBlockingCloseOnExec(int fd) {
  const int status = ::fcntl(fd, F_GETFL);
  if (status < 0 || ::fcntl(fd, F_SETFL, status | O_NONBLOCK) < 0) return Error::LastErrno();
  if (::fcntl(fd, F_SETFD, FD_CLOEXEC) < 0) return Error::LastErrno();
  return Error();
}

// Waits until `fd` is ready for `events` or the stop event is set.
Error WaitReady(int fd, short events, const Event& stop) {
  for (;;) {
    pollfd polls[2] = {{stop.wait_fd(), POLLIN, 0}, {fd, events, 0}};
    const int ready = ::poll(polls, 2, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return Error::LastErrno();
    }
    if (polls[0].revents != 0) return Error(err::kOperationAborted);
    if (polls[1].revents != 0) return Error();
  }
}

}  // namespace

Result<ByteChannel> ByteChannel::TakeStandardStreams() {
  UniqueFd input(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3));
  if (!input.valid()) return Error::LastErrno();
  UniqueFd output(::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3));
  if (!output.valid()) return Error::LastErrno();
  UniqueFd null(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  if (!null.valid()) return Error::LastErrno();
  if (::dup2(null.get(), STDIN_FILENO) < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    return Error::LastErrno();
  }
  return FromDescriptors(std::move(input), std::move(output));
}

Result<ByteChannel> ByteChannel::FromDescriptors(UniqueFd input, UniqueFd output) {
  if (Error e = MakeNonBlockingCloseOnExec(input.get())) return e;
  if (Error e = MakeNonBlockingCloseOnExec(output.get())) return e;
  // A reader that went away must come back as an error of the write, not end the process.
  IgnoreBrokenPipes();
  return ByteChannel(std::move(input), std::move(output));
}

Result<size_t> ByteChannel::Read(char* data, size_t size, const Event& stop) {
  for (;;) {
    if (stop.IsSet()) return Error(err::kOperationAborted);
    const ssize_t got = ::read(input_.get(), data, size);
    if (got >= 0) return static_cast<size_t>(got);
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return Error::LastErrno();
    if (Error e = WaitReady(input_.get(), POLLIN, stop)) return e;
  }
}

Error ByteChannel::Write(std::string_view data, const Event& stop) {
  while (!data.empty()) {
    if (stop.IsSet()) return Error(err::kOperationAborted);
    const ssize_t put = ::write(output_.get(), data.data(), data.size());
    if (put >= 0) {
      data.remove_prefix(static_cast<size_t>(put));
      continue;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return Error::LastErrno();
    if (Error e = WaitReady(output_.get(), POLLOUT, stop)) return e;
  }
  return Error();
}

}  // namespace tw
