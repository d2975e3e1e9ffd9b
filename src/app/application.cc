#include "app/application.h"

#include <algorithm>

#include "app/application_internal.h"
#include "app/messages.h"
#include "app/page_rules.h"
#include "app/smart_history_internal.h"
#include "checking/check_thread.h"
#include "foundation/ascii.h"
#include "foundation/utf8.h"
#include "pagedb/error_log.h"
#include "pagedb/page_folder.h"
#include "pagefile/page_file.h"
#include "pagefile/title.h"
#include "platform/file_system.h"

namespace tw::app {
namespace {

Result<SettingsStore> OpenStore(const AppConfig& config) {
  if (config.settings_path) return SettingsStore(*config.settings_path);
  return SettingsStore::OpenUser();
}

RequestKind KindOf(PageRequest::Kind kind) {
  switch (kind) {
    case PageRequest::kAddPage:
      return RequestKind::kAdd;
    case PageRequest::kDeletePage:
      return RequestKind::kDelete;
    case PageRequest::kImportPageFile:
      return RequestKind::kImport;
  }
  return RequestKind::kAdd;
}

AppEvent EventOf(EventKind kind) {
  AppEvent event;
  event.kind = kind;
  return event;
}

bool TitleOrder(const Page& a, const Page& b) {
  const std::string la = AsciiLower(a.title), lb = AsciiLower(b.title);
  return la != lb ? la < lb : a.title < b.title;
}

}  // namespace

// --- Pages as values ---------------------------------------------------------------------------

std::string StoredErrorText(uint32_t status, uint32_t code) {
  Result<std::string> text = PageErrorText(status, code);
  return CutUtf8Bytes(text.ok() ? *text : ErrorSentence(Error()), kMaxPageErrorText);
}

Page PageFromStored(const std::string& title, const PageHeader& header,
                    const std::string& address) {
  Page page;
  page.title = title;
  if (header.addressLength != 0) page.address = address;
  page.updated = header.updated != 0;
  if (header.errorCode != 0) {
    page.error = PageError{header.status, header.errorCode,
                           StoredErrorText(header.status, header.errorCode)};
  }
  page.updated_time = header.updatedTime;
  page.last_modified = header.lastModified;
  page.expires = header.expires;
  page.smart_update = header.smartUpdate != 0;
  page.ignore_last_modified = header.ignoreLastModified != 0;
  page.ignore_expires = header.ignoreExpires != 0;
  if (page.smart_update) {
    page.check_count = header.checkCount;
    page.wait_seconds = header.waitSeconds;
  }
  return page;
}

// --- Core --------------------------------------------------------------------------------------

Application::Core::Core(AppConfig config_in)
    : config(std::move(config_in)),
      store(OpenStore(config)),
      options_watcher([this] { return StartOptionsWatcher(); },
                      [this](OptionsWatcher& watcher) { StopOptionsWatcher(watcher); }),
      page_database([this] { return StartDatabase(); },
                    [this](RunningDatabase& running) { StopDatabase(running); }),
      smart_history([this] { return SmartHistoryService::Start(*this); }, nullptr),
      notifications([this] { return StartNotifications(); },
                    [this](NotificationThread& thread) { StopNotifications(thread); }) {}

Application::Core::~Core() = default;

Result<std::unique_ptr<OptionsWatcher>> Application::Core::StartOptionsWatcher() {
  if (!store.ok()) return store.error();
  auto watcher = std::make_unique<OptionsWatcher>(*store);
  if (!watcher->StartWatching()) return Error(err::kGenFailure);
  // Windows hear of every change of the options, by any process.
  if (!watcher->Subscribe(&Core::OnOptionsChanged, this)) return Error(err::kGenFailure);
  return watcher;
}

void Application::Core::StopOptionsWatcher(OptionsWatcher& watcher) {
  (void)watcher.Unsubscribe(&Core::OnOptionsChanged, this);
  watcher.Stop();
}

void Application::Core::OnOptionsChanged(void* context) {
  Core& core = *static_cast<Core*>(context);
  {
    std::lock_guard lock(core.state_mutex_);
    const bool wanted =
        std::any_of(core.subscribers_.begin(), core.subscribers_.end(),
                    [](const auto& s) { return s.second.classes & kOptionsEvents; });
    if (!wanted) return;
  }
  // Read before the state lock, which comes after the database lock that the page folder takes.
  Result<std::vector<SettingsValue>> settings = core.SettingsInForce();
  if (!settings.ok()) return;
  AppEvent event = EventOf(EventKind::kOptionsChanged);
  event.settings = std::move(*settings);
  std::lock_guard lock(core.state_mutex_);
  core.Dispatch(event, kOptionsEvents);
}

Result<std::unique_ptr<NotificationThread>> Application::Core::StartNotifications() {
  if (!store.ok()) return store.error();
  auto thread = std::make_unique<NotificationThread>(*store, this);
  if (!thread->Start()) return Error(err::kGenFailure);
  (void)thread->started_event().Wait();
  {
    std::lock_guard lock(state_mutex_);
    notification_thread_ = thread.get();
  }
  UpdateMessageSubscription();
  return thread;
}

void Application::Core::StopNotifications(NotificationThread& thread) {
  {
    std::lock_guard lock(state_mutex_);
    notification_thread_ = nullptr;
    dialog_windows_.clear();
  }
  UpdateMessageSubscription();
  thread.Stop();
}

Result<std::unique_ptr<RunningDatabase>> Application::Core::StartDatabase() {
  if (!store.ok()) return store.error();
  auto running = std::make_unique<RunningDatabase>();
  Result<SharedHolder<OptionsWatcher>::Reference> watcher = options_watcher.Acquire();
  if (!watcher.ok()) return watcher.error();
  running->watcher = std::move(*watcher);
  CheckThread::Options options;
  options.schedule_minute = config.schedule_minute;
  running->database = std::make_unique<PageDatabase>(*store, std::make_unique<CheckThread>(options),
                                                     running->watcher.get());
  PageDatabase& db = *running->database;
  // Subscribed before it starts, so that the first load reaches the mirror whole.
  if (!db.Subscribe(kPageEvents | kCheckingEvents | kRequestEvents, &Core::OnPageEvent, this)) {
    return Error(err::kGenFailure);
  }
  if (Error e = db.Start()) return e;
  {
    std::lock_guard lock(database_mutex_);
    database_ = &db;
    messages_subscribed_ = false;
  }
  UpdateMessageSubscription();
  return running;
}

void Application::Core::StopDatabase(RunningDatabase& running) {
  {
    std::lock_guard lock(database_mutex_);
    database_ = nullptr;
    messages_subscribed_ = false;
  }
  running.database->Stop();
  std::lock_guard lock(state_mutex_);
  pages_.clear();
  pending_.clear();
  checking_ = false;
}

// Message events are taken by the first subscriber, so the page database offers them to us only
// while someone here wants them: otherwise they stay with the folder (error files wait there).
void Application::Core::UpdateMessageSubscription() {
  std::lock_guard lock(database_mutex_);
  if (!database_) return;
  bool wanted;
  {
    std::lock_guard state(state_mutex_);
    wanted = message_subscribers_ > 0 || Announcing();
  }
  if (wanted && !messages_subscribed_) {
    messages_subscribed_ =
        database_->Subscribe(kMessageEvents, &Core::OnMessageEvent, &message_context_);
  } else if (!wanted && messages_subscribed_) {
    (void)database_->Unsubscribe(&Core::OnMessageEvent, &message_context_);
    messages_subscribed_ = false;
  }
}

Result<std::string> Application::Core::PageFolder() {
  {
    DatabaseAccess db(*this);
    if (db) return db->page_folder();
  }
  if (!store.ok()) return store.error();
  return GetPageFolder(*store);
}

Result<std::set<std::string>> Application::Core::TakenTitleKeys(const std::string& folder,
                                                                TitleSource source) {
  std::set<std::string> taken;
  if (source == TitleSource::kPageList) {
    std::lock_guard lock(state_mutex_);
    for (const auto& [title, page] : pages_) taken.insert(TitleKey(title));
    for (const auto& [id, pending] : pending_) taken.insert(pending.title_key);
    return taken;
  }
  Result<std::vector<FoundFile>> files = ListFiles(folder, [](std::string_view name) {
    return name.ends_with(kPageFileSuffix) ? Listing::kNameOnly : Listing::kSkip;
  });
  if (!files.ok()) return files.error();
  for (const FoundFile& file : *files) taken.insert(TitleKey(TitleOfFileName(file.name)));
  return taken;
}

bool Application::Core::PageExists(const std::string& folder, const std::string& title) {
  return PathExists(PagePath(folder, title));
}

uint64_t Application::Core::NewRequestId() {
  std::lock_guard lock(state_mutex_);
  return next_id_++;
}

void Application::Core::AddPending(uint64_t id, RequestKind kind, const std::string& title,
                                   std::string staged_path) {
  std::lock_guard lock(state_mutex_);
  pending_[id] = Pending{kind, TitleKey(title), std::move(staged_path)};
}

void Application::Core::RemovePending(uint64_t id) {
  std::lock_guard lock(state_mutex_);
  pending_.erase(id);
}

std::vector<Page> Application::Core::PagesSnapshot() {
  std::vector<Page> pages;
  {
    std::lock_guard lock(state_mutex_);
    pages.reserve(pages_.size());
    for (const auto& [title, page] : pages_) pages.push_back(page);
  }
  std::sort(pages.begin(), pages.end(), TitleOrder);
  return pages;
}

std::optional<Page> Application::Core::FindPage(const std::string& title) {
  std::lock_guard lock(state_mutex_);
  const auto it = pages_.find(title);
  if (it == pages_.end()) return std::nullopt;
  return it->second;
}

bool Application::Core::checking() {
  std::lock_guard lock(state_mutex_);
  return checking_;
}

uint64_t Application::Core::AddSubscriber(uint32_t classes, EventHandler handler) {
  uint64_t id;
  {
    std::lock_guard lock(state_mutex_);
    id = next_id_++;
    // What a new subscriber is told at once, before any later event can reach it.
    if (classes & kPageEvents) {
      handler(EventOf(EventKind::kLoading));
      std::vector<const Page*> pages;
      for (const auto& [title, page] : pages_) pages.push_back(&page);
      std::sort(pages.begin(), pages.end(),
                [](const Page* a, const Page* b) { return TitleOrder(*a, *b); });
      for (const Page* page : pages) {
        AppEvent added = EventOf(EventKind::kPageAdded);
        added.page = *page;
        handler(added);
      }
    }
    if (classes & kCheckingEvents) {
      AppEvent checking = EventOf(EventKind::kChecking);
      checking.checking = checking_;
      handler(checking);
    }
    subscribers_[id] = Subscriber{classes, std::move(handler)};
    if (classes & kMessageEvents) ++message_subscribers_;
    if (classes & kNotificationEvents) {
      ++window_subscribers_;
      if (notification_thread_) (void)notification_thread_->WindowsChanged();
    }
  }
  if (classes & (kMessageEvents | kNotificationEvents)) UpdateMessageSubscription();
  return id;
}

void Application::Core::RemoveSubscriber(uint64_t id) {
  bool had_messages = false;
  bool was_window = false;
  {
    std::lock_guard lock(state_mutex_);
    const auto it = subscribers_.find(id);
    if (it == subscribers_.end()) return;
    had_messages = (it->second.classes & kMessageEvents) != 0;
    if (had_messages) --message_subscribers_;
    was_window = (it->second.classes & kNotificationEvents) != 0;
    if (was_window) --window_subscribers_;
    subscribers_.erase(it);
    // A dialog shown in this window is left unanswered; the notification thread decides.
    for (auto dialog = dialog_windows_.begin(); dialog != dialog_windows_.end();) {
      if (dialog->second != id) {
        ++dialog;
        continue;
      }
      if (notification_thread_) {
        NotificationThread::DialogAnswer abandoned;
        abandoned.id = dialog->first;
        abandoned.abandoned = true;
        (void)notification_thread_->Answer(std::move(abandoned));
      }
      dialog = dialog_windows_.erase(dialog);
    }
    if (was_window && notification_thread_) (void)notification_thread_->WindowsChanged();
  }
  if (had_messages || was_window) UpdateMessageSubscription();
}

bool Application::Core::Announcing() const {
  return notification_thread_ && (window_subscribers_ > 0 || desktop_notifications_);
}

void Application::Core::ShowNotificationsOnDesktop(bool on) {
  {
    std::lock_guard lock(state_mutex_);
    desktop_notifications_ = on;
  }
  UpdateMessageSubscription();
}

void Application::Core::OnPageEvent(PageEvent& event, void* context) {
  static_cast<Core*>(context)->Handle(event);
}

void Application::Core::OnMessageEvent(PageEvent& event, void* context) {
  static_cast<MessageContext*>(context)->core->Handle(event);
}

void Application::Core::Handle(PageEvent& event) {
  std::lock_guard lock(state_mutex_);
  AppEvent out;
  const uint32_t event_class = event.mask();
  switch (event.code) {
    case page_event::kLoadingBegun:
      pages_.clear();
      out.kind = EventKind::kLoading;
      break;
    case page_event::kPageAdded:
    case page_event::kPageRemoved:
    case page_event::kPageChanged: {
      if (!event.page) return;
      const PageRecord& record = *event.page;
      Page page = PageFromStored(record.title, record.header(), record.address);
      if (event.code == page_event::kPageRemoved) {
        pages_.erase(record.title);
        out.kind = EventKind::kPageRemoved;
      } else {
        pages_[record.title] = page;
        out.kind =
            event.code == page_event::kPageAdded ? EventKind::kPageAdded : EventKind::kPageChanged;
      }
      out.page = std::move(page);
      break;
    }
    case page_event::kFolderLocked:
    case page_event::kFolderUnlocked: {
      const bool running = event.code == page_event::kFolderLocked;
      // Every look at the folder says it again; subscribers hear of changes only.
      if (running == checking_) return;
      checking_ = running;
      out.kind = EventKind::kChecking;
      out.checking = running;
      break;
    }
    case page_event::kRequestDone: {
      if (!event.request) return;
      const PageRequest& request = *event.request;
      RequestDone done;
      done.request_id = pending_.contains(request.id) ? request.id : 0;
      done.kind = KindOf(request.kind);
      done.name = request.name;
      if (const auto it = pending_.find(request.id); it != pending_.end()) {
        // A dropped file is known by its own name, not where it was kept meanwhile.
        if (!it->second.staged_path.empty()) {
          RemoveStagedFile(it->second.staged_path);
          done.name = FileNameOf(it->second.staged_path);
        }
        pending_.erase(it);
      }
      done.ok = request.result != 0;
      if (!done.ok) done.error = AddFailedMessage(Error(request.error));
      out.kind = EventKind::kRequestDone;
      out.request = std::move(done);
      break;
    }
    case page_event::kError:
      if (!event.errors) return;
      out.kind = EventKind::kErrors;
      for (const ErrorRecord& error : *event.errors) {
        // An error file keeps the line break its message ends with; a message box does not.
        std::string_view text = error.text;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
          text.remove_suffix(1);
        }
        out.errors.emplace_back(text);
      }
      if (Announcing()) (void)notification_thread_->AnnounceErrors(out.errors);
      break;
    case page_event::kNewlyUpdated: {
      if (!event.updated) return;
      out.kind = EventKind::kNewlyUpdated;
      std::vector<AnnouncedPage> announced;
      for (const UpdatedPage& page : *event.updated) {
        out.updated.push_back(UpdatedPageRef{page.title, page.address});
        announced.push_back(AnnouncedPage{page.title, page.address});
      }
      if (Announcing()) (void)notification_thread_->AnnounceUpdatedPages(announced);
      break;
    }
    default:
      return;
  }
  Dispatch(out, event_class);
}

