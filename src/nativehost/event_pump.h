// EventPump: the events of one subscription (api::EventFeed) written to the browser's port as
// they come, each fitted to the browsers' message limit (outgoing.h).
//
// A browser that stops reading while events pile up past the feed's cap is not let hold the
// process: the feed is dropped and a fresh one starts over from loading, as a reconnecting
// window does.
//
// Threads: made and destroyed on one thread; its own thread does the writing through `send`,
// which must be safe to call beside the owner's writes. Destroying it stops and joins the thread.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string_view>

#include "api/event_feed.h"
#include "app/application.h"
#include "foundation/thread_annotations.h"
#include "foundation/worker_thread.h"
#include "platform/error.h"

namespace tw::nativehost {

class EventPump final : public WorkerThread {
 public:
  // Sends one message to the browser; an error ends the pump.
  using Send = std::function<Error(std::string_view message)>;

  EventPump(app::Application& app, Send send);
  ~EventPump() override;

  void Stop() override;

 protected:
  int Run() override;

 private:
  app::Application& app_;
  const Send send_;
  std::mutex mutex_;
  std::unique_ptr<api::EventFeed> feed_ TW_GUARDED_BY(mutex_);
};

}  // namespace tw::nativehost
