// A desktop notification server of the tests' own, on the session bus that
// DBUS_SESSION_BUS_ADDRESS names: it owns org.freedesktop.Notifications, tells on its standard
// output of every call (one line each: "notify ID SUMMARY|BODY|ACTIONS", "close ID"), and acts as
// a user would when asked to.
//
//   tw_test_notification_server [--invoke ACTION]   invoke the action on every notification
//                                [--dismiss]          close every notification as the user would
#include <systemd/sd-bus.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Behaviour {
  const char* invoke = nullptr;
  bool dismiss = false;
  uint32_t next_id = 1;
};
Behaviour g_behaviour;

constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";

std::string OneLine(const char* text) {
  std::string line;
  for (const char* c = text; *c; ++c) line += *c == '\n' ? std::string("\\n") : std::string(1, *c);
  return line;
}

int Notify(sd_bus_message* call, void*, sd_bus_error*) {
  const char *app = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
  uint32_t replaces = 0;
  if (sd_bus_message_read(call, "susss", &app, &replaces, &icon, &summary, &body) < 0)
    return -EINVAL;
  char** actions = nullptr;
  if (sd_bus_message_read_strv(call, &actions) < 0) return -EINVAL;
  std::string action_text;
  for (char** a = actions; a && *a; ++a) {
    action_text += std::string(action_text.empty() ? "" : ",") + *a;
    free(*a);
  }
  free(actions);
  const uint32_t id = replaces != 0 ? replaces : g_behaviour.next_id++;
  std::printf("notify %u %s|%s|%s\n", id, OneLine(summary).c_str(), OneLine(body).c_str(),
              action_text.c_str());
  std::fflush(stdout);
  const int r = sd_bus_reply_method_return(call, "u", id);
  sd_bus* bus = sd_bus_message_get_bus(call);
  if (g_behaviour.invoke) {
    sd_bus_emit_signal(bus, kPath, kInterface, "ActionInvoked", "us", id, g_behaviour.invoke);
    sd_bus_emit_signal(bus, kPath, kInterface, "NotificationClosed", "uu", id, 2u);
  } else if (g_behaviour.dismiss) {
    sd_bus_emit_signal(bus, kPath, kInterface, "NotificationClosed", "uu", id, 2u);
  }
  return r;
}

int Close(sd_bus_message* call, void*, sd_bus_error*) {
  uint32_t id = 0;
  if (sd_bus_message_read(call, "u", &id) < 0) return -EINVAL;
  std::printf("close %u\n", id);
  std::fflush(stdout);
  sd_bus_emit_signal(sd_bus_message_get_bus(call), kPath, kInterface, "NotificationClosed", "uu",
                     id, 3u);
  return sd_bus_reply_method_return(call, "");
}

int Capabilities(sd_bus_message* call, void*, sd_bus_error*) {
  return sd_bus_reply_method_return(call, "as", 2, "body", "actions");
}

int Information(sd_bus_message* call, void*, sd_bus_error*) {
  return sd_bus_reply_method_return(call, "ssss", "test", "tidewell", "1", "1.2");
}

const sd_bus_vtable kVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", Notify, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("CloseNotification", "u", "", Close, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetCapabilities", "", "as", Capabilities, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetServerInformation", "", "ssss", Information, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("ActionInvoked", "us", 0),
    SD_BUS_SIGNAL("NotificationClosed", "uu", 0),
    SD_BUS_VTABLE_END};

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--invoke") == 0 && i + 1 < argc) g_behaviour.invoke = argv[++i];
    if (std::strcmp(argv[i], "--dismiss") == 0) g_behaviour.dismiss = true;
  }
  sd_bus* bus = nullptr;
  sd_bus_slot* slot = nullptr;
  if (sd_bus_open_user(&bus) < 0) return 1;
  if (sd_bus_add_object_vtable(bus, &slot, kPath, kInterface, kVtable, nullptr) < 0) return 1;
  if (sd_bus_request_name(bus, kInterface, 0) < 0) return 1;
  std::printf("ready\n");
  std::fflush(stdout);
  for (;;) {
    const int r = sd_bus_process(bus, nullptr);
    if (r < 0) return 1;
    if (r > 0) continue;
    if (sd_bus_wait(bus, UINT64_MAX) < 0) return 1;
  }
}
