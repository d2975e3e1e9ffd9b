#include "history/smart_history_worker.h"

#include "browser/browser_settings.h"
#include "foundation/waitable.h"

namespace tw {

struct SmartHistoryWorker::NavigationPayload : MessagePayload {
  explicit NavigationPayload(Navigation n) : navigation(std::move(n)) {}
  Navigation navigation;
};

struct SmartHistoryWorker::ChangePayload : MessagePayload {
  explicit ChangePayload(PageListChange c) : change(std::move(c)) {}
  PageListChange change;
};

SmartHistoryWorker::SmartHistoryWorker(SettingsStore store, SmartHistoryPages& pages, Hooks hooks)
    : store_(std::move(store)), pages_(pages), hooks_(std::move(hooks)) {}

SmartHistoryWorker::~SmartHistoryWorker() { Stop(); }

bool SmartHistoryWorker::StartWorking() {
  if (!Create()) return false;
  // Smart History only ever uses what the user's own work leaves over.
  SetPriority(ThreadPriority::kBelowNormal);
  if (!Resume()) return false;
  return WaitForAny({&started_event(), &ended_event()}, kInfinite).index == 0;
}

bool SmartHistoryWorker::Navigated(Navigation navigation) {
  return PostThreadMessage(
      Message{kNavigated, 0, std::make_unique<NavigationPayload>(std::move(navigation))});
}

bool SmartHistoryWorker::OptionsChanged() {
  return PostThreadMessage(Message{kOptionsChanged, 0, nullptr});
}

bool SmartHistoryWorker::RunAutomaticPass() {
  return PostThreadMessage(Message{kRunAutomaticPass, 0, nullptr});
}

bool SmartHistoryWorker::PageListChanged(PageListChange change) {
  return PostThreadMessage(
      Message{kPageEvent, 0, std::make_unique<ChangePayload>(std::move(change))});
}

int SmartHistoryWorker::Run() {
  ReadOptions();
  Result<UrlCache> marks = UrlCache::OpenUser();
  // Without the cache every address counts as known, and nothing is proposed.
  if (marks.ok()) marks_.emplace(std::move(*marks));
  SignalStarted();
  for (;;) {
    const WaitResult woke = WaitForAny({&stop_event(), &messages()}, kInfinite);
    if (woke.index != 1) break;
    std::optional<Message> message = messages().TryGet();
    if (message) Handle(*message);
  }
  messages().Close();
  return 0;
}

void SmartHistoryWorker::ReadOptions() {
  auto_sh_ = ReadAutoSh(store_);
  active_ = !hooks_.active || hooks_.active();
}

bool SmartHistoryWorker::EnsureHistory(bool fresh) {
  const auto now = std::chrono::steady_clock::now();
  if (!fresh && history_ && now - history_read_at_ < kHistoryRefresh) return true;
  history_read_at_ = now;  // a history that cannot be read is not tried on every navigation
  Result<UserHistory> history = ReadUserHistory(Now());
  if (!history.ok()) return history_.has_value();  // decide on what was read before
  history_.emplace(std::move(*history));
  index_ = NavigationIndex(*history_);
  return true;
}

void SmartHistoryWorker::Apply(const PageListChange& change) {
  switch (change.kind) {
    case PageListChange::Kind::kLoading:
      page_list_.clear();
      break;
    case PageListChange::Kind::kAdded:
    case PageListChange::Kind::kChanged:
      page_list_[change.page.title] = change.page;
      break;
    case PageListChange::Kind::kRemoved:
      page_list_.erase(change.page.title);
      break;
    case PageListChange::Kind::kNewlyUpdated:
      if (hooks_.announce_updated) hooks_.announce_updated(change.updated);
      break;
    case PageListChange::Kind::kErrors:
      if (hooks_.announce_errors) hooks_.announce_errors(change.errors);
      break;
  }
}

void SmartHistoryWorker::Handle(Message& message) {
  const auto stop = [this] { return Stopping(); };
  switch (message.id) {
    case kNavigated: {
      std::unique_ptr<NavigationPayload> payload = TakePayload<NavigationPayload>(message);
      if (!payload || !active_ || !marks_) return;
      // Without a history nothing qualifies, but a watched page is still seen.
      (void)EnsureHistory(false);
      std::vector<WatchedPage> pages;
      pages.reserve(page_list_.size());
      for (const auto& [title, page] : page_list_) pages.push_back(page);
      const std::vector<std::string> start_pages = UserStartPages();
      const NavigationContext context{active_, auto_sh_, pages, start_pages, &index_, Now()};
      (void)DecideNavigation(payload->navigation, context, *marks_, pages_, stop);
      return;
    }
    case kOptionsChanged:
      ReadOptions();
      return;
    case kRunAutomaticPass: {
      if (!marks_ || !EnsureHistory(true)) return;
      const std::vector<std::string> start_pages = UserStartPages();
      (void)tw::RunAutomaticPass(*history_, start_pages, Now(), *marks_, pages_, stop);
      return;
    }
    case kPageEvent:
      if (std::unique_ptr<ChangePayload> payload = TakePayload<ChangePayload>(message)) {
        Apply(payload->change);
      }
      return;
    default:
      return;
  }
}

}  // namespace tw