void Application::Core::Dispatch(const AppEvent& event, uint32_t event_class) {
  for (auto& [id, subscriber] : subscribers_) {
    if (subscriber.classes & event_class) subscriber.handler(event);
  }
}

// --- Application -------------------------------------------------------------------------------

Application::Application(AppConfig config) : core_(std::make_unique<Core>(std::move(config))) {
  core_->owner = this;
}

Application::~Application() = default;

Outcome<Application::Window> Application::OpenWindow() {
  auto held = std::make_unique<Window::Held>();
  Result<SharedHolder<OptionsWatcher>::Reference> watcher = core_->options_watcher.Acquire();
  if (!watcher.ok()) return InternalErrorMessage(watcher.error());
  held->options_watcher = std::move(*watcher);
  Result<SharedHolder<SmartHistoryService>::Reference> history = core_->smart_history.Acquire();
  if (!history.ok()) return InternalErrorMessage(history.error());
  held->smart_history = std::move(*history);
  Result<SharedHolder<RunningDatabase>::Reference> db = core_->page_database.Acquire();
  if (!db.ok()) return InternalErrorMessage(db.error());
  held->page_database = std::move(*db);
  Result<SharedHolder<NotificationThread>::Reference> notify = core_->notifications.Acquire();
  if (!notify.ok()) return InternalErrorMessage(notify.error());
  held->notifications = std::move(*notify);
  return Window(std::move(held));
}

