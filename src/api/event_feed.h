// EventFeed: one client's stream of API events (docs/api.md, Events), independent of the
// transport that carries it. On construction it subscribes to the application and is told at once
// of loading, every page and the checking state; then of every event as it happens. A client
// that shows windows (`shows_dialogs`) also receives the notification dialogs.
//
// Events wait in a queue of the client's own, capped at kMaxQueuedBytes beyond what was queued on
// connecting: the application never waits for a client. A client that falls that far behind is
// dropped: the feed is marked overflowed, its queue emptied, and the transport ends the stream.
//
// Threads: the application's threads fill the queue; one transport thread takes from it (Take).
// Wake may be called from any thread. Destroying the feed unsubscribes; no event is added after
// the destructor has returned.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "app/application.h"
#include "foundation/thread_annotations.h"

namespace tw::api {

struct EventMessage {
  std::string name;  // "page", "checking", ...
  std::string data;  // the event's data as JSON text
};

// The API event of an application event; nothing for events the API does not carry.
std::optional<EventMessage> ToEventMessage(const app::AppEvent& event);

class EventFeed {
 public:
  static constexpr size_t kMaxQueuedBytes = 4 * 1024 * 1024;

  EventFeed(app::Application& app, bool shows_dialogs, size_t max_queued_bytes = kMaxQueuedBytes);
  ~EventFeed();
  EventFeed(const EventFeed&) = delete;
  EventFeed& operator=(const EventFeed&) = delete;

  // Waits up to `timeout` for events and takes every one queued; empty after the time-out, after
  // Wake, or once overflowed.
  std::vector<EventMessage> Take(std::chrono::milliseconds timeout);
  // Makes a waiting Take return.
  void Wake();
  bool overflowed() const;

 private:
  void Push(const app::AppEvent& event);

  mutable std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<EventMessage> queue_ TW_GUARDED_BY(mutex_);
  size_t queued_bytes_ TW_GUARDED_BY(mutex_) = 0;
  const size_t cap_;
  size_t limit_ TW_GUARDED_BY(mutex_);
  bool connecting_ TW_GUARDED_BY(mutex_) = true;
  bool overflowed_ TW_GUARDED_BY(mutex_) = false;
  bool woken_ TW_GUARDED_BY(mutex_) = false;
  app::Application::Subscription subscription_;
};

}  // namespace tw::api
