#include "nativehost/event_pump.h"

#include "nativehost/outgoing.h"

namespace tw::nativehost {
namespace {

// How long a wait for events lasts before the stop request is looked at again; Stop also wakes
// the wait at once.
constexpr std::chrono::seconds kTakeSlice{1};

}  // namespace

EventPump::EventPump(app::Application& app, Send send) : app_(app), send_(std::move(send)) {
  // Subscribed here, so that nothing that happens from now on is missed.
  feed_ = std::make_unique<api::EventFeed>(app_, /*shows_dialogs=*/true);
}

EventPump::~EventPump() { Stop(); }

void EventPump::Stop() {
  stop_event().Set();
  {
    std::lock_guard lock(mutex_);
    if (feed_) feed_->Wake();
  }
  WorkerThread::Stop();
}

int EventPump::Run() {
  SignalStarted();
  api::EventFeed* feed = nullptr;
  {
    std::lock_guard lock(mutex_);
    feed = feed_.get();
  }
  while (!StopRequested()) {
    const std::vector<api::EventMessage> events = feed->Take(kTakeSlice);
    if (StopRequested()) break;
    if (feed->overflowed()) {
      std::lock_guard lock(mutex_);
      feed_ = std::make_unique<api::EventFeed>(app_, /*shows_dialogs=*/true);
      feed = feed_.get();
      continue;
    }
    for (const api::EventMessage& event : events) {
      for (const std::string& text : EventTexts(event)) {
        if (send_(text)) return 1;
      }
    }
  }
  return 0;
}

}  // namespace tw::nativehost
