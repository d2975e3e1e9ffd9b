// DesktopNotifications: notifications on the user's desktop, through the notification server
// (org.freedesktop.Notifications) of the session bus. A notification may offer actions; what the
// user does with it comes back as signals: an action invoked, or the notification closed.
//
// Threads: one object belongs to one thread (the bus connection is not shared). The object is a
// Waitable: it polls readable when something arrived from the bus, and TakeSignals then collects
// what concerns the notifications.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "foundation/waitable.h"
#include "platform/error.h"

namespace tw {

struct DesktopNotification {
  std::string summary;
  std::string body;
  // (key, label) pairs; the key "default" is the click on the notification itself.
  std::vector<std::pair<std::string, std::string>> actions;
  uint32_t replaces_id = 0;  // a shown notification to replace, or 0
  int32_t expire_ms = -1;    // -1: the server decides, 0: until the user closes it
};

struct NotificationSignal {
  enum class Kind { kActionInvoked, kClosed };
  Kind kind = Kind::kClosed;
  uint32_t id = 0;
  std::string action;   // kActionInvoked: the action's key
  uint32_t reason = 0;  // kClosed: 1 expired, 2 dismissed by the user, 3 closed by a call
};

class DesktopNotifications final : public Waitable {
 public:
  // Connects to the session bus ($DBUS_SESSION_BUS_ADDRESS, else the runtime folder's bus). Fails
  // when there is no session bus; a bus without a notification server fails at Show.
  static Result<DesktopNotifications> Connect(std::string app_name);

  DesktopNotifications(DesktopNotifications&&) noexcept;
  DesktopNotifications& operator=(DesktopNotifications&&) noexcept;
  ~DesktopNotifications() override;

  // Shows the notification; its id. Fails when no notification server answers.
  Result<uint32_t> Show(const DesktopNotification& notification);
  // Withdraws a notification that is shown.
  Error Close(uint32_t id);
  // The signals about notifications that have arrived since the last call.
  std::vector<NotificationSignal> TakeSignals();

  int wait_fd() const override;
  bool TryAcquire() override { return true; }

 private:
  struct Bus;
  explicit DesktopNotifications(std::unique_ptr<Bus> bus);
  std::unique_ptr<Bus> bus_;
};

}  // namespace tw
