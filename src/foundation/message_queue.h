// A thread's message queue: any thread posts, the owning thread takes messages in order.
//
// The queue is waitable (readable while it holds a message), so its owner waits for messages
// together with events and descriptors. A closed queue refuses new messages, which is how a
// receiver that went away makes its senders fail instead of piling up work nobody takes.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "foundation/thread_annotations.h"
#include "foundation/unique_fd.h"
#include "foundation/waitable.h"

namespace tw {

// Base of everything a message carries; the receiver owns it once the message is taken.
struct MessagePayload {
  virtual ~MessagePayload() = default;
};

struct Message {
  uint32_t id = 0;
  uint64_t param = 0;
  std::unique_ptr<MessagePayload> payload;
};

// Takes the payload out of a message as the type the receiver expects; null if it is another.
template <class T>
std::unique_ptr<T> TakePayload(Message& message) {
  if (auto* typed = dynamic_cast<T*>(message.payload.get())) {
    message.payload.release();
    return std::unique_ptr<T>(typed);
  }
  return nullptr;
}

class MessageQueue final : public Waitable {
 public:
  MessageQueue();
  ~MessageQueue() override;
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  bool valid() const { return fd_.valid(); }
  // False when the queue is closed or invalid; the message (and its payload) is then dropped.
  bool Post(Message message);
  // Like Post, but a message that is refused stays with the caller, who may hand it elsewhere.
  bool TryPost(Message& message);
  // The oldest message, if any, without waiting.
  std::optional<Message> TryGet();
  // Waits up to the time-out for a message.
  std::optional<Message> Get(Timeout timeout = kInfinite);
  // Refuses further posts and drops what is queued (payloads are freed).
  void Close();
  // Accepts posts again after Close, starting empty.
  void Reopen();
  size_t size() const;

  int wait_fd() const override { return fd_.get(); }
  bool TryAcquire() override;

 private:
  UniqueFd fd_;
  mutable std::mutex mutex_;
  std::deque<Message> messages_ TW_GUARDED_BY(mutex_);
  bool closed_ TW_GUARDED_BY(mutex_) = false;
};

}  // namespace tw
