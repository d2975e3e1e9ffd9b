// The facade's Smart History and import: the worker's service, the proposals, the detection and
// the import trees.
#include <algorithm>
#include <set>
#include <thread>

#include "app/application.h"
#include "app/application_internal.h"
#include "app/messages.h"
#include "app/smart_history_internal.h"
#include "history/import_tree.h"
#include "history/smart_history.h"
#include "platform/url_cache.h"
#include "resources/strings.h"

namespace tw::app {
namespace {

WatchedPage Watched(const Page& page) {
  return WatchedPage{page.title, page.address, page.updated};
}

// The addresses of every page, from the running database's list or the folder.
std::vector<std::string> PageAddresses(Application& app) {
  std::vector<std::string> addresses;
  Outcome<PageList> pages = app.ListPages();
  if (!pages.ok()) return addresses;
  for (const Page& page : pages->pages) addresses.push_back(page.address);
  return addresses;
}

}  // namespace

// --- The worker's service ----------------------------------------------------------------------

// What the worker asks of the pages, done through the facade.
class SmartHistoryService::Pages : public SmartHistoryPages {
 public:
  explicit Pages(Application::Core& core) : core_(core) {}

  void ClearUpdated(const WatchedPage& page) override {
    (void)core_.owner->ClearUpdated(page.title);
  }

  // The Add Page dialog's add: a title it cannot take needs the dialog.
  AddResult AddPage(const std::string& title, const std::string& address) override {
    Outcome<AddedPage> added = core_.owner->AddPage(NewPage{title, address});
    if (added.ok()) return AddResult::kAdded;
    const Problem problem = added.message().problem;
    return problem == Problem::kInvalidTitle || problem == Problem::kTitleTaken
               ? AddResult::kNeedsDialog
               : AddResult::kFailed;
  }

  bool Propose(const std::string& title, const std::string& address) override {
    core_.AddProposal(ProposedPage{title, address});
    return true;
  }

