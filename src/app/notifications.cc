// The windows as the notification thread sees them: the subscribers that show dialogs.
#include "app/application.h"
#include "app/application_internal.h"
#include "app/messages.h"

namespace tw::app {

bool Application::Core::HasWindow() {
  std::lock_guard lock(state_mutex_);
  for (const auto& [id, subscriber] : subscribers_) {
    if (subscriber.classes & kNotificationEvents) return true;
  }
  return false;
}

std::optional<uint64_t> Application::Core::DialogWindow(uint64_t id) {
  if (const auto shown = dialog_windows_.find(id); shown != dialog_windows_.end()) {
    if (subscribers_.contains(shown->second)) return shown->second;
  }
  // The window that came last is the one the user looks at.
  for (auto it = subscribers_.rbegin(); it != subscribers_.rend(); ++it) {
    if (it->second.classes & kNotificationEvents) return it->first;
  }
  return std::nullopt;
}

bool Application::Core::SendToDialogWindow(uint64_t id, const AppEvent& event) {
  std::lock_guard lock(state_mutex_);
  const std::optional<uint64_t> window = DialogWindow(id);
  if (!window) return false;
  // One dialog at a time: the windows of earlier ones are forgotten.
  dialog_windows_.erase(dialog_windows_.begin(), dialog_windows_.lower_bound(id));
  dialog_windows_[id] = *window;
  subscribers_.at(*window).handler(event);
  return true;
}

bool Application::Core::ShowUpdatedPages(uint64_t id, const std::vector<AnnouncedPage>& pages,
                                         bool do_not_show_again) {
  AppEvent event;
  event.kind = EventKind::kShowUpdatedPages;
  event.dialog_id = id;
  event.do_not_show_again = do_not_show_again;
  for (const AnnouncedPage& page : pages) event.updated.push_back({page.title, page.address});
  return SendToDialogWindow(id, event);
}

bool Application::Core::ShowErrors(uint64_t id, const std::vector<std::string>& errors) {
  AppEvent event;
  event.kind = EventKind::kShowErrors;
  event.dialog_id = id;
  event.errors = errors;
  return SendToDialogWindow(id, event);
}

bool Application::Core::ShowMessage(const std::string& text) {
  AppEvent event;
  event.kind = EventKind::kShowMessage;
  event.message = FailedMessage(text);
  std::lock_guard lock(state_mutex_);
  bool shown = false;
  for (auto& [id, subscriber] : subscribers_) {
    if (!(subscriber.classes & kNotificationEvents)) continue;
    subscriber.handler(event);
    shown = true;
  }
  return shown;
}

bool Application::Core::OpenWindow(const WindowStart& start) {
  std::lock_guard lock(opener_mutex_);
  return window_opener_ && window_opener_(start);
}

void Application::Core::SetWindowOpener(std::function<bool(const WindowStart&)> opener) {
  std::lock_guard lock(opener_mutex_);
  window_opener_ = std::move(opener);
}

void Application::Core::AnswerDialog(NotificationThread::DialogAnswer answer) {
  std::lock_guard lock(state_mutex_);
  dialog_windows_.erase(answer.id);
  if (notification_thread_) (void)notification_thread_->Answer(std::move(answer));
}

Outcome<Done> Application::AnswerNotification(uint64_t dialog_id,
                                              std::optional<std::string> chosen_title,
                                              bool do_not_show_again) {
  NotificationThread::DialogAnswer answer;
  answer.id = dialog_id;
  answer.chosen_title = std::move(chosen_title);
  answer.do_not_show_again = do_not_show_again;
  core_->AnswerDialog(std::move(answer));
  return Done{};
}

void Application::ShowNotificationsOnDesktop(bool on) { core_->ShowNotificationsOnDesktop(on); }

void Application::SetWindowOpener(std::function<bool(const WindowStart&)> opener) {
  core_->SetWindowOpener(std::move(opener));
}

}  // namespace tw::app
