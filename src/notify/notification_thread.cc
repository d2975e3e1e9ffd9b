#include "notify/notification_thread.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <set>
#include <variant>

#include "foundation/ascii.h"
#include "pagedb/folder_markers.h"
#include "pagedb/page_folder.h"
#include "platform/desktop_notifications.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/sound.h"
#include "resources/strings.h"
#include "settings/checking_options.h"
#include "settings/user_settings.h"

namespace tw {
namespace {

// Posted to the notification thread.
constexpr uint32_t kShowUpdatedPagesMessage = 0x52D;
constexpr uint32_t kShowErrorsMessage = 0x52E;
constexpr uint32_t kAnswerMessage = 0x530;
constexpr uint32_t kWindowsChangedMessage = 0x531;
constexpr uint32_t kProposalsMessage = 0x532;

constexpr std::string_view kUpdatedPagesTitle = "Updated Pages - Tidewell";
constexpr std::string_view kUpdatedPagesText =
    "The following pages have been changed. They may contain new information.";
constexpr std::string_view kErrorsTitle = "Errors - Tidewell";
constexpr std::string_view kErrorsText = "The following errors occurred.";
constexpr std::string_view kShowAction = "default";
constexpr std::string_view kShowLabel = "Updated Pages";
constexpr std::string_view kShowChangesAction = "show-changes";
constexpr std::string_view kShowChangesLabel = "Show Changes";
constexpr std::string_view kProposalsTitle = "Smart History - Tidewell";
constexpr std::string_view kProposalsText =
    "Tidewell proposes pages to watch, based on your browsing history:";
constexpr std::string_view kProposalsLabel = "Smart History";

struct PagesPayload : MessagePayload {
  std::vector<AnnouncedPage> pages;
};
struct ProposalsPayload : MessagePayload {
  std::vector<AnnouncedPage> pages;
};
struct ErrorsPayload : MessagePayload {
  std::vector<std::string> errors;
};
struct AnswerPayload : MessagePayload {
  NotificationThread::DialogAnswer answer;
};

using Announcement = std::variant<std::vector<AnnouncedPage>, std::vector<std::string>>;

std::string Lines(std::string_view first, const std::vector<std::string>& lines) {
  std::string text(first);
  for (const std::string& line : lines) text += "\n" + line;
  return text;
}

}  // namespace

// The thread's state: what it shows and what waits to be shown. Used on the thread alone.
class NotificationThread::Loop {
 public:
  explicit Loop(NotificationThread& owner) : owner_(owner) {}
  ~Loop() { Withdraw(); }

  int Run() {
    owner_.SignalStarted();
    for (;;) {
      TakeDesktopSignals();
      StartNextIfIdle();
      const Timeout timeout = showing_ == Showing::kAwaitingWindow ? TimeLeft() : kInfinite;
      const WaitResult woke = WaitForAny(
          {&owner_.stop_event(), &owner_.messages(), desktop_ ? &*desktop_ : nullptr}, timeout);
      if (woke.Is(owner_.stop_event())) return 0;
      if (woke.failed()) return -1;
      if (woke.timed_out()) {
        Finish();  // no window came for the dialog
        continue;
      }
      while (std::optional<Message> message = owner_.messages().TryGet()) Handle(*message);
    }
  }

 private:
  enum class Showing {
    kNone,
    kUpdatedInWindow,   // a window shows the Updated Pages dialog
    kUpdatedOnDesktop,  // a desktop notification stands for it
    kAwaitingWindow,    // its action opened a window, which is waited for
    kErrorsInWindow,
  };

  void Handle(Message& message) {
    switch (message.id) {
      case kShowUpdatedPagesMessage:
        if (auto payload = TakePayload<PagesPayload>(message)) OnUpdatedPages(payload->pages);
        break;
      case kShowErrorsMessage:
        if (auto payload = TakePayload<ErrorsPayload>(message)) OnErrors(payload->errors);
        break;
      case kAnswerMessage:
        if (auto payload = TakePayload<AnswerPayload>(message)) OnAnswer(payload->answer);
        break;
      case kWindowsChangedMessage:
        OnWindowsChanged();
        break;
      case kProposalsMessage:
        if (auto payload = TakePayload<ProposalsPayload>(message)) OnProposals(payload->pages);
        break;
      default:
        break;
    }
  }