 private:
  Application::Core& core_;
};

SmartHistoryService::SmartHistoryService(Application::Core& core)
    : core_(core), pages_(std::make_unique<Pages>(core)) {}

Result<std::unique_ptr<SmartHistoryService>> SmartHistoryService::Start(Application::Core& core) {
  if (!core.store.ok()) return core.store.error();
  std::unique_ptr<SmartHistoryService> service(new SmartHistoryService(core));
  SmartHistoryWorker::Hooks hooks;
  hooks.active = [&core] { return core.smart_history_active.load(); };
  // Newly updated pages and errors stay with the page database until a notification thread
  // exists to show them: taking them here would lose them.
  service->worker_ = std::make_unique<SmartHistoryWorker>(*core.store, *service->pages_, hooks);
  if (!service->worker_->StartWorking()) return Error(err::kGenFailure);

  Result<SharedHolder<OptionsWatcher>::Reference> watcher = core.options_watcher.Acquire();
  if (watcher.ok()) {
    service->options_watcher_ = std::move(*watcher);
    service->options_subscribed_ = service->options_watcher_.get() &&
                                   service->options_watcher_.get()->Subscribe(
                                       &SmartHistoryService::OnOptionsChanged, service.get());
  }
  SmartHistoryWorker& worker = *service->worker_;
  service->subscription_ = core.AddSubscriber(kPageEvents, [&worker](const AppEvent& event) {
    PageListChange change;
    switch (event.kind) {
      case EventKind::kLoading:
        change.kind = PageListChange::Kind::kLoading;
        break;
      case EventKind::kPageAdded:
        change.kind = PageListChange::Kind::kAdded;
        break;
      case EventKind::kPageRemoved:
        change.kind = PageListChange::Kind::kRemoved;
        break;
      case EventKind::kPageChanged:
        change.kind = PageListChange::Kind::kChanged;
        break;
      default:
        return;
    }
    if (event.page) change.page = Watched(*event.page);
    (void)worker.PageListChanged(std::move(change));
  });
  return service;
}

SmartHistoryService::~SmartHistoryService() {
  core_.RemoveSubscriber(subscription_);
  if (options_subscribed_) {
    (void)options_watcher_.get()->Unsubscribe(&SmartHistoryService::OnOptionsChanged, this);
  }
  worker_->Stop();
}

void SmartHistoryService::OnOptionsChanged(void* context) {
  (void)static_cast<SmartHistoryService*>(context)->worker_->OptionsChanged();
}

// --- Proposals ---------------------------------------------------------------------------------

namespace {

// Each proposals event carries every page waiting, so that an open dialog shows them all.
AppEvent ProposalsEvent(const std::vector<ProposedPage>& proposals) {
  AppEvent event;
  event.kind = EventKind::kProposals;
  event.proposals = proposals;
  return event;
}

}  // namespace

void Application::Core::AddProposal(ProposedPage page) {
  std::lock_guard lock(state_mutex_);
  if (std::find_if(proposals_.begin(), proposals_.end(), [&page](const ProposedPage& p) {
        return p.address == page.address;
      }) != proposals_.end()) {
    return;
  }
  proposals_.push_back(std::move(page));
  Dispatch(ProposalsEvent(proposals_), kSmartHistoryEvents);
  AnnounceProposals();
}

void Application::Core::AnnounceProposals() {
  if (!notification_thread_ || !desktop_notifications_) return;
  std::vector<AnnouncedPage> pages;
  for (const ProposedPage& page : proposals_) pages.push_back({page.title, page.address});
  (void)notification_thread_->AnnounceProposals(std::move(pages));
}

std::vector<ProposedPage> Application::Core::Proposals() {
  std::lock_guard lock(state_mutex_);
  return proposals_;
}

void Application::Core::SettleProposals(const std::optional<std::vector<std::string>>& addresses) {
  std::lock_guard lock(state_mutex_);
  if (!addresses) {
    proposals_.clear();
    AnnounceProposals();
    return;
  }
  std::erase_if(proposals_, [&addresses](const ProposedPage& page) {
    return std::find(addresses->begin(), addresses->end(), page.address) != addresses->end();
  });
  AnnounceProposals();
  if (proposals_.empty()) return;
  Dispatch(ProposalsEvent(proposals_), kSmartHistoryEvents);
}

// --- Smart History operations ------------------------------------------------------------------

Outcome<Done> Application::NavigatedTo(std::string_view address, std::string_view title) {
  const SharedHolder<SmartHistoryService>::Reference service =
      core_->smart_history.AcquireExisting();
  if (!service.get() ||
      !service.get()->worker().Navigated(Navigation{std::string(address), std::string(title)})) {
    return BrowserFailedMessage();
  }
  return Done{};
}

Outcome<Done> Application::RunSmartHistoryPass() {
  const SharedHolder<SmartHistoryService>::Reference service =
      core_->smart_history.AcquireExisting();
  if (!service.get() || !service.get()->worker().RunAutomaticPass()) {
    return InternalErrorMessage();
  }
  return Done{};
}

void Application::SetSmartHistoryActive(bool active) {
  core_->smart_history_active = active;
  const SharedHolder<SmartHistoryService>::Reference service =
      core_->smart_history.AcquireExisting();
  if (service.get()) (void)service.get()->worker().OptionsChanged();
}

std::vector<ProposedPage> Application::SmartHistoryProposals() { return core_->Proposals(); }

Outcome<ProposalResult> Application::AnswerSmartHistoryProposals(const ProposalAnswer& answer) {
  if (answer.auto_sh) {
    if (!core_->store.ok()) return InternalErrorMessage(core_->store.error());
    SettingsStore store = *core_->store;
    if (Error e = WriteAutoSh(store, *answer.auto_sh)) return InternalErrorMessage(e);
  }
  // The proposals the dialog showed are settled: those not checked stay known and are not
  // proposed again.
  core_->SettleProposals(answer.shown);
  ProposalResult result;
  for (size_t i = 0; i < answer.checked.size(); ++i) {
    const ProposedPage& page = answer.checked[i];
    Outcome<AddedPage> added = AddPage(NewPage{page.title, page.address});
    if (added.ok()) {
      result.added.push_back(std::move(*added));
      continue;
    }
    const Problem problem = added.message().problem;
    if (problem == Problem::kInvalidTitle || problem == Problem::kTitleTaken) {
      result.needs_dialog = page;
      result.remaining.assign(answer.checked.begin() + static_cast<ptrdiff_t>(i) + 1,
                              answer.checked.end());
      return result;
    }
    (void)UnmarkAddress(page.address);
    return added.message();
  }
  return result;
}

Outcome<Done> Application::ForgetProposedPage(std::string_view address) {
  if (Error e = UnmarkAddress(address)) return InternalErrorMessage(e);
  return Done{};
}

Outcome<Done> Application::ResetSmartHistory() {
  Result<UrlCache> marks = UrlCache::OpenUser();
  if (!marks.ok()) return InternalErrorMessage(marks.error());
  Outcome<PageList> pages = ListPages();
  if (!pages.ok()) return pages.message();
  std::vector<std::string> addresses;
  for (const Page& page : pages->pages) addresses.push_back(page.address);
  if (Error e = tw::ResetSmartHistory(*marks, addresses)) return InternalErrorMessage(e);
  return Done{};
}

bool Application::HistoryKeptShort() { return tw::HistoryKeptShort(); }

AutoSh Application::SmartHistoryMode() {
  return core_->store.ok() ? ReadAutoSh(*core_->store) : AutoSh::kDetect;
}

// --- Detection ---------------------------------------------------------------------------------

struct Application::Detection::Run {
  std::atomic<bool> stop{false};
  std::atomic<bool> finished{false};
  std::thread thread;
};

Application::Detection::Detection(std::unique_ptr<Run> run) : run_(std::move(run)) {}
Application::Detection::Detection(Detection&&) noexcept = default;
Application::Detection& Application::Detection::operator=(Detection&& other) noexcept {
  if (this != &other) {
    Detection gone(std::move(*this));
    run_ = std::move(other.run_);
  }
  return *this;
}

Application::Detection::~Detection() {
  if (!run_) return;
  run_->stop = true;
  if (run_->thread.joinable()) run_->thread.join();
}

bool Application::Detection::finished() const { return run_ && run_->finished; }

Application::Detection Application::StartDetection(DetectionHandler report) {
  auto run = std::make_unique<Detection::Run>();
  Detection::Run* state = run.get();
  run->thread = std::thread([state, report = std::move(report)] {
    RunDetection(
        [&](DetectionReport r, std::optional<HistoryCandidate> candidate) {
          report(r, std::move(candidate));
        },
        Now(), [state] { return state->stop.load(); });
    state->finished = true;
  });
  return Detection(std::move(run));
}

// --- Import ------------------------------------------------------------------------------------

FilledImportTree Application::FillImportTree(ImportSource source, const AddedFavorites& added) {
  const std::vector<std::string> pages = PageAddresses(*this);
  FilledImportTree filled;
  filled.tree = source == ImportSource::kFavorites ? FillFavoritesTree(added, pages)
                                                   : FillHistoryTree(pages, Now());
  std::lock_guard lock(core_->import_mutex);
  filled.token = core_->next_import_token++;
  core_->import_trees[filled.token] = filled.tree;
  // A wizard closed leaves its tree behind: the oldest are let go.
  while (core_->import_trees.size() > kKeptImportTrees) {
    core_->import_trees.erase(core_->import_trees.begin());
  }
  return filled;
}

Outcome<ImportAddResult> Application::AddImportEntries(uint64_t token,
                                                       const std::vector<uint32_t>& checked) {
  std::lock_guard lock(core_->import_mutex);
  const auto found = core_->import_trees.find(token);
  if (found == core_->import_trees.end()) return InternalErrorMessage();
  ImportTree& kept = found->second;
  const std::set<uint32_t> wanted(checked.begin(), checked.end());
  std::vector<uint32_t> ids;
  const std::function<void(const ImportEntry&)> collect = [&](const ImportEntry& entry) {
    ids.push_back(entry.id);
    for (const ImportEntry& child : entry.children) collect(child);
  };
  collect(kept.root);
  for (uint32_t id : ids) (void)kept.SetChecked(id, wanted.contains(id));

  ImportAddResult result;
  const AddWalkResult walk =
      AddCheckedEntries(kept, [&](const std::string& title, const std::string& address) {
        Outcome<AddedPage> added = AddPage(NewPage{title, address});
        if (!added.ok()) result.add_error = added.message();
        return added.ok();
      });
  result.added = walk.added;
  if (walk.failure) result.error = StringMessage(*walk.failure);
  result.tree = kept;
  return result;
}

}  // namespace tw::app