bool Application::page_database_running() const { return core_->page_database.has_object(); }

Application::Subscription Application::Subscribe(uint32_t classes, EventHandler handler) {
  return Subscription(core_.get(), core_->AddSubscriber(classes, std::move(handler)));
}

Outcome<Done> Application::CheckNow() {
  Core::DatabaseAccess db(*core_);
  if (!db) return InternalErrorMessage();
  db->CheckNow();
  return Done{};
}

Outcome<Done> Application::StopChecking() {
  Result<std::string> folder = core_->PageFolder();
  if (!folder.ok()) return InternalErrorMessage(folder.error());
  if (Error e = RequestStopChecking(*folder)) return InternalErrorMessage(e);
  return Done{};
}

bool Application::IsChecking() const { return core_->checking(); }

// --- Window and Subscription -------------------------------------------------------------------

Application::Window::Window(std::unique_ptr<Held> held) : held_(std::move(held)) {}
Application::Window::Window(Window&&) noexcept = default;
Application::Window& Application::Window::operator=(Window&&) noexcept = default;
Application::Window::~Window() = default;

Application::Subscription::Subscription(Subscription&& other) noexcept
    : core_(std::exchange(other.core_, nullptr)), id_(std::exchange(other.id_, 0)) {}

Application::Subscription& Application::Subscription::operator=(Subscription&& other) noexcept {
  if (this != &other) {
    Reset();
    core_ = std::exchange(other.core_, nullptr);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

Application::Subscription::~Subscription() { Reset(); }

void Application::Subscription::Reset() {
  if (Core* core = std::exchange(core_, nullptr)) core->RemoveSubscriber(id_);
}

void InterruptChecksFromSignal() { CheckThread::InterruptFromSignal(); }

}  // namespace tw::app
