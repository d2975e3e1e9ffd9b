#include "support/raw_http_server.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace tw::test {
namespace {

constexpr size_t kMaxRequestHead = 64 * 1024;
constexpr auto kForever = std::chrono::hours(1);

}  // namespace

RawConnection::~RawConnection() {
  if (fd_ >= 0) ::close(fd_);
}

bool RawConnection::WaitFor(short events, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd fds[2] = {{fd_, events, 0}, {server_.stop_.wait_fd(), POLLIN, 0}};
    const int n = ::poll(fds, 2, static_cast<int>(left.count()));
    if (n < 0 && errno != EINTR) return false;
    if (fds[1].revents & POLLIN) return false;
    if (fds[0].revents) return true;
  }
}

std::string RawConnection::ReadRequest() {
  while (buffered_.find("\r\n\r\n") == std::string::npos && buffered_.size() < kMaxRequestHead) {
    if (fd_ < 0 || !WaitFor(POLLIN, kForever)) return "";
    char chunk[4096];
    const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) return "";
    buffered_.append(chunk, static_cast<size_t>(n));
  }
  const size_t end = buffered_.find("\r\n\r\n");
  const size_t length = end == std::string::npos ? buffered_.size() : end + 4;
  std::string head = buffered_.substr(0, length);
  buffered_.erase(0, length);
  server_.Record(head);
  return head;
}

bool RawConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    if (fd_ < 0 || !WaitFor(POLLOUT, kForever)) return false;
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool RawConnection::Pause(std::chrono::milliseconds duration) {
  return !server_.stop_.Wait(duration);
}

bool RawConnection::WaitForPeerClose(std::chrono::milliseconds timeout) {
  while (fd_ >= 0 && WaitFor(POLLIN, timeout)) {
    char chunk[4096];
    const ssize_t n = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return true;
  }
  return false;
}

void RawConnection::Reset() {
  if (fd_ < 0) return;
  const linger hard{1, 0};  // close with RST, dropping anything unsent
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  ::close(fd_);
  fd_ = -1;
}

RawHttpServer::RawHttpServer(Script script) : script_(std::move(script)) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;  // any free port
  socklen_t length = sizeof address;
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listen_fd_, 64) != 0 ||
      ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(listen_fd_);
    throw std::runtime_error("the raw test server cannot listen");
  }
  port_ = ntohs(address.sin_port);
  accept_thread_ = std::thread([this] { AcceptLoop(); });
}

RawHttpServer::~RawHttpServer() {
  stop_.Set();
  accept_thread_.join();
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(mutex_);
    threads.swap(connection_threads_);
  }
  for (std::thread& t : threads) t.join();
  ::close(listen_fd_);
}

std::string RawHttpServer::Url(const std::string& path_and_query) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path_and_query;
}

std::vector<std::string> RawHttpServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void RawHttpServer::Record(std::string request) {
  std::lock_guard lock(mutex_);
  requests_.push_back(std::move(request));
}

void RawHttpServer::AcceptLoop() {
  for (;;) {
    pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {stop_.wait_fd(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
    if (fds[1].revents & POLLIN) return;
    if (!(fds[0].revents & POLLIN)) continue;
    const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++connections_;
    std::lock_guard lock(mutex_);
    connection_threads_.emplace_back([this, fd] {
      RawConnection connection(*this, fd);
      script_(connection);
    });
  }
}

}  // namespace tw::test