  void OnUpdatedPages(const std::vector<AnnouncedPage>& pages) {
    PlaySound();
    const SettingsStore& store = owner_.store_;
    if (!store.OpenKey(OptionsKey(), KeyDisposition::kCreate).ok()) return Failed();
    Result<uint32_t> notify = store.ReadDword(OptionsKey(), setting::kPageNotify);
    if (notify.ok() && *notify == 0) return;
    if (IsShowingUpdated()) return AddToShown(pages);
    waiting_.push_back(pages);
  }

  void OnErrors(const std::vector<std::string>& errors) {
    if (showing_ == Showing::kErrorsInWindow) {
      errors_.insert(errors_.end(), errors.begin(), errors.end());
      if (!owner_.windows_->ShowErrors(dialog_id_, errors)) Finish();
      return;
    }
    waiting_.push_back(errors);
  }

  void OnAnswer(const DialogAnswer& answer) {
    if (answer.id != dialog_id_ || showing_ == Showing::kNone) return;
    if (answer.abandoned) {
      // The window went away with the dialog; another one may show it still.
      if (showing_ == Showing::kUpdatedInWindow &&
          owner_.windows_->ShowUpdatedPages(dialog_id_, pages_, false)) {
        return;
      }
      if (showing_ == Showing::kErrorsInWindow &&
          owner_.windows_->ShowErrors(dialog_id_, errors_)) {
        return;
      }
      return Finish();
    }
    const bool was_updated = showing_ == Showing::kUpdatedInWindow;
    Finish();
    if (was_updated && answer.do_not_show_again &&
        owner_.store_.WriteDword(OptionsKey(), setting::kPageNotify, 0)) {
      Failed();
    }
  }

  // The pages waiting for the Smart History dialog. The desktop is told while no window can
  // show them, and only of a list with a page it was not told of before.
  void OnProposals(const std::vector<AnnouncedPage>& pages) {
    std::set<std::string> waiting;
    for (const AnnouncedPage& page : pages) waiting.insert(page.address);
    const bool any_new = std::any_of(waiting.begin(), waiting.end(), [this](const std::string& a) {
      return !proposals_told_.contains(a);
    });
    proposals_told_ = std::move(waiting);
    if (pages.empty() || owner_.windows_->HasWindow()) return CloseProposals();
    if (!any_new) return;
    DesktopNotification notification;
    notification.summary = std::string(kProposalsTitle);
    std::vector<std::string> names;
    for (const AnnouncedPage& page : pages) {
      names.push_back(page.title.empty() ? page.address : page.title);
    }
    notification.body = Lines(kProposalsText, names);
    notification.actions = {{std::string(kShowAction), std::string(kProposalsLabel)}};
    notification.replaces_id = proposals_id_;
    const std::optional<uint32_t> id = ShowOnDesktop(notification);
    if (!id) return Failed();
    proposals_id_ = *id;
  }

  void CloseProposals() {
    if (desktop_ && proposals_id_ != 0) (void)desktop_->Close(proposals_id_);
    proposals_id_ = 0;
  }

  // A window that came is where the dialogs belong, rather than the desktop.
  void OnWindowsChanged() {
    if (proposals_id_ != 0 && owner_.windows_->HasWindow()) CloseProposals();
    if (showing_ != Showing::kAwaitingWindow && showing_ != Showing::kUpdatedOnDesktop) return;
    if (!owner_.windows_->HasWindow()) return;
    if (!owner_.windows_->ShowUpdatedPages(dialog_id_, pages_, false)) return;
    CloseDesktopNotification();
    showing_ = Showing::kUpdatedInWindow;
  }

  void StartNextIfIdle() {
    while (showing_ == Showing::kNone && !waiting_.empty()) {
      Announcement next = std::move(waiting_.front());
      waiting_.pop_front();
      ++dialog_id_;
      if (auto* pages = std::get_if<std::vector<AnnouncedPage>>(&next)) {
        ShowUpdatedPages(std::move(*pages));
      } else {
        ShowErrors(std::move(std::get<std::vector<std::string>>(next)));
      }
    }
  }

  void ShowUpdatedPages(std::vector<AnnouncedPage> pages) {
    Result<std::string> folder = GetPageFolder(owner_.store_);
    if (!folder.ok()) return Failed();
    // Another process shows its dialog: these pages are not shown here.
    Result<File> held =
        File::Open(JoinPath(*folder, FolderMarkers::kNotifying),
                   OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kOpenAlways});
    if (!held.ok()) return;
    ntf_ = std::move(*held);
    pages_.clear();
    titles_.clear();
    AddPages(pages);
    if (owner_.windows_->HasWindow() &&
        owner_.windows_->ShowUpdatedPages(dialog_id_, pages_, false)) {
      showing_ = Showing::kUpdatedInWindow;
      return;
    }
    if (ShowDialogOnDesktop(UpdatedPagesNotification())) {
      showing_ = Showing::kUpdatedOnDesktop;
      return;
    }
    (void)ntf_.Close();
    Failed();
  }

