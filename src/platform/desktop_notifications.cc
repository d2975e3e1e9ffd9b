#include "platform/desktop_notifications.h"

#include <systemd/sd-bus.h>

#include <cerrno>

namespace tw {
namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";
// A notification server that does not answer within this time is taken as absent.
constexpr uint64_t kCallTimeoutUs = 5'000'000;

Error BusError(int r) { return Error::FromErrno(r < 0 ? -r : EIO); }

}  // namespace

struct DesktopNotifications::Bus {
  sd_bus* bus = nullptr;
  sd_bus_slot* action_slot = nullptr;
  sd_bus_slot* closed_slot = nullptr;
  std::string app_name;
  std::vector<NotificationSignal> arrived;

  ~Bus() {
    sd_bus_slot_unref(action_slot);
    sd_bus_slot_unref(closed_slot);
    if (bus) sd_bus_flush_close_unref(bus);
  }

  static int OnAction(sd_bus_message* message, void* context, sd_bus_error*) {
    uint32_t id = 0;
    const char* key = nullptr;
    if (sd_bus_message_read(message, "us", &id, &key) < 0) return 0;
    static_cast<Bus*>(context)->arrived.push_back(
        {NotificationSignal::Kind::kActionInvoked, id, key ? key : "", 0});
    return 0;
  }

  static int OnClosed(sd_bus_message* message, void* context, sd_bus_error*) {
    uint32_t id = 0, reason = 0;
    if (sd_bus_message_read(message, "uu", &id, &reason) < 0) return 0;
    static_cast<Bus*>(context)->arrived.push_back(
        {NotificationSignal::Kind::kClosed, id, "", reason});
    return 0;
  }

  // Handles whatever has arrived, without waiting.
  void Drain() {
    while (sd_bus_process(bus, nullptr) > 0) {
    }
  }
};

Result<DesktopNotifications> DesktopNotifications::Connect(std::string app_name) {
  auto bus = std::make_unique<Bus>();
  bus->app_name = std::move(app_name);
  if (int r = sd_bus_open_user(&bus->bus); r < 0) return BusError(r);
  int r = sd_bus_match_signal(bus->bus, &bus->action_slot, nullptr, kPath, kInterface,
                              "ActionInvoked", &Bus::OnAction, bus.get());
  if (r >= 0) {
    r = sd_bus_match_signal(bus->bus, &bus->closed_slot, nullptr, kPath, kInterface,
                            "NotificationClosed", &Bus::OnClosed, bus.get());
  }
  if (r < 0) return BusError(r);
  return DesktopNotifications(std::move(bus));
}

DesktopNotifications::DesktopNotifications(std::unique_ptr<Bus> bus) : bus_(std::move(bus)) {}
DesktopNotifications::DesktopNotifications(DesktopNotifications&&) noexcept = default;
DesktopNotifications& DesktopNotifications::operator=(DesktopNotifications&&) noexcept = default;
DesktopNotifications::~DesktopNotifications() = default;

Result<uint32_t> DesktopNotifications::Show(const DesktopNotification& notification) {
  sd_bus_message* call = nullptr;
  int r = sd_bus_message_new_method_call(bus_->bus, &call, kService, kPath, kInterface, "Notify");
  if (r >= 0) {
    r = sd_bus_message_append(call, "susss", bus_->app_name.c_str(), notification.replaces_id, "",
                              notification.summary.c_str(), notification.body.c_str());
  }
  if (r >= 0) r = sd_bus_message_open_container(call, 'a', "s");
  for (const auto& [key, label] : notification.actions) {
    if (r >= 0) r = sd_bus_message_append(call, "ss", key.c_str(), label.c_str());
  }
  if (r >= 0) r = sd_bus_message_close_container(call);
  // Hints: the desktop entry lets the desktop show the program's name and icon.
  if (r >= 0) r = sd_bus_message_append(call, "a{sv}", 1, "desktop-entry", "s", "tidewell");
  if (r >= 0) r = sd_bus_message_append(call, "i", notification.expire_ms);
  sd_bus_message* reply = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  if (r >= 0) r = sd_bus_call(bus_->bus, call, kCallTimeoutUs, &error, &reply);
  uint32_t id = 0;
  if (r >= 0) r = sd_bus_message_read(reply, "u", &id);
  sd_bus_error_free(&error);
  sd_bus_message_unref(reply);
  sd_bus_message_unref(call);
  if (r < 0) return BusError(r);
  return id;
}

Error DesktopNotifications::Close(uint32_t id) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  const int r = sd_bus_call_method(bus_->bus, kService, kPath, kInterface, "CloseNotification",
                                   &error, nullptr, "u", id);
  sd_bus_error_free(&error);
  return r < 0 ? BusError(r) : Error();
}

std::vector<NotificationSignal> DesktopNotifications::TakeSignals() {
  bus_->Drain();
  return std::exchange(bus_->arrived, {});
}

int DesktopNotifications::wait_fd() const { return sd_bus_get_fd(bus_->bus); }

}  // namespace tw
