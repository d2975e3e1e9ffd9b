// A real secret store on a private session bus, for the life of the object: a dbus-daemon of the
// test's own (with no service activation, so nothing else starts on it) and gnome-keyring's
// secret service, its login collection made and unlocked with a password of the test's own.
//
// Only child processes talk to it: the bus address is in DBUS_SESSION_BUS_ADDRESS while the
// object lives, and children started meanwhile inherit it. The test process itself never
// connects, since a process whose session bus goes away is ended by GLib.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"

namespace tw::test {

class PrivateSecretService {
 public:
  // Needs a ScopedHome: the keyring files go below its XDG_DATA_HOME.
  explicit PrivateSecretService(const Sandbox& sandbox);
  ~PrivateSecretService();

  // Whether the store runs; false when its programs are missing.
  bool running() const { return running_; }
  // Stores a secret with these attributes (the schema as "xdg:schema"), as a browser does.
  bool Store(const std::vector<std::pair<std::string, std::string>>& attributes,
             const std::string& secret);
  // Locks every collection, as the desktop does when the screen locks.
  bool LockAll();

 private:
  bool running_ = false;
  std::string config_;
  std::optional<ChildProcess> bus_;
  std::optional<ChildProcess> keyring_;
  std::optional<ScopedEnv> bus_address_;
  std::optional<ScopedEnv> runtime_dir_;
};

// A bus address where nothing listens: libsecret finds no store there at once.
inline constexpr const char* kNoSessionBus = "unix:path=/nonexistent/tidewell-test-bus";

}  // namespace tw::test
