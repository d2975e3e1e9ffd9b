// OptionsWatcher: the thread through which running components learn that a value in the options
// key changed, in this process or any other.
//
// Subscribers are a window (a message queue, which receives kOptionsChangedMessage with no
// parameters) or a function called with its context on the watcher's thread (it must do its own
// locking and must not block). Subscriptions reach the thread as thread messages 101 and 102; the
// list belongs to the thread alone. Unsubscribing returns once the thread has dropped the
// subscription (or has ended), so a subscriber may be destroyed right after it; a function may
// unsubscribe from within its own call.
//
// Stop protocol: Stop() sets the stop event; the thread drops its subscriptions and ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "foundation/message_queue.h"
#include "foundation/subscriber.h"
#include "foundation/worker_thread.h"
#include "platform/settings_store.h"

namespace tw {

inline constexpr uint32_t kOptionsChangedMessage = 1038;
inline constexpr uint32_t kSubscribeMessage = 101;
inline constexpr uint32_t kUnsubscribeMessage = 102;

class OptionsWatcher final : public WorkerThread {
 public:
  using Callback = void (*)(void* context);

  explicit OptionsWatcher(SettingsStore store);
  ~OptionsWatcher() override;

  // Starts the thread and waits until it watches the key (creating it when missing); false when
  // the thread could not be made or the key cannot be watched (the thread has then ended).
  bool StartWatching();

  // False when the thread does not run.
  bool Subscribe(MessageQueue* window);
  bool Subscribe(Callback callback, void* context);
  // Removes the first subscription of that window.
  bool Unsubscribe(MessageQueue* window);
  // Removes the first subscription of that function with that context (any context when null).
  bool Unsubscribe(Callback callback, void* context);

 protected:
  int Run() override;

 private:
  using Target = Subscriber<Callback>;
  struct Subscription;
  struct Request;
  // When Post returns: once the request is queued, or once the thread has carried it out.
  enum class Completion { kQueued, kCarriedOut };
  bool Post(uint32_t id, Target who, Completion completion);

  const SettingsStore store_;
  std::atomic<bool> watching_{false};
  std::atomic<std::thread::id> thread_id_{};
};

}  // namespace tw
