#include "pagedb/page_database.h"

#include <chrono>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "foundation/worker_thread.h"
#include "pagedb/error_log.h"
#include "pagedb/folder_markers.h"
#include "pagedb/page_folder.h"
#include "pagefile/page_file.h"
#include "pagefile/title.h"
#include "platform/file.h"
#include "platform/file_system.h"

namespace tw {
namespace {

// The subscriber lock is tried in slices so that a stopping database is noticed.
constexpr auto kLockSlice = std::chrono::milliseconds(20);

bool IsPageCode(uint16_t code) {
  return code == page_event::kPageAdded || code == page_event::kPageRemoved ||
         code == page_event::kPageChanged;
}

PageEvent EventWithCopy(uint16_t code, const PageRecord& record) {
  PageEvent event;
  event.code = code;
  event.page = std::shared_ptr<const PageRecord>(CopyForEvent(record));
  return event;
}

PageEvent EventWithoutData(uint16_t code) {
  PageEvent event;
  event.code = code;
  return event;
}

// Every so often a reconciliation looks up every page file, not only those the folder watch
// named, in case a change came without a notification (a network file system, say).
constexpr auto kFullScanInterval = std::chrono::minutes(1);
// How often the folder is looked at while new pages wait for a pass elsewhere to let it go.
constexpr Timeout kLockRecheckInterval{1000};
// Stop is tested once per this many pages: often enough to end promptly, rarely enough to cost
// nothing next to the work.
constexpr size_t kStopTestInterval = 64;

// The folder names whose changes matter to the page list: page files, error files and the
// markers. The "err" lock and temporary files would only wake the thread for nothing.
bool IsRelevantName(std::string_view name) {
  return name.ends_with(kPageFileSuffix) || name.ends_with(kErrorFileSuffix) ||
         FolderMarkers::IsCheckingMarker(name);
}

// The list keeps what a summary read when loading holds (header, title, address): content, masks
// and frames stay in the file, and their lengths go with them.
void KeepSummaryOnly(PageRecord& page) {
  page.ClearContent();
  page.content.shrink_to_fit();
  page.masks.Clear();
  page.frames.Clear();
  page.SyncCounts();
}

struct RequestPayload : MessagePayload {
  explicit RequestPayload(std::unique_ptr<PageRequest> r) : request(std::move(r)) {}
  std::unique_ptr<PageRequest> request;
};

}  // namespace

struct PageDatabase::Listener : ListNode<Listener> {
  Target who;
  uint32_t mask = 0;
  bool initialised = false;  // has received the whole list
};

class PageDatabase::DatabaseThread final : public WorkerThread {
 public:
  explicit DatabaseThread(PageDatabase& db) : db_(db) {}
  ~DatabaseThread() override { Stop(); }

 protected:
  int Run() override {
    SignalStarted();
    return db_.RunDatabaseThread();
  }

 private:
  PageDatabase& db_;
};

class PageDatabase::RequestThread final : public WorkerThread {
 public:
  explicit RequestThread(PageDatabase& db) : db_(db) {}
  ~RequestThread() override { Stop(); }
  MessageQueue& queue() { return messages(); }

 protected:
  int Run() override {
    SignalStarted();
    return db_.RunRequestThread();
  }

