// The service's life: one per user, its address for the user's other processes, a clean end on
// SIGINT and SIGTERM even in the middle of a check, nothing lost when it is killed, and its end
// after the last window when it may not run in the background.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include "api/dispatcher.h"
#include "app/application.h"
#include "cli/run_tidewell.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "service/http_service.h"
#include "service/service_fixture.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"
#include "support/sandboxed_user.h"

namespace tw::test {
namespace {

constexpr std::string_view kOptions = "SOFTWARE\\Orvanta\\Tidewell\\Options";

class LifecycleTest : public SandboxedUserTest {
 protected:
  std::string runtime() const { return sandbox_.Sub("run/tidewell"); }
  std::string folder() const { return home_.home() + "/Documents/My Tidewell"; }

  // A page whose server answers only when the test is over: a check of it runs until stopped.
  void AddSlowPages() {
    slow_.On("/slow", [this](const httplib::Request&, httplib::Response& response) {
      slow_.Pause(std::chrono::seconds(60));
      response.set_content("late", "text/html");
    });
    ASSERT_TRUE(AddPageAtOnce(slow_.Url("/slow"), "Slow"));
    ASSERT_TRUE(AddPageAtOnce(slow_.Url("/slow2"), "Other"));
  }

  TestHttpServer slow_;
};

TEST_F(LifecycleTest, ASecondServiceSaysWhereTheFirstIs) {
  ServiceProcess first;
  EXPECT_EQ(ReadFileBytes(runtime() + "/url"), first.address() + "\n");
  struct stat info {};
  ASSERT_EQ(::stat((runtime() + "/url").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  ASSERT_EQ(::stat((runtime() + "/secret").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  const RunResult second = RunTidewell({"serve"});
  EXPECT_EQ(second.status, 0);
  EXPECT_EQ(second.out, first.address() + "\n");
  EXPECT_NE(second.err.find("already runs"), std::string::npos);

  // `tidewell` without a command opens the running one's address.
  const std::string bin = sandbox_.Sub("bin", true);
  WriteScript(bin, "xdg-open", "echo \"$1\" > '" + sandbox_.Sub("opened") + "'\n");
  {
    ScopedEnv path("PATH", bin + ":/usr/bin:/bin");
    EXPECT_EQ(RunTidewell({}).status, 0);
  }
  EXPECT_EQ(ReadFileBytes(sandbox_.Sub("opened")), first.address() + "\n");

  // The secret stays for the session: a service started again takes the same one.
  const std::string secret = first.secret();
  EXPECT_EQ(first.Stop(SIGINT), 0);
  EXPECT_FALSE(PathExists(runtime() + "/url"));
  ServiceProcess again;
  EXPECT_EQ(again.secret(), secret);
}

// A service told to end right as it started: its server's loop may not run yet, and an end that
// came before it was lost, so the service never ended.
TEST_F(LifecycleTest, AServerStoppedRightAfterItsStartEnds) {
  app::Application app;
  api::Dispatcher dispatcher(app, {});
  for (int i = 0; i < 50; ++i) {
    service::HttpService http(app, dispatcher);
    ASSERT_TRUE(http.Start(0, "secret").ok());
    http.Stop();
  }
}

TEST_F(LifecycleTest, SigtermInTheMiddleOfACheckEndsItCleanly) {
  ServiceProcess service;
  EventStream events(service.port(), service.secret());
  AddSlowPages();
  ASSERT_TRUE(events.WaitFor("checking", [](const Json& d) { return d["running"] == true; }));
  ASSERT_TRUE(WaitFor([&] { return slow_.request_count() > 0; }));

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(service.Stop(SIGTERM), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_FALSE(*IsFileInUse(folder() + "/lock"));
  const RunResult list = RunTidewell({"list"});
  EXPECT_EQ(list.status, 0);
  EXPECT_NE(list.out.find("Slow"), std::string::npos);
  EXPECT_NE(list.out.find("Other"), std::string::npos);
}

TEST_F(LifecycleTest, KilledInTheMiddleOfACheckItLosesNoPageAndBlocksNoCheck) {
  ServiceProcess service;
  EventStream events(service.port(), service.secret());
  AddSlowPages();
  ASSERT_TRUE(events.WaitFor("checking", [](const Json& d) { return d["running"] == true; }));
  ASSERT_TRUE(WaitFor([&] { return slow_.request_count() > 0; }));
  EXPECT_EQ(service.Stop(SIGKILL), 128 + SIGKILL);

  EXPECT_FALSE(*IsFileInUse(folder() + "/lock"));
  slow_.Serve("/slow", 200, "<html>now</html>");
  slow_.Serve("/slow2", 200, "<html>now</html>");
  EXPECT_EQ(RunTidewell({"refresh"}).status, 0);
  const RunResult list = RunTidewell({"list", "--json"});
  ASSERT_EQ(list.status, 0);
  const Json pages = Json::parse(list.out);
  EXPECT_EQ(pages.size(), 2u);
  // A killed service leaves its address behind; the next one replaces it.
  ServiceProcess next;
  EXPECT_EQ(ReadFileBytes(runtime() + "/url"), next.address() + "\n");
}

TEST_F(LifecycleTest, WithoutRunningInTheBackgroundItEndsAfterItsLastWindow) {
  ASSERT_TRUE(SettingsStore::OpenUser()->WriteDword(kOptions, "RunBkg", 0).ok());
  ServiceProcess service({"--idle-exit", "1"});
  auto window = std::make_unique<EventStream>(service.port(), service.secret());
  ASSERT_TRUE(window->WaitFor("checking"));
  // While a window is open it stays, well past its idle time.
  EXPECT_FALSE(service.process().Wait(std::chrono::milliseconds(2500)));
  // The service finds the closed window at its next heartbeat, and ends a second later.
  window.reset();
  EXPECT_EQ(service.process().Wait(std::chrono::seconds(30)), 0);
  EXPECT_FALSE(PathExists(runtime() + "/url"));
}

TEST_F(LifecycleTest, WithRunningInTheBackgroundItStaysWithoutWindows) {
  ServiceProcess service({"--idle-exit", "0"});
  EXPECT_FALSE(service.process().Wait(std::chrono::milliseconds(1500)));
  // Switched off while it runs, it ends without a window.
  service.Call("settings.set", {{"values", {{"RunBkg", 0}}}});
  EXPECT_EQ(service.process().Wait(std::chrono::seconds(10)), 0);
}

}  // namespace
}  // namespace tw::test
