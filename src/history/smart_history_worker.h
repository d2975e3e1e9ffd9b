// SmartHistoryWorker: the thread through which Smart History follows the browser. It learns of
// every page the browser finishes loading and decides on it (DecideNavigation), runs the full
// automatic pass on request, keeps its own copy of the page list from the page events, follows
// option changes, and hands the messages of the page events (newly updated pages, errors) on to
// the notification, so that the user is told even while no window is open.
//
// Messages, handled in order on the worker's thread: 101 a navigation, 102 options changed
// (AutoSH and the active flag are read again), 103 the automatic pass, 104 a page event. The
// history is read when first needed and again when older than kHistoryRefresh, so that a
// navigation is decided at once; the known-address marks are the user's URL cache.
//
// Stop protocol: Stop (also from the destructor) sets the stop event; a decision or pass under
// way ends at its next stop test, queued messages are dropped, and the thread is joined.
//
// Threads: the posting members may be called from any thread; SmartHistoryPages and the hooks
// are called on the worker's thread.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "foundation/worker_thread.h"
#include "history/navigation_index.h"
#include "history/smart_history.h"
#include "platform/settings_store.h"
#include "platform/url_cache.h"

namespace tw {

// A change of the page list, or one of its messages, as the worker takes it.
struct PageListChange {
  enum class Kind { kLoading, kAdded, kRemoved, kChanged, kNewlyUpdated, kErrors };
  Kind kind = Kind::kLoading;
  WatchedPage page;                  // kAdded, kRemoved, kChanged
  std::vector<WatchedPage> updated;  // kNewlyUpdated
  std::vector<std::string> errors;   // kErrors
};

class SmartHistoryWorker final : public WorkerThread {
 public:
  enum MessageId : uint32_t {
    kNavigated = 101,
    kOptionsChanged = 102,
    kRunAutomaticPass = 103,
    kPageEvent = 104,
  };

  // The history is read again for a navigation when it is older than this.
  static constexpr std::chrono::minutes kHistoryRefresh{5};

  struct Hooks {
    // The owner's active flag, read when the worker starts and on kOptionsChanged; unset: active.
    std::function<bool()> active;
    // Where newly updated pages and errors go; unset: the worker leaves them alone.
    std::function<void(const std::vector<WatchedPage>&)> announce_updated;
    std::function<void(const std::vector<std::string>&)> announce_errors;
  };

  SmartHistoryWorker(SettingsStore store, SmartHistoryPages& pages, Hooks hooks);
  ~SmartHistoryWorker() override;

  // Starts the thread at a low priority and waits until it takes messages; false when it could
  // not.
  bool StartWorking();

  bool Navigated(Navigation navigation);
  bool OptionsChanged();
  bool RunAutomaticPass();
  bool PageListChanged(PageListChange change);

 protected:
  int Run() override;

 private:
  struct NavigationPayload;
  struct ChangePayload;

  void Handle(Message& message);
  void ReadOptions();
  bool EnsureHistory(bool fresh);
  void Apply(const PageListChange& change);
  bool Stopping() const { return StopRequested(); }

  const SettingsStore store_;
  SmartHistoryPages& pages_;
  const Hooks hooks_;

  // The worker thread's own state.
  bool active_ = true;
  AutoSh auto_sh_ = AutoSh::kDetect;
  std::map<std::string, WatchedPage> page_list_;  // by title
  std::optional<UrlCache> marks_;
  std::optional<UserHistory> history_;
  NavigationIndex index_;
  std::chrono::steady_clock::time_point history_read_at_;
};

}  // namespace tw
