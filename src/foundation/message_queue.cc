#include "foundation/message_queue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

namespace tw {
namespace {

void Signal(int fd) {
  const uint64_t one = 1;
  while (::write(fd, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void Unsignal(int fd) {
  uint64_t value;
  while (::read(fd, &value, sizeof value) < 0 && errno == EINTR) {
  }
}

}  // namespace

MessageQueue::MessageQueue() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

MessageQueue::~MessageQueue() = default;

// A refused message is freed when `message` goes, after the lock is released.
bool MessageQueue::Post(Message message) { return TryPost(message); }

bool MessageQueue::TryPost(Message& message) {
  std::lock_guard lock(mutex_);
  if (closed_ || !fd_.valid()) return false;
  if (messages_.empty()) Signal(fd_.get());
  messages_.push_back(std::move(message));
  return true;
}

std::optional<Message> MessageQueue::TryGet() {
  std::lock_guard lock(mutex_);
  if (messages_.empty()) return std::nullopt;
  Message message = std::move(messages_.front());
  messages_.pop_front();
  if (messages_.empty()) Unsignal(fd_.get());
  return message;
}

std::optional<Message> MessageQueue::Get(Timeout timeout) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  for (;;) {
    if (auto message = TryGet()) return message;
    Timeout left = kInfinite;
    if (timeout >= Timeout::zero()) {
      left = timeout - std::chrono::duration_cast<Timeout>(Clock::now() - start);
      if (left < Timeout::zero()) return std::nullopt;
    }
    if (!WaitForAny({this}, left).signaled()) {
      if (auto message = TryGet()) return message;
      return std::nullopt;
    }
  }
}

void MessageQueue::Close() {
  std::deque<Message> dropped;
  std::lock_guard lock(mutex_);
  closed_ = true;
  dropped.swap(messages_);
  if (fd_.valid()) Unsignal(fd_.get());
}

void MessageQueue::Reopen() {
  std::lock_guard lock(mutex_);
  closed_ = false;
}

size_t MessageQueue::size() const {
  std::lock_guard lock(mutex_);
  return messages_.size();
}

bool MessageQueue::TryAcquire() {
  std::lock_guard lock(mutex_);
  return !messages_.empty();
}

}  // namespace tw
