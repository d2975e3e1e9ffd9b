// PageDatabase: one process's view of the page folder. It keeps the list of pages (one
// PageRecord per page file, header and address only), keeps it in step with the folder through a
// folder watch, and tells its subscribers of every change with page events (page_events.h).
//
// Threads: the page database thread (below-normal priority) loads and reconciles the list, takes
// error files and sends page events; it alone touches the page list. The request thread carries
// out queued page requests. The check thread, owned through CheckThreadControl, runs check passes.
// Start, Stop and the destructor are called by the owner's thread; subscribing, unsubscribing,
// posting requests and the PageEventSink members from any thread. Callback subscribers are called
// on the thread that sends the event (the page database thread for page events) with the
// subscriber list locked: they must not subscribe or unsubscribe.
//
// Subscribers: a window is a message queue, which receives page_event::kMessageId messages; a
// callback is called with the event. Every subscriber-list operation waits for the list's lock
// together with the page database thread's stop event and fails once the database is stopping.
// A subscriber that arrives after loading receives the whole list as events 0 before any other
// page event, and never a page twice.
//
// Stop protocol: Stop() unregisters from the options watcher, sets the page database thread's
// stop event and waits for it (a load or reconciliation in progress ends at its next page), then
// stops the check and request threads. Event copies handed out stay valid until their last holder
// drops them, also after the database is gone.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "foundation/event.h"
#include "foundation/owned_list.h"
#include "foundation/subscriber.h"
#include "foundation/thread_annotations.h"
#include "pagedb/check_thread_control.h"
#include "pagedb/checking_settings.h"
#include "pagedb/page_events.h"
#include "pagefile/page_record.h"
#include "platform/error.h"
#include "platform/folder_watch.h"
#include "platform/settings_store.h"
#include "platform/url_cache.h"
#include "settings/options_watcher.h"

namespace tw {

// The thread message that carries a PageRequest to the request thread.
inline constexpr uint32_t kPageRequestMessage = 0x52F;

class PageDatabase final : public PageEventSink {
 public:
  enum class StartMode {
    kWithThreads,  // the page database of a process with windows
    kOptionsOnly,  // a one-shot call: find the folder and read the options, start nothing
  };

  // The database owns the check thread; the options watcher, when given, must outlive it.
  PageDatabase(SettingsStore store, std::unique_ptr<CheckThreadControl> check_thread,
               OptionsWatcher* options_watcher);
  ~PageDatabase() override;
  PageDatabase(const PageDatabase&) = delete;
  PageDatabase& operator=(const PageDatabase&) = delete;

  // Finds (or makes) the page folder, reads the options and, with threads, registers with the
  // options watcher, watches the folder and starts its three threads; the first thing the page
  // database thread does is load the list. Starting a started database does nothing.
  Error Start(StartMode mode = StartMode::kWithThreads);
  void Stop();

  bool Subscribe(uint32_t mask, MessageQueue* window);
  bool Subscribe(uint32_t mask, PageEventCallback callback, void* context);
  // Remove the first subscriber of that window, or of that function and context.
  bool Unsubscribe(MessageQueue* window);
  bool Unsubscribe(PageEventCallback callback, void* context);

  // Queues an add (0), delete (1) or import (2) for the request thread, which reports it done
  // with event 6. Fails with 206 when the page's title would be too long for the folder, and when
  // the request thread does not run; the request is then freed.
  Error PostPageRequest(std::unique_ptr<PageRequest> request);

  // One check pass over all pages on the check thread, returning when it has ended (the
  // unattended refresh). The pass's error, or 31 when it could not run.
  Error RunCheckPassOnce();
  // Asks the running check thread for a pass over all pages now (the Refresh command).
  void CheckNow();

  std::string page_folder() const;
  const CheckingSettings& settings() const { return settings_; }

  // PageEventSink.
  void SendToAll(const PageEvent& event) override;
  bool SendToFirstTaker(PageEvent event) override;
  bool HasSubscribers(uint32_t mask) override;

 private:
  using Target = Subscriber<PageEventCallback>;
  struct Listener;
  class DatabaseThread;
  class RequestThread;
  using SubscriberLock = std::unique_lock<std::timed_mutex>;

  int RunDatabaseThread();
  int RunRequestThread();
  Error Load();
  Error LoadPages();
  Error Reconcile();
  // Drains the folder watch, noting the page files it names; true if something relevant changed.
  bool NoteChanges();
  Error ChangeFolder();
  void ReportFailure(Error error);
  void ReadOptions();
  static void OnOptionsChanged(void* self);
  void SetFolder(const std::string& folder);
  bool Stopping() const;

  bool Add(uint32_t mask, Target who);
  bool Remove(Target who);
  bool LockSubscribers(SubscriberLock& lock);
  void DeliverToAll(const PageEvent& event);
  bool Deliver(Listener& subscriber, PageEvent& event);
  // The whole list as events 0 to every subscriber, or only to those not yet initialised.
  void SendList(bool only_new);

  const SettingsStore store_;
  const std::unique_ptr<CheckThreadControl> check_;
  OptionsWatcher* const options_watcher_;

  bool running_ = false;
  bool watching_options_ = false;
  Event reload_{EventReset::kAuto};
  Event folder_changed_{EventReset::kAuto};
  Event new_subscriber_{EventReset::kAuto};
  Event reconcile_{EventReset::kAuto};
  CheckingSettings settings_;

  mutable std::mutex folder_mutex_;
  std::string folder_ TW_GUARDED_BY(folder_mutex_);  // the folder the page list belongs to

  // The page database thread's own.
  FolderWatch watch_;
  // Page files the folder watch named since they were last looked at, and whether the next
  // reconciliation must look at every page file.
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
  };
  std::unordered_set<std::string, NameHash, std::equal_to<>> changed_names_;
  bool full_scan_ = true;
  std::chrono::steady_clock::time_point last_full_scan_;
  // New pages never checked that a reconciliation found while a pass held the folder; while
  // there are any, the thread looks now and then whether the folder is free again.
  std::unordered_set<std::string, NameHash, std::equal_to<>> awaiting_check_;
  std::optional<UrlCache> url_cache_;
  OwnedList<PageRecord> pages_;

  std::timed_mutex subscribers_mutex_;
  OwnedList<Listener> subscribers_ TW_GUARDED_BY(subscribers_mutex_);
  bool loaded_ TW_GUARDED_BY(subscribers_mutex_) = false;

  std::unique_ptr<DatabaseThread> database_thread_;
  std::unique_ptr<RequestThread> request_thread_;
};

}  // namespace tw
