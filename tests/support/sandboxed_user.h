// A fixture base for tests that run the program in real processes as a user of their own: a
// sandbox with a private HOME, a runtime folder of its own, and a session bus address where no bus
// listens, so that nothing reaches the desktop of whoever runs the tests.
#pragma once

#include <gtest/gtest.h>

#include "support/http_test_server.h"
#include "support/sandbox.h"

namespace tw::test {

class SandboxedUserTest : public ::testing::Test {
 protected:
  Sandbox sandbox_;
  ScopedHome home_{sandbox_};
  ScopedEnv runtime_{"XDG_RUNTIME_DIR", sandbox_.Sub("run", true)};
  ScopedEnv bus_{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + sandbox_.Sub("no-bus")};
};

}  // namespace tw::test
