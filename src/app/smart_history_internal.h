// SmartHistoryService: the Smart History worker of the process, connected to the facade: it hears
// the page list through a facade subscription, option changes through the options watcher, and
// adds, clears and proposes pages through the facade's own operations. It is the object of the
// Smart History holder: made when the first window opens, stopped when the last one closes.
//
// Threads: made and destroyed under the holder's lock; worker() may be used from any thread.
#pragma once

#ifndef TW_INSIDE_APP
#error "app/smart_history_internal.h belongs to the application facade"
#endif

#include <memory>

#include "app/application_internal.h"
#include "history/smart_history_worker.h"

namespace tw::app {

class SmartHistoryService {
 public:
  static Result<std::unique_ptr<SmartHistoryService>> Start(Application::Core& core);
  // Stops listening, then stops the worker.
  ~SmartHistoryService();
  SmartHistoryService(const SmartHistoryService&) = delete;
  SmartHistoryService& operator=(const SmartHistoryService&) = delete;

  SmartHistoryWorker& worker() { return *worker_; }

 private:
  class Pages;
  explicit SmartHistoryService(Application::Core& core);
  static void OnOptionsChanged(void* context);

  Application::Core& core_;
  std::unique_ptr<Pages> pages_;
  std::unique_ptr<SmartHistoryWorker> worker_;
  SharedHolder<OptionsWatcher>::Reference options_watcher_;
  bool options_subscribed_ = false;
  uint64_t subscription_ = 0;
};

}  // namespace tw::app
