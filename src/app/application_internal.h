// The inside of the application facade, shared by its implementation files only. Core's members
// may be called from any thread; locks are only ever taken in this order: the database lock,
// the page database's subscriber lock, the state lock.
#pragma once

#ifndef TW_INSIDE_APP
#error \
    "app/application_internal.h belongs to the application facade; front ends include app/application.h"
#endif

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/shared_holder.h"
#include "foundation/thread_annotations.h"
#include "notify/notification_thread.h"
#include "pagedb/page_database.h"
#include "pagefile/page_record.h"
#include "platform/in_use_retry.h"
#include "platform/settings_store.h"
#include "settings/options_watcher.h"

namespace tw::app {

// The Smart History worker with what connects it to the facade (smart_history_internal.h).
class SmartHistoryService;

// The page database of the process, with the options watcher it holds for its lifetime.
struct RunningDatabase {
  SharedHolder<OptionsWatcher>::Reference watcher;  // first, so that it goes last
  std::unique_ptr<PageDatabase> database;
};

struct Application::Window::Held {
  // Taken in this order and given back in the reverse one.
  SharedHolder<OptionsWatcher>::Reference options_watcher;
  SharedHolder<SmartHistoryService>::Reference smart_history;
  SharedHolder<RunningDatabase>::Reference page_database;
  SharedHolder<NotificationThread>::Reference notifications;
};

// Core is also the notification thread's view of the windows: the subscribers that show the
// notification dialogs (kNotificationEvents).
class Application::Core final : public NotificationWindows {
 public:
  explicit Core(AppConfig config);
  ~Core() override;

  const AppConfig config;
  // The settings store, opened once.
  const Result<SettingsStore> store;

  SharedHolder<OptionsWatcher> options_watcher;
  SharedHolder<RunningDatabase> page_database;
  SharedHolder<SmartHistoryService> smart_history;
  SharedHolder<NotificationThread> notifications;
  // The facade that owns this core, for the operations Smart History calls.
  Application* owner = nullptr;
  // The owner's wish for the Smart History worker's active flag.
  std::atomic<bool> smart_history_active{true};

  // The running page database, used under its lock: null while no window holds it.
  class DatabaseAccess {
   public:
    explicit DatabaseAccess(Core& core) : lock_(core.database_mutex_), db_(core.database_) {}
    PageDatabase* get() const { return db_; }
    PageDatabase* operator->() const { return db_; }
    explicit operator bool() const { return db_ != nullptr; }

   private:
    std::lock_guard<std::mutex> lock_;
    PageDatabase* db_;
  };

  // The page folder: the running database's, else found (and made) from the options.
  Result<std::string> PageFolder();
  // The titles in use, folded: the page list's and those of adds under way (while the database
  // runs), or the page files of the folder.
  enum class TitleSource { kPageList, kFolder };
  Result<std::set<std::string>> TakenTitleKeys(const std::string& folder, TitleSource source);
  // Whether a page of exactly that title exists.
  bool PageExists(const std::string& folder, const std::string& title);

  // Adds waiting for the request thread, so that their titles count as taken.
  uint64_t NewRequestId();
  void AddPending(uint64_t id, RequestKind kind, const std::string& title,
                  std::string staged_path = "");
  void RemovePending(uint64_t id);

  // The mirror of the page database's list.
  std::vector<Page> PagesSnapshot();
  std::optional<Page> FindPage(const std::string& title);
  bool checking();

  uint64_t AddSubscriber(uint32_t classes, EventHandler handler);
  void RemoveSubscriber(uint64_t id);

  // Pages Smart History proposes, until the Smart History dialog settles them.
  void AddProposal(ProposedPage page);
  std::vector<ProposedPage> Proposals();
  // Settles the proposals at `addresses` (all without); those left are proposed again.
  void SettleProposals(const std::optional<std::vector<std::string>>& addresses);

  // The import trees last filled, by their tokens, for their add walks.
  std::mutex import_mutex;
  std::map<uint64_t, ImportTree> import_trees TW_GUARDED_BY(import_mutex);
  uint64_t next_import_token TW_GUARDED_BY(import_mutex) = 1;

  // The user settings in force, PDB filled in with the page folder in use.
  Result<std::vector<SettingsValue>> SettingsInForce();
  // The tidewell program to start (AppConfig::program, else this one).
  Result<std::string> Program();

