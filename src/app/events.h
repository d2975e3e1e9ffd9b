// What the facade tells its subscribers (application.h, Subscribe): the page database's events
// as values. Plain values; any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/values.h"
#include "platform/settings_file.h"

namespace tw::app {

// The classes of events a subscriber asks for; a subscriber's mask is an OR of them. The numbers
// are the page database's event masks.
enum EventClass : uint32_t {
  kPageEvents = 0x1,              // loading, page added, removed, changed
  kCheckingEvents = 0x10,         // a check pass started or ended, here or in another process
  kMessageEvents = 0x100,         // errors to show, pages that have just become updated
  kRequestEvents = 0x1000,        // a queued add or import has been carried out
  kSmartHistoryEvents = 0x10000,  // Smart History has pages to propose (no page database mask)
};
// The facade's own classes.
inline constexpr uint32_t kOptionsEvents = 0x20000;  // a value of the options key changed
// A window that shows the notification dialogs: the Updated Pages and Errors dialogs are asked of
// one such window (the one that subscribed last), message boxes of all of them.
inline constexpr uint32_t kNotificationEvents = 0x40000;
inline constexpr uint32_t kAllEvents = kPageEvents | kCheckingEvents | kMessageEvents |
                                       kRequestEvents | kSmartHistoryEvents | kOptionsEvents |
                                       kNotificationEvents;

enum class EventKind {
  kLoading,           // the page list is loaded afresh: drop every page
  kPageAdded,         // `page`
  kPageRemoved,       // `page`
  kPageChanged,       // `page`
  kChecking,          // `checking`
  kRequestDone,       // `request`
  kNewlyUpdated,      // `updated`
  kErrors,            // `errors`
  kProposals,         // `proposals`: every page Smart History proposes now
  kOptionsChanged,    // `settings`: every user setting in force
  kShowUpdatedPages,  // `dialog_id`, `updated`, `do_not_show_again`; answer: AnswerNotification
  kShowErrors,        // `dialog_id`, `errors`; answer: AnswerNotification
  kShowMessage,       // `message`: a message box
};

enum class RequestKind { kAdd, kDelete, kImport };

struct RequestDone {
  uint64_t request_id = 0;  // 0 for a request this facade did not queue
  RequestKind kind = RequestKind::kAdd;
  std::string name;  // the title, or the imported file's path
  bool ok = false;
  std::optional<UserMessage> error;  // what to show when it failed
};

struct UpdatedPageRef {
  std::string title;
  std::string address;
};

struct AppEvent {
  EventKind kind = EventKind::kLoading;
  std::optional<Page> page;
  bool checking = false;
  std::optional<RequestDone> request;
  std::vector<UpdatedPageRef> updated;
  std::vector<std::string> errors;
  std::vector<ProposedPage> proposals;
  std::vector<SettingsValue> settings;
  uint64_t dialog_id = 0;
  bool do_not_show_again = false;
  std::optional<UserMessage> message;
};

// Called on the page database's thread (or on the subscribing thread, for what a new subscriber
// is told at once); it must not block and must not subscribe or unsubscribe.
using EventHandler = std::function<void(const AppEvent&)>;

}  // namespace tw::app