 private:
  PageDatabase& db_;
};

PageDatabase::PageDatabase(SettingsStore store, std::unique_ptr<CheckThreadControl> check_thread,
                           OptionsWatcher* options_watcher)
    : store_(std::move(store)),
      check_(std::move(check_thread)),
      options_watcher_(options_watcher),
      settings_([this](uint32_t unit, uint32_t count) { check_->ApplySchedule(unit, count); },
                &folder_changed_),
      database_thread_(std::make_unique<DatabaseThread>(*this)),
      request_thread_(std::make_unique<RequestThread>(*this)) {}

PageDatabase::~PageDatabase() { Stop(); }

Error PageDatabase::Start(StartMode mode) {
  if (running_) return Error();
  Result<std::string> folder = GetPageFolder(store_);
  if (!folder.ok()) return folder.error();
  running_ = true;
  SetFolder(*folder);
  settings_.set_page_folder(*folder);
  check_->SetEventSink(this);
  check_->SetPageFolder(*folder);
  ReadOptions();
  // The folder just found is the one the options name; nothing to move to.
  folder_changed_.Reset();
  if (mode == StartMode::kOptionsOnly) return Error();

  auto fail = [&](Error e) {
    ReportFailure(e);
    Stop();
    return e;
  };
  if (options_watcher_) {
    if (!options_watcher_->Subscribe(&PageDatabase::OnOptionsChanged, this)) {
      return fail(Error(err::kGenFailure));
    }
    watching_options_ = true;
  }
  Result<FolderWatch> watch = FolderWatch::Create(*folder);
  if (!watch.ok()) return fail(watch.error());
  watch_ = std::move(*watch);
  Result<UrlCache> cache = UrlCache::OpenUser();
  if (cache.ok()) url_cache_ = std::move(*cache);  // without it pages are just not marked

  database_thread_->SetPriority(ThreadPriority::kBelowNormal);
  if (!database_thread_->Start()) return fail(Error(err::kGenFailure));
  (void)database_thread_->started_event().Wait();
  reload_.Set();
  if (!check_->Start()) return fail(Error(err::kGenFailure));
  if (!request_thread_->Start()) return fail(Error(err::kGenFailure));
  (void)request_thread_->started_event().Wait();
  return Error();
}

void PageDatabase::Stop() {
  if (watching_options_) {
    // Returns once the watcher has dropped us, so no options callback runs after this.
    (void)options_watcher_->Unsubscribe(&PageDatabase::OnOptionsChanged, this);
    watching_options_ = false;
  }
  database_thread_->Stop();
  check_->Stop();
  request_thread_->Stop();
  watch_.Close();
  url_cache_.reset();
  pages_.Clear();
  {
    // The thread is gone, so its stop event no longer guards the list; a restart loads afresh.
    std::lock_guard lock(subscribers_mutex_);
    loaded_ = false;
  }
  running_ = false;
}

std::string PageDatabase::page_folder() const {
  std::lock_guard lock(folder_mutex_);
  return folder_;
}

void PageDatabase::SetFolder(const std::string& folder) {
  std::lock_guard lock(folder_mutex_);
  folder_ = folder;
}

bool PageDatabase::Stopping() const { return database_thread_->StopRequested(); }

void PageDatabase::ReadOptions() {
  // A key that cannot be opened leaves every setting as it was; the database runs regardless.
  (void)settings_.Read(store_);
  check_->SetPassSettings(settings_.pass_settings());
}

void PageDatabase::OnOptionsChanged(void* self) { static_cast<PageDatabase*>(self)->ReadOptions(); }

void PageDatabase::ReportFailure(Error error) { ReportError(page_folder(), this, error); }

// --- Subscribers -------------------------------------------------------------------------------

bool PageDatabase::LockSubscribers(SubscriberLock& lock) {
  lock = SubscriberLock(subscribers_mutex_, std::defer_lock);
  for (;;) {
    if (Stopping()) return false;
    if (lock.try_lock_for(kLockSlice)) return true;
  }
}

bool PageDatabase::Add(uint32_t mask, Target who) {
  if (!who.valid()) return false;
  SubscriberLock lock;
  if (!LockSubscribers(lock)) return false;
  auto listener = std::make_unique<Listener>();
  listener->who = who;
  listener->mask = mask;
  subscribers_.Append(std::move(listener));
  if (loaded_) new_subscriber_.Set();
  return true;
}

bool PageDatabase::Remove(Target who) {
  SubscriberLock lock;
  if (!LockSubscribers(lock)) return false;
  for (Listener& s : subscribers_) {
    if (s.who.Matches(who)) {
      subscribers_.Remove(&s);
      return true;
    }
  }
  return false;
}

bool PageDatabase::Subscribe(uint32_t mask, MessageQueue* window) {
  return Add(mask, Target::Window(window));
}

bool PageDatabase::Subscribe(uint32_t mask, PageEventCallback callback, void* context) {
  return Add(mask, Target::Function(callback, context));
}

bool PageDatabase::Unsubscribe(MessageQueue* window) {
  return window && Remove(Target::Window(window));
}

bool PageDatabase::Unsubscribe(PageEventCallback callback, void* context) {
  return callback && Remove(Target::Function(callback, context));
}

bool PageDatabase::HasSubscribers(uint32_t mask) {
  SubscriberLock lock;
  if (!LockSubscribers(lock)) return false;
  for (const Listener& s : subscribers_) {
    if (s.mask & mask) return true;
  }
  return false;
}

bool PageDatabase::Deliver(Listener& subscriber, PageEvent& event) {
  if (subscriber.who.callback) {
    subscriber.who.callback(event, subscriber.who.context);
    return true;
  }
  const uint16_t code = event.code;
  Message message{page_event::kMessageId, code,
                  std::make_unique<PageEventMessage>(std::move(event))};
  if (subscriber.who.window->TryPost(message)) return true;
  // A window whose queue is closed did not take it: the data goes back to the caller.
  event = std::move(TakePayload<PageEventMessage>(message)->event);
  return false;
}

void PageDatabase::DeliverToAll(const PageEvent& event) {
  for (Listener& s : subscribers_) {
    if (!(s.mask & event.mask())) continue;
    // A subscriber still waiting for its list learns of the page there, and only there.
    if (IsPageCode(event.code) && !s.initialised) continue;
    PageEvent copy = event.Share();
    (void)Deliver(s, copy);
  }
}

void PageDatabase::SendToAll(const PageEvent& event) {
  SubscriberLock lock;
  if (!LockSubscribers(lock)) return;
  DeliverToAll(event);
}

bool PageDatabase::SendToFirstTaker(PageEvent event) {
  SubscriberLock lock;
  if (!LockSubscribers(lock)) return false;
  for (Listener& s : subscribers_) {
    if ((s.mask & event.mask()) && Deliver(s, event)) return true;
  }
  return false;
}

void PageDatabase::SendList(bool only_new) {
  SubscriberLock lock;
  if (!LockSubscribers(lock)) return;
  for (const PageRecord& page : pages_) {
    PageEvent event;
    bool copied = false;
    for (Listener& s : subscribers_) {
      if (!(s.mask & page_event::kMaskPages) || (only_new && s.initialised)) continue;
      if (!copied) {
        event = EventWithCopy(page_event::kPageAdded, page);
        copied = true;
      }
      PageEvent copy = event.Share();
      (void)Deliver(s, copy);
    }
  }
  for (Listener& s : subscribers_) s.initialised = true;
  loaded_ = true;
}

// --- Page requests -----------------------------------------------------------------------------

Error PageDatabase::PostPageRequest(std::unique_ptr<PageRequest> request) {
  if (!request) return Error(err::kInvalidParameter);
  const std::string title = request->kind == PageRequest::kImportPageFile
                                ? TitleOfFileName(FileNameOf(request->name))
                                : request->name;
  if (title.size() > MaxTitleLength(page_folder())) return Error(err::kFilenameTooLong);
  if (!request_thread_->PostThreadMessage(
          Message{kPageRequestMessage, 0, std::make_unique<RequestPayload>(std::move(request))})) {
    return Error(err::kGenFailure);
  }
  return Error();
}

int PageDatabase::RunRequestThread() {
  RequestThread& self = *request_thread_;
  for (;;) {
    const WaitResult woke = WaitForAny({&self.stop_event(), &self.queue()}, kInfinite);
    if (woke.Is(self.stop_event())) return 0;
    if (!woke.Is(self.queue())) return -1;
    while (std::optional<Message> message = self.queue().TryGet()) {
      std::unique_ptr<RequestPayload> payload = TakePayload<RequestPayload>(*message);
      if (message->id != kPageRequestMessage || !payload || !payload->request) continue;
      PageRequest& request = *payload->request;
      const std::string folder = page_folder();
      Error e;
      switch (request.kind) {
        case PageRequest::kAddPage:
          e = AddPageWithDefaults(folder, request.name, request.address);
          break;
        case PageRequest::kDeletePage:
          e = DeletePage(folder, request.name);
          break;
        case PageRequest::kImportPageFile:
          e = ImportPageFile(request.name, folder);
          break;
        default:
          e = Error(err::kInvalidParameter);
      }
      request.result = e ? 0 : 1;
      request.error = e.code();
      ReportError(folder, this, e);
      PageEvent done;
      done.code = page_event::kRequestDone;
      done.request = std::move(payload->request);
      (void)SendToFirstTaker(std::move(done));
      if (self.StopRequested()) return 0;
    }
  }
}

// --- The page database thread ------------------------------------------------------------------

int PageDatabase::RunDatabaseThread() {
  DatabaseThread& self = *database_thread_;
  for (;;) {
    // The last notification of a pass that ends comes while it still holds "lock": pages waiting
    // for the folder to be free have it looked at again now and then.
    const Timeout wait = awaiting_check_.empty() ? kInfinite : kLockRecheckInterval;
    const WaitResult woke =
        WaitForAny({&reload_, &folder_changed_, &new_subscriber_, &self.stop_event(), &reconcile_,
                    watch_.valid() ? &watch_ : nullptr},
                   wait);
    Error e;
    if (woke.timed_out()) {
      const FolderMarkers markers(page_folder());
      if (markers.ProbePass() != FolderMarkers::PassState::kRunning) e = Reconcile();
    } else if (woke.Is(reload_)) {
      e = Load();
    } else if (woke.Is(folder_changed_)) {
      e = ChangeFolder();
    } else if (woke.Is(new_subscriber_)) {
      SendList(true);
    } else if (woke.Is(self.stop_event())) {
      pages_.Clear();
      check_->SignalStop();
      request_thread_->stop_event().Set();
      return 0;
    } else if (woke.Is(reconcile_)) {
      e = Reconcile();
    } else if (woke.Is(watch_)) {
      // One wake covers a whole burst; our own bookkeeping files do not count.
      if (NoteChanges()) e = Reconcile();
    } else {
      return -1;
    }
    if (!Stopping()) ReportFailure(e);
  }
}

Error PageDatabase::Load() {
  SendToAll(EventWithoutData(page_event::kLoadingBegun));
  const Error e = LoadPages();
  // Also after a failure, so that subscribers learn of pages that reconciliation adds later.
  if (!Stopping()) SendList(false);
  return e;
}

Error PageDatabase::LoadPages() {
  const std::string folder = page_folder();
  const FolderMarkers markers(folder);
  pages_.Clear();

  // Held (sharing read) while loading, so that no pass starts meanwhile.
  File lock;
  bool prepare_folder = false;
  Result<File> held = markers.HoldForLoad();
  if (!held.ok() && held.error().code() != err::kSharingViolation) {
    prepare_folder = true;
    held = markers.CreateForLoad();
  }
  if (held.ok()) {
    lock = std::move(*held);
  } else if (held.error().code() == err::kSharingViolation) {
    // A pass runs, or another process is making the lock file for its own load this moment.
    SendToAll(EventWithoutData(page_event::kFolderLocked));
    prepare_folder = true;
  } else {
    return held.error();
  }
  if (prepare_folder) (void)WriteFolderSettings(folder);
  // Temporary files of writers killed in mid-write would otherwise pile up here.
  RemoveStaleTempFiles(folder);

  Result<std::vector<FoundFile>> found = FindFiles(folder, kPageFileSuffix);
  if (!found.ok()) return found.error().IsNothingThere() ? Error() : found.error();
  std::vector<std::string> addresses;
  addresses.reserve(found->size());
  size_t visited = 0;
  for (const FoundFile& file : *found) {
    if (++visited % kStopTestInterval == 0 && Stopping()) return Error();
    const std::string title = TitleOfFileName(file.name);
    Result<std::unique_ptr<PageRecord>> page = ReadPageSummaryRecord(folder, title);
    if (!page.ok()) {
      // A page being written, or gone since the listing, arrives through reconciliation.
      const Error e = page.error();
      if (e.IsNothingThere() || e.code() == err::kSharingViolation) continue;
      if (WritePageErrorFile(folder, title, 0, e)) (void)PostErrorEvent(this, 0, e);
      continue;
    }
    (*page)->fileTime = file.last_write;
    if ((*page)->has_address()) addresses.push_back((*page)->address);
    pages_.Append(std::move(*page));
  }
  if (url_cache_) (void)url_cache_->MarkAll(addresses);
  full_scan_ = true;
  return Error();
}

bool PageDatabase::NoteChanges() {
  return watch_.Rearm([this](std::string_view name) {
    if (name.empty()) {
      full_scan_ = true;  // names were lost: look at everything
      return true;
    }
    if (!IsRelevantName(name)) return false;
    if (name.ends_with(kPageFileSuffix)) changed_names_.emplace(name);
    return true;
  });
}

Error PageDatabase::Reconcile() {
  const std::string folder = page_folder();
  // Notifications that arrived since the wake belong to this reconciliation too.
  (void)NoteChanges();
  const auto now = std::chrono::steady_clock::now();
  const bool full_scan = full_scan_ || now - last_full_scan_ >= kFullScanInterval;
  bool changed = false;
  bool needs_check = false;

  const FolderMarkers markers(folder);

  // 1. Is a check pass running anywhere?
  const FolderMarkers::PassState pass = markers.ProbePass();
  const bool locked = pass == FolderMarkers::PassState::kRunning;
  if (pass == FolderMarkers::PassState::kNotRunning) {
    SendToAll(EventWithoutData(page_event::kFolderUnlocked));
  } else if (locked) {
    SendToAll(EventWithoutData(page_event::kFolderLocked));
  }

  // 2. A request to stop checking: ours to act on, another process's to leave, or stale.
  File stop_request;  // deleted when this reconciliation ends
  if (markers.StopRequested()) {
    if (locked && check_->PassRunning()) {
      Result<File> held = markers.TakeStopRequest();
      if (held.ok()) stop_request = std::move(*held);
      check_->SignalStopChecking();
    } else if (!locked) {
      markers.DiscardStopRequest();
    }
  }

  // 4 (listed before error files are taken, so that one look at the folder serves both). Names
  // alone, except for the page files the folder watch named: only a changed file can have a new
  // time, and looking up ten thousand files costs more than everything else here.
  bool error_files_listed = false;
  Result<std::vector<FoundFile>> found = ListFiles(folder, [&](std::string_view name) {
    if (name.ends_with(kErrorFileSuffix)) {
      error_files_listed = true;
      return Listing::kSkip;
    }
    if (!name.ends_with(kPageFileSuffix)) return Listing::kSkip;
    return full_scan || changed_names_.contains(name) ? Listing::kWithDetails : Listing::kNameOnly;
  });
  if (!found.ok() && !found.error().IsNothingThere()) return found.error();
  std::vector<FoundFile> files = found.ok() ? std::move(*found) : std::vector<FoundFile>();

  // 3. Error files waiting to be shown. A folder where they cannot be taken (read-only, say)
  // must not keep its pages from being reconciled.
  if (error_files_listed) {
    Result<bool> taken = TakeErrorFiles(folder, *this);
    if (taken.ok() && *taken) changed = true;
  }

  std::vector<std::string> titles;
  titles.reserve(files.size());
  std::unordered_map<std::string_view, size_t> by_title;
  by_title.reserve(files.size());
  for (const FoundFile& file : files) titles.push_back(TitleOfFileName(file.name));
  for (size_t i = 0; i < titles.size(); ++i) by_title.emplace(titles[i], i);
  std::vector<bool> known(files.size(), false);

  // 5. Pages gone or changed.
  auto updated = std::make_unique<UpdatedPageList>();
  const bool re_notify = settings_.re_notify();
  size_t visited = 0;
  for (PageRecord* page = pages_.first(); page;) {
    PageRecord* next = page->next;
    if (++visited % kStopTestInterval == 0 && Stopping()) return Error();
    const auto it = by_title.find(page->title);
    if (it == by_title.end()) {
      SendToAll(EventWithCopy(page_event::kPageRemoved, *page));
      pages_.Remove(page);
      changed = true;
      page = next;
      continue;
    }
    const FoundFile& file = files[it->second];
    known[it->second] = true;
    const bool looked_up = !file.last_write.IsZero();
    if (!locked && looked_up && file.last_write != page->fileTime) {
      const bool was_updated = page->updated == 1;
      const FileTime old_updated_time = page->updatedTime;
      if (!ReadPage(folder, page->title, *page)) {
        const bool never_checked = page->NeverChecked() && page->status == StatusNone;
        KeepSummaryOnly(*page);
        page->fileTime = file.last_write;
        SendToAll(EventWithCopy(page_event::kPageChanged, *page));
        changed = true;
        if (page->updated == 1 &&
            (!was_updated || (page->updatedTime != old_updated_time && re_notify))) {
          updated->Append(std::make_unique<UpdatedPage>(page->title, page->address));
        }
        if (never_checked) needs_check = true;
      }
      // A failed read keeps the old file time, so that the next reconciliation tries again.
    }
    page = next;
  }

  // 6. New page files.
  std::vector<std::string> new_unchecked;  // titles of the new pages that were never checked
  for (size_t i = 0; i < files.size(); ++i) {
    if (known[i]) continue;
    if (Stopping()) return Error();
    FileTime last_write = files[i].last_write;
    if (last_write.IsZero()) {
      Result<FileInfo> info = GetFileInfo(JoinPath(folder, files[i].name));
      if (!info.ok()) continue;  // gone again since the listing
      last_write = info->last_write;
    }
    Result<std::unique_ptr<PageRecord>> read = ReadPage(folder, titles[i]);
    std::unique_ptr<PageRecord> page;
    if (read.ok()) {
      page = std::move(*read);
      // A page whose check failed has no content either, but has been checked: one that is
      // renamed, say, is not new.
      if (page->NeverChecked() && page->status == StatusNone) {
        needs_check = true;
        new_unchecked.push_back(page->title);
      }
      KeepSummaryOnly(*page);
      if (url_cache_ && page->has_address()) (void)url_cache_->Mark(page->address);
    } else if (read.error().code() == err::kSharingViolation) {
      continue;  // being written: its writer's close brings another notification
    } else if (read.error().IsNothingThere()) {
      continue;  // gone again since the listing
    } else {
      // Not a page file (or unreadable): shown with its error, so the user sees it.
      page = std::make_unique<PageRecord>();
      page->title = titles[i];
      page->status = StatusSystemError;
      page->errorCode = read.error().code();
    }
    page->fileTime = last_write;
    SendToAll(EventWithCopy(page_event::kPageAdded, *page));
    pages_.Append(std::move(page));
    // A running pass lists the folder again and so checks the new page too.
    changed = true;
  }

  // New pages that came while a pass held the folder are checked once it lets go, unless it
  // checked them itself: it may have listed the folder before they came, and once they are in
  // the list no later reconciliation takes them for new.
  if (!locked && !awaiting_check_.empty()) {
    for (const PageRecord& page : pages_) {
      if (awaiting_check_.contains(page.title) && page.NeverChecked() &&
          page.status == StatusNone) {
        needs_check = true;
      }
    }
    awaiting_check_.clear();
  }

  // 7. A user's stop holds back the checking of new pages once.
  const bool stopped_by_user = markers.StoppedByUser();
  if (stopped_by_user) awaiting_check_.clear();
  if (!needs_check) {
    if (stopped_by_user) markers.ClearStoppedByUser();
  } else if (stopped_by_user) {
    needs_check = false;
  }
  if (locked && needs_check) awaiting_check_.insert(new_unchecked.begin(), new_unchecked.end());

  // 8. Pages that have just become updated go to whoever shows them. Nobody taking them means
  // no window runs here to show them; that is no failure of the reconciliation.
  if (!updated->empty()) {
    PageEvent event;
    event.code = page_event::kNewlyUpdated;
    event.updated = std::move(updated);
    (void)SendToFirstTaker(std::move(event));
  }

  // 9. Error files written meanwhile.
  if (error_files_listed) {
    Result<bool> taken = TakeErrorFiles(folder, *this);
    if (taken.ok() && *taken) changed = true;
  }

  // What was looked at is done with; while a pass holds the folder, changed pages wait for it.
  if (!locked) {
    changed_names_.clear();
    if (full_scan) {
      full_scan_ = false;
      last_full_scan_ = now;
    }
  }

  // 10, 11.
  if (!locked && needs_check) check_->SignalNewPages();
  if (changed) {
    check_->SignalPageListChanged();
    reconcile_.Set();  // again, until the folder is quiet
  }
  return Error();
}

Error PageDatabase::ChangeFolder() {
  pages_.Clear();
  changed_names_.clear();
  awaiting_check_.clear();
  full_scan_ = true;
  Result<std::string> folder = GetPageFolder(store_);
  if (!folder.ok()) return folder.error();
  SetFolder(*folder);
  settings_.set_page_folder(*folder);
  check_->SetPageFolder(*folder);
  reload_.Set();
  watch_.Close();
  Result<FolderWatch> watch = FolderWatch::Create(*folder);
  if (!watch.ok()) return watch.error();
  watch_ = std::move(*watch);
  return Error();
}

Error PageDatabase::RunCheckPassOnce() { return check_->RunOnce(); }

void PageDatabase::CheckNow() { check_->SignalCheckNow(); }

}  // namespace tw