  // NotificationWindows, called on the notification thread.
  bool HasWindow() override;
  bool ShowUpdatedPages(uint64_t id, const std::vector<AnnouncedPage>& pages,
                        bool do_not_show_again) override;
  bool ShowErrors(uint64_t id, const std::vector<std::string>& errors) override;
  bool ShowMessage(const std::string& text) override;
  bool OpenWindow(const WindowStart& start) override;

  void SetWindowOpener(std::function<bool(const WindowStart&)> opener);
  void ShowNotificationsOnDesktop(bool on);

  // A dropped page file, kept in the private runtime folder until its import has copied it.
  Result<std::string> StageDroppedFile(const DroppedFile& file);
  static void RemoveStagedFile(const std::string& path);
  // Hands a window's answer to the notification thread.
  void AnswerDialog(NotificationThread::DialogAnswer answer);

 private:
  struct Subscriber {
    uint32_t classes = 0;
    EventHandler handler;
  };
  struct Pending {
    RequestKind kind = RequestKind::kAdd;
    std::string title_key;
    std::string staged_path;  // a dropped page file to remove once its import is done
  };

  Result<std::unique_ptr<RunningDatabase>> StartDatabase();
  void StopDatabase(RunningDatabase& running);
  Result<std::unique_ptr<OptionsWatcher>> StartOptionsWatcher();
  void StopOptionsWatcher(OptionsWatcher& watcher);
  Result<std::unique_ptr<NotificationThread>> StartNotifications();
  void StopNotifications(NotificationThread& thread);
  static void OnOptionsChanged(void* context);
  // The window to show dialog `id`: the one that shows it already, else the last that came.
  std::optional<uint64_t> DialogWindow(uint64_t id) TW_REQUIRES(state_mutex_);
  bool SendToDialogWindow(uint64_t id, const AppEvent& event);
  // Whether the notification thread announces what the page database delivers: while a window
  // shows dialogs, or the desktop stands in for one.
  bool Announcing() const TW_REQUIRES(state_mutex_);
  // Hands the proposals waiting to the notification thread, which tells the desktop of them
  // while no window can.
  void AnnounceProposals() TW_REQUIRES(state_mutex_);
  void UpdateMessageSubscription();
  static void OnPageEvent(PageEvent& event, void* context);
  static void OnMessageEvent(PageEvent& event, void* context);
  void Handle(PageEvent& event);
  void Dispatch(const AppEvent& event, uint32_t event_class) TW_REQUIRES(state_mutex_);

  std::mutex database_mutex_;
  PageDatabase* database_ TW_GUARDED_BY(database_mutex_) = nullptr;
  bool messages_subscribed_ TW_GUARDED_BY(database_mutex_) = false;
  // A second context for the subscription to message events, told apart from the first.
  struct MessageContext {
    Core* core;
  } message_context_{this};

  std::mutex state_mutex_;
  std::map<std::string, Page> pages_ TW_GUARDED_BY(state_mutex_);
  bool checking_ TW_GUARDED_BY(state_mutex_) = false;
  std::map<uint64_t, Pending> pending_ TW_GUARDED_BY(state_mutex_);
  std::map<uint64_t, Subscriber> subscribers_ TW_GUARDED_BY(state_mutex_);
  size_t message_subscribers_ TW_GUARDED_BY(state_mutex_) = 0;
  uint64_t next_id_ TW_GUARDED_BY(state_mutex_) = 1;
  std::vector<ProposedPage> proposals_ TW_GUARDED_BY(state_mutex_);

  // The notification thread while it runs, and the window each of its dialogs went to.
  NotificationThread* notification_thread_ TW_GUARDED_BY(state_mutex_) = nullptr;
  std::map<uint64_t, uint64_t> dialog_windows_ TW_GUARDED_BY(state_mutex_);
  size_t window_subscribers_ TW_GUARDED_BY(state_mutex_) = 0;
  bool desktop_notifications_ TW_GUARDED_BY(state_mutex_) = false;

  std::mutex opener_mutex_;
  std::function<bool(const WindowStart&)> window_opener_ TW_GUARDED_BY(opener_mutex_);
};

// A page as a front end shows it, from what the page file holds.
Page PageFromStored(const std::string& title, const PageHeader& header, const std::string& address);
// The sentence of a page's stored error, cut to what a page shows.
std::string StoredErrorText(uint32_t status, uint32_t code);

}  // namespace tw::app