  void ShowErrors(std::vector<std::string> errors) {
    errors_ = std::move(errors);
    if (owner_.windows_->HasWindow() && owner_.windows_->ShowErrors(dialog_id_, errors_)) {
      showing_ = Showing::kErrorsInWindow;
      return;
    }
    DesktopNotification notification;
    notification.summary = std::string(kErrorsTitle);
    notification.body = Lines(kErrorsText, errors_);
    // Nothing to answer: the notification says it all, and the next one may follow at once.
    if (!ShowOnDesktop(notification)) Failed();
  }

  bool IsShowingUpdated() const {
    return showing_ == Showing::kUpdatedInWindow || showing_ == Showing::kUpdatedOnDesktop ||
           showing_ == Showing::kAwaitingWindow;
  }

  // Adds pages not listed yet (titles compared without regard to letter case) to the dialog shown.
  void AddToShown(const std::vector<AnnouncedPage>& pages) {
    const std::vector<AnnouncedPage> added = AddPages(pages);
    if (added.empty()) return;
    if (showing_ == Showing::kUpdatedInWindow) {
      if (!owner_.windows_->ShowUpdatedPages(dialog_id_, added, false)) Finish();
    } else if (showing_ == Showing::kUpdatedOnDesktop) {
      DesktopNotification notification = UpdatedPagesNotification();
      notification.replaces_id = desktop_id_;
      (void)ShowDialogOnDesktop(notification);
    }
  }

  std::vector<AnnouncedPage> AddPages(const std::vector<AnnouncedPage>& pages) {
    std::vector<AnnouncedPage> added;
    for (const AnnouncedPage& page : pages) {
      if (!titles_.insert(AsciiLower(page.title)).second) continue;
      pages_.push_back(page);
      added.push_back(page);
    }
    return added;
  }

  DesktopNotification UpdatedPagesNotification() const {
    DesktopNotification notification;
    notification.summary = std::string(kUpdatedPagesTitle);
    std::vector<std::string> titles;
    for (const AnnouncedPage& page : pages_) titles.push_back(page.title);
    notification.body = Lines(kUpdatedPagesText, titles);
    notification.actions = {{std::string(kShowAction), std::string(kShowLabel)}};
    if (pages_.size() == 1 && KeepsVersions()) {
      notification.actions.emplace_back(kShowChangesAction, kShowChangesLabel);
    }
    return notification;
  }

  // Whether checks keep earlier versions, so that a page that changed has its changes to show.
  bool KeepsVersions() const {
    Result<CheckingOptions> options = ReadCheckingOptions(owner_.store_);
    return (options.ok() ? options->keepVersions : kDefaultKeptVersions) > 0;
  }

  // Shows the notification of the dialog being shown (desktop_id_).
  bool ShowDialogOnDesktop(const DesktopNotification& notification) {
    const std::optional<uint32_t> id = ShowOnDesktop(notification);
    if (!id) return false;
    desktop_id_ = *id;
    return true;
  }

  std::optional<uint32_t> ShowOnDesktop(const DesktopNotification& notification) {
    if (!desktop_) {
      Result<DesktopNotifications> connected =
          DesktopNotifications::Connect(std::string(LoadString(str::kCaption)));
      if (!connected.ok()) return std::nullopt;
      desktop_ = std::move(*connected);
    }
    Result<uint32_t> id = desktop_->Show(notification);
    if (!id.ok()) {
      // A bus that went away is connected afresh next time.
      desktop_.reset();
      proposals_id_ = 0;
      return std::nullopt;
    }
    return *id;
  }

  void TakeDesktopSignals() {
    if (!desktop_) return;
    for (const NotificationSignal& signal : desktop_->TakeSignals()) {
      if (signal.id == proposals_id_ && proposals_id_ != 0) {
        OnProposalsSignal(signal);
        continue;
      }
      if (signal.id != desktop_id_ || desktop_id_ == 0) continue;
      if (showing_ != Showing::kUpdatedOnDesktop) continue;
      if (signal.kind == NotificationSignal::Kind::kActionInvoked &&
          signal.action == kShowChangesAction && pages_.size() == 1) {
        desktop_id_ = 0;
        const bool opened = owner_.windows_->OpenWindow({pages_.front().title});
        Finish();
        if (!opened) Failed();
      } else if (signal.kind == NotificationSignal::Kind::kActionInvoked) {
        desktop_id_ = 0;
        if (!owner_.windows_->OpenWindow({})) {
          Finish();
          Failed();
          continue;
        }
        showing_ = Showing::kAwaitingWindow;
        window_deadline_ = std::chrono::steady_clock::now() + kWindowWait;
        OnWindowsChanged();
      } else {
        desktop_id_ = 0;
        Finish();  // dismissed or expired
      }
    }
  }

