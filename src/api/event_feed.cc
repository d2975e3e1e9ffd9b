#include "api/event_feed.h"

#include "api/json_values.h"

namespace tw::api {
namespace {

std::string_view RequestKindName(app::RequestKind kind) {
  switch (kind) {
    case app::RequestKind::kAdd:
      return "add";
    case app::RequestKind::kDelete:
      return "delete";
    case app::RequestKind::kImport:
      return "import";
  }
  return "add";
}

EventMessage Message(std::string name, const Json& data) {
  return EventMessage{std::move(name), Serialize(data)};
}

// Written as text: a window that opens is sent every page.
EventMessage PageChange(std::string_view change, const app::AppEvent& event) {
  EventMessage message{"page", {}};
  JsonText json(message.data);
  json.BeginObject();
  json.Key("change").String(change);
  json.Key("page");
  WritePageJson(json, *event.page);
  json.EndObject();
  return message;
}

}  // namespace

std::optional<EventMessage> ToEventMessage(const app::AppEvent& event) {
  using app::EventKind;
  switch (event.kind) {
    case EventKind::kLoading:
      return Message("loading", Json::object());
    case EventKind::kPageAdded:
      return PageChange("added", event);
    case EventKind::kPageRemoved:
      return PageChange("removed", event);
    case EventKind::kPageChanged:
      return PageChange("changed", event);
    case EventKind::kChecking:
      return Message("checking", {{"running", event.checking}});
    case EventKind::kRequestDone: {
      const app::RequestDone& done = *event.request;
      Json data = {{"requestId", done.request_id},
                   {"kind", RequestKindName(done.kind)},
                   {"name", done.name},
                   {"ok", done.ok}};
      if (done.error) data["error"] = ErrorJson(*done.error);
      return Message("requestDone", data);
    }
    case EventKind::kOptionsChanged:
      return Message("optionsChanged", {{"values", SettingsJson(event.settings)}});
    case EventKind::kShowUpdatedPages:
      return Message("showUpdatedPages", {{"id", event.dialog_id},
                                          {"pages", UpdatedPagesJson(event.updated)},
                                          {"doNotShowAgain", event.do_not_show_again}});
    case EventKind::kShowErrors:
      return Message("showErrors", {{"id", event.dialog_id}, {"errors", event.errors}});
    case EventKind::kShowMessage: {
      const Json error = ErrorJson(*event.message);
      Json data = {{"message", error["message"]}, {"icon", error["icon"]}};
      if (error.contains("stringId")) data["stringId"] = error["stringId"];
      return Message("message", data);
    }
    case EventKind::kProposals: {
      Json pages = Json::array();
      for (const app::ProposedPage& page : event.proposals) {
        pages.push_back({{"title", page.title}, {"address", page.address}});
      }
      return Message("proposals", {{"pages", std::move(pages)}});
    }
    case EventKind::kNewlyUpdated:
    case EventKind::kErrors:
      // The notification turns these into dialogs; the raw lists are not part of the API.
      break;
  }
  return std::nullopt;
}

EventFeed::EventFeed(app::Application& app, bool shows_dialogs, size_t max_queued_bytes)
    : cap_(max_queued_bytes), limit_(max_queued_bytes) {
  uint32_t classes =
      app::kPageEvents | app::kCheckingEvents | app::kRequestEvents | app::kOptionsEvents;
  if (shows_dialogs) classes |= app::kNotificationEvents | app::kSmartHistoryEvents;
  subscription_ = app.Subscribe(classes, [this](const app::AppEvent& event) { Push(event); });
  std::lock_guard lock(mutex_);
  connecting_ = false;
}

EventFeed::~EventFeed() { subscription_.Reset(); }

void EventFeed::Push(const app::AppEvent& event) {
  std::optional<EventMessage> message = ToEventMessage(event);
  if (!message) return;
  const size_t size = message->name.size() + message->data.size();
  {
    std::lock_guard lock(mutex_);
    if (overflowed_) return;
    // What a client is sent on connecting counts beyond the cap: it is the whole page list.
    if (connecting_) limit_ += size;
    if (queued_bytes_ + size > limit_) {
      overflowed_ = true;
      queue_.clear();
      queued_bytes_ = 0;
    } else {
      queued_bytes_ += size;
      queue_.push_back(std::move(*message));
    }
  }
  ready_.notify_one();
}

std::vector<EventMessage> EventFeed::Take(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  ready_.wait_for(lock, timeout, [this]() TW_REQUIRES(mutex_) {
    return !queue_.empty() || overflowed_ || woken_;
  });
  woken_ = false;
  std::vector<EventMessage> taken(std::make_move_iterator(queue_.begin()),
                                  std::make_move_iterator(queue_.end()));
  queue_.clear();
  // Once the first burst is out, the cap is the plain one again.
  if (!connecting_) limit_ = cap_;
  queued_bytes_ = 0;
  return taken;
}

void EventFeed::Wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  ready_.notify_all();
}

bool EventFeed::overflowed() const {
  std::lock_guard lock(mutex_);
  return overflowed_;
}

}  // namespace tw::api