  // The action opens a window on the Smart History dialog; closed, the pages wait for a window
  // all the same, and are not told of again.
  void OnProposalsSignal(const NotificationSignal& signal) {
    proposals_id_ = 0;
    if (signal.kind != NotificationSignal::Kind::kActionInvoked) return;
    WindowStart start;
    start.smart_history = true;
    if (!owner_.windows_->OpenWindow(start)) Failed();
  }

  Timeout TimeLeft() const {
    const auto left =
        std::chrono::duration_cast<Timeout>(window_deadline_ - std::chrono::steady_clock::now());
    return std::max(left, Timeout(0));
  }

  void CloseDesktopNotification() {
    if (desktop_ && desktop_id_ != 0) (void)desktop_->Close(desktop_id_);
    desktop_id_ = 0;
  }

  void Finish() {
    CloseDesktopNotification();
    showing_ = Showing::kNone;
    pages_.clear();
    titles_.clear();
    errors_.clear();
    (void)ntf_.Close();
  }

  void Withdraw() {
    if (showing_ == Showing::kUpdatedOnDesktop) CloseDesktopNotification();
    CloseProposals();
    showing_ = Showing::kNone;
    (void)ntf_.Close();
  }

  void PlaySound() {
    Result<std::string> file = owner_.store_.ReadString(SoundKey(), "");
    if (!file.ok() || file->empty() || file->size() > kMaxSoundPathLength) return;
    (void)PlaySoundFile(*file);
  }

  // What cannot be shown is said in a window, or where a service's messages go.
  void Failed() {
    const std::string text(LoadString(str::kNotificationFailed));
    if (!owner_.windows_->ShowMessage(text)) std::fprintf(stderr, "tidewell: %s\n", text.c_str());
  }

  NotificationThread& owner_;
  std::deque<Announcement> waiting_;
  Showing showing_ = Showing::kNone;
  uint64_t dialog_id_ = 0;
  std::vector<AnnouncedPage> pages_;
  std::set<std::string> titles_;
  std::vector<std::string> errors_;
  File ntf_;
  std::optional<DesktopNotifications> desktop_;
  uint32_t desktop_id_ = 0;
  // The notification of Smart History's proposals, and the addresses it (or a window) was told of.
  uint32_t proposals_id_ = 0;
  std::set<std::string> proposals_told_;
  std::chrono::steady_clock::time_point window_deadline_;
};

NotificationThread::NotificationThread(SettingsStore store, NotificationWindows* windows)
    : store_(std::move(store)), windows_(windows) {}

NotificationThread::~NotificationThread() { Stop(); }

int NotificationThread::Run() {
  Loop loop(*this);
  return loop.Run();
}

bool NotificationThread::AnnounceUpdatedPages(std::vector<AnnouncedPage> pages) {
  auto payload = std::make_unique<PagesPayload>();
  payload->pages = std::move(pages);
  return PostThreadMessage(Message{kShowUpdatedPagesMessage, 0, std::move(payload)});
}

bool NotificationThread::AnnounceErrors(std::vector<std::string> errors) {
  auto payload = std::make_unique<ErrorsPayload>();
  payload->errors = std::move(errors);
  return PostThreadMessage(Message{kShowErrorsMessage, 0, std::move(payload)});
}

bool NotificationThread::AnnounceProposals(std::vector<AnnouncedPage> pages) {
  auto payload = std::make_unique<ProposalsPayload>();
  payload->pages = std::move(pages);
  return PostThreadMessage(Message{kProposalsMessage, 0, std::move(payload)});
}

bool NotificationThread::Answer(DialogAnswer answer) {
  auto payload = std::make_unique<AnswerPayload>();
  payload->answer = std::move(answer);
  return PostThreadMessage(Message{kAnswerMessage, 0, std::move(payload)});
}

bool NotificationThread::WindowsChanged() {
  return PostThreadMessage(Message{kWindowsChangedMessage, 0, nullptr});
}

}  // namespace tw
