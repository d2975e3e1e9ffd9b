// Update notification through real services: the Updated Pages dialog asked of one window, one
// dialog across services on one page folder, errors, the desktop notification on a private
// session bus with a notification server of the tests' own, and the sound.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "browser/browser_fixtures.h"
#include "cli/run_tidewell.h"
#include "pagedb/error_log.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "service/service_fixture.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"
#include "support/sandboxed_user.h"

namespace tw::test {
namespace {

constexpr std::string_view kOptions = "SOFTWARE\\Orvanta\\Tidewell\\Options";
constexpr uint32_t kUnknownErrorText = 150;

class NotificationTest : public SandboxedUserTest {
 protected:
  NotificationTest() {
    // Plain checking: a page whose body changes is updated at the next check.
    EXPECT_TRUE(store().WriteDword(kOptions, "EnableSmartUpdate", 0).ok());
    server_.On("/page", [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(
          "<html><body>version " + std::to_string(version_.load()) + "</body></html>", "text/html");
    });
  }
  SettingsStore store() const { return *SettingsStore::OpenUser(); }
  std::string folder() const { return home_.home() + "/Documents/My Tidewell"; }

  // Adds the page, lets its first check store the content, then changes the content and has
  // `service` check again: the page becomes updated.
  void MakeUpdated(ServiceProcess& service, EventStream& events, const std::string& title) {
    service.Call("pages.add", {{"title", title}, {"address", server_.Url("/page")}});
    ASSERT_TRUE(events.WaitFor("page", [&](const Json& d) {
      return d["change"] == "changed" && d["page"]["title"] == title;
    })) << "the first check did not end";
    ++version_;
    const size_t before = events.size();
    service.Call("checking.refresh");
    ASSERT_TRUE(events.WaitFor(
        "page",
        [&](const Json& d) { return d["page"]["title"] == title && d["page"]["updated"] == true; },
        std::chrono::seconds(20), before));
  }

  std::atomic<int> version_{1};
  TestHttpServer server_;
};

TEST_F(NotificationTest, TheLastWindowShowsUpdatedPagesAndItsAnswerIsKept) {
  ServiceProcess service;
  EventStream first(service.port(), service.secret());
  ASSERT_TRUE(first.WaitFor("checking"));
  EventStream last(service.port(), service.secret());
  ASSERT_TRUE(last.WaitFor("checking"));

  MakeUpdated(service, first, "Prices");
  const std::optional<Json> shown = last.WaitFor("showUpdatedPages");
  ASSERT_TRUE(shown);
  EXPECT_EQ((*shown)["pages"], (Json{{{"title", "Prices"}, {"address", server_.Url("/page")}}}));
  EXPECT_EQ((*shown)["doNotShowAgain"], false);

  service.Call("notify.answer",
               {{"id", (*shown)["id"]}, {"chosenTitle", "Prices"}, {"doNotShowAgain", true}});
  ASSERT_TRUE(first.WaitFor("optionsChanged",
                            [](const Json& d) { return d["values"]["PageNotify"] == 0; }));
  EXPECT_EQ(*store().ReadDword(kOptions, "PageNotify"), 0u);
  // Only the window that came last was asked.
  EXPECT_FALSE(first.WaitFor("showUpdatedPages", nullptr, std::chrono::milliseconds(0)));

  // With PageNotify off nothing is shown.
  const size_t before = last.size();
  ++version_;
  service.Call("checking.refresh");
  ASSERT_TRUE(last.WaitFor(
      "checking", [](const Json& d) { return d["running"] == false; }, std::chrono::seconds(20),
      before + 1));
  EXPECT_FALSE(last.WaitFor("showUpdatedPages", nullptr, std::chrono::milliseconds(500), before));
}

TEST_F(NotificationTest, ErrorsAreShownInAWindow) {
  ServiceProcess service;
  EventStream events(service.port(), service.secret());
  ASSERT_TRUE(events.WaitFor("checking"));
  ASSERT_TRUE(WriteErrorFile(folder(), kUnknownErrorText).ok());
  const std::optional<Json> shown = events.WaitFor("showErrors");
  ASSERT_TRUE(shown);
  EXPECT_EQ((*shown)["errors"], (Json{"Unknown error."}));
  service.Call("notify.answer", {{"id", (*shown)["id"]}, {"doNotShowAgain", false}});
}

TEST_F(NotificationTest, OfTwoServicesOnOneFolderOnlyOneShowsTheDialog) {
  ServiceProcess one;
  ScopedEnv other_runtime("XDG_RUNTIME_DIR", sandbox_.Sub("run-2", true));
  ServiceProcess two;
  ASSERT_NE(one.port(), two.port());
  EventStream events_one(one.port(), one.secret());
  EventStream events_two(two.port(), two.secret());
  ASSERT_TRUE(events_one.WaitFor("checking"));
  ASSERT_TRUE(events_two.WaitFor("checking"));

  MakeUpdated(one, events_one, "Weather");
  // Both show the change...
  ASSERT_TRUE(
      events_two.WaitFor("page", [](const Json& d) { return d["page"]["updated"] == true; }));
  // ...and one of them the dialog.
  ASSERT_TRUE(WaitFor([&] {
    return events_one.WaitFor("showUpdatedPages", nullptr, std::chrono::milliseconds(0)) ||
           events_two.WaitFor("showUpdatedPages", nullptr, std::chrono::milliseconds(0));
  }));
  const bool first_shows =
      events_one.WaitFor("showUpdatedPages", nullptr, std::chrono::milliseconds(0)).has_value();
  EventStream& shower = first_shows ? events_one : events_two;
  EventStream& other = first_shows ? events_two : events_one;
  EXPECT_FALSE(other.WaitFor("showUpdatedPages", nullptr, std::chrono::seconds(2)));

  // Once answered, the next update may be shown again.
  ServiceProcess& shower_service = first_shows ? one : two;
  const Json id = (*shower.WaitFor("showUpdatedPages"))["id"];
  shower_service.Call("notify.answer", {{"id", id}, {"doNotShowAgain", false}});
  // A page already updated is announced again only with PageReNotify: the user opens it first.
  const size_t before_clear = events_two.size();
  one.Call("pages.clearUpdated", {{"title", "Weather"}});
  ASSERT_TRUE(events_two.WaitFor(
      "page", [](const Json& d) { return d["page"]["updated"] == false; }, std::chrono::seconds(30),
      before_clear));
  const size_t before_one = events_one.size(), before_two = events_two.size();
  ++version_;
  one.Call("checking.refresh");
  EXPECT_TRUE(WaitFor(
      [&] {
        return events_one.WaitFor("showUpdatedPages", nullptr, std::chrono::milliseconds(0),
                                  before_one) ||
               events_two.WaitFor("showUpdatedPages", nullptr, std::chrono::milliseconds(0),
                                  before_two);
      },
      std::chrono::seconds(20)));
}

// A private session bus with the tests' notification server on it.
class DesktopNotificationTest : public NotificationTest {
 protected:
  DesktopNotificationTest()
      : bus_daemon_(
            ChildProcess::Spawn({"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address",
                                 "--address=unix:path=" + sandbox_.Sub("bus")})) {
    const std::optional<std::string> address = bus_daemon_.ReadLine();
    EXPECT_TRUE(address);
    bus_address_.emplace("DBUS_SESSION_BUS_ADDRESS", address.value_or(""));
    WriteScript(bin_, "xdg-open", "echo \"$1\" > '" + opened_ + "'\n");
    WriteScript(bin_, "paplay", "echo \"$@\" > '" + played_ + "'\n");
  }
  // Adds the pages (title, path) while a window is open and waits for their first checks; then,
  // with no window left, changes them and has `service` check again, so the desktop is told.
  void UpdateWithNoWindow(ServiceProcess& service,
                          const std::vector<std::pair<std::string, std::string>>& pages) {
    {
      EventStream window(service.port(), service.secret());
      ASSERT_TRUE(window.WaitFor("checking"));
      for (const auto& [title, path] : pages) {
        service.Call("pages.add", {{"title", title}, {"address", server_.Url(path)}});
      }
      for (const auto& page : pages) {
        const std::string& title = page.first;
        ASSERT_TRUE(window.WaitFor("page", [&](const Json& d) {
          return d["change"] == "changed" && d["page"]["title"] == title;
        }));
      }
    }
    ++version_;
    service.Call("checking.refresh");
  }
  ChildProcess StartServer(const std::vector<std::string>& args) {
    std::vector<std::string> argv{TW_TEST_NOTIFICATION_SERVER};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess server = ChildProcess::Spawn(argv);
    EXPECT_EQ(server.ReadLine(), "ready");
    return server;
  }

  ChildProcess bus_daemon_;
  std::optional<ScopedEnv> bus_address_;
  std::string bin_ = sandbox_.Sub("bin", true);
  std::string opened_ = sandbox_.Sub("opened");
  std::string played_ = sandbox_.Sub("played");
  std::atomic<int> harbour_{1};
  ScopedEnv path_{"PATH", bin_ + ":/usr/bin:/bin"};
};

TEST_F(DesktopNotificationTest, WithNoWindowTheDesktopIsToldAndItsActionOpensTheDialog) {
  ASSERT_TRUE(store()
                  .WriteString("AppEvents\\Schemes\\Apps\\Tidewell\\TWUP\\.current", "",
                               "/sounds/updated.wav")
                  .ok());
  ChildProcess notifications = StartServer({"--invoke", "default"});
  ServiceProcess service;
  UpdateWithNoWindow(service, {{"Jobs", "/page"}});

  const std::optional<std::string> told = notifications.ReadLine(std::chrono::seconds(20));
  ASSERT_TRUE(told);
  EXPECT_NE(told->find(" Updated Pages - Tidewell|"), std::string::npos) << *told;
  EXPECT_NE(told->find("Jobs"), std::string::npos) << *told;
  // One page, and checks keep earlier versions: its changes are offered too.
  EXPECT_TRUE(told->ends_with("|default,Updated Pages,show-changes,Show Changes")) << *told;

  // The sound played, and the action opened the window's address.
  ASSERT_TRUE(WaitFor([&] { return !ReadFileBytes(played_).empty(); }));
  EXPECT_EQ(ReadFileBytes(played_), "-- /sounds/updated.wav\n");
  ASSERT_TRUE(WaitFor([&] { return !ReadFileBytes(opened_).empty(); }));
  EXPECT_EQ(ReadFileBytes(opened_), service.address() + "\n");

  // The window that opens is asked to show the dialog.
  EventStream window(service.port(), service.secret());
  const std::optional<Json> shown = window.WaitFor("showUpdatedPages");
  ASSERT_TRUE(shown);
  EXPECT_EQ((*shown)["pages"][0]["title"], "Jobs");
}

TEST_F(DesktopNotificationTest, ShowChangesOpensAWindowOnThePageAndTheDialogIsDone) {
  ChildProcess notifications = StartServer({"--invoke", "show-changes"});
  ServiceProcess service;
  const std::string title = "Tide & Times";
  UpdateWithNoWindow(service, {{title, "/page"}});

  const std::optional<std::string> told = notifications.ReadLine(std::chrono::seconds(20));
  ASSERT_TRUE(told);
  EXPECT_TRUE(told->ends_with("|default,Updated Pages,show-changes,Show Changes")) << *told;
  // The window is opened on the page's changes, its title made safe inside the address.
  ASSERT_TRUE(WaitFor([&] { return !ReadFileBytes(opened_).empty(); }));
  EXPECT_EQ(ReadFileBytes(opened_), service.address() + "&changes=Tide%20%26%20Times\n");

  // The dialog is done: the window that opens is not asked to show it, and the next update is a
  // dialog of its own.
  EventStream window(service.port(), service.secret());
  ASSERT_TRUE(window.WaitFor("checking"));
  server_.On("/harbour", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content("<p>harbour " + std::to_string(harbour_.load()) + "</p>", "text/html");
  });
  service.Call("pages.add", {{"title", "Harbour"}, {"address", server_.Url("/harbour")}});
  ASSERT_TRUE(window.WaitFor("page", [](const Json& d) {
    return d["change"] == "changed" && d["page"]["title"] == "Harbour";
  }));
  ++harbour_;
  service.Call("checking.refresh");
  const std::optional<Json> shown = window.WaitFor("showUpdatedPages");
  ASSERT_TRUE(shown);
  ASSERT_EQ((*shown)["pages"].size(), 1u);
  EXPECT_EQ((*shown)["pages"][0]["title"], "Harbour");
}

TEST_F(DesktopNotificationTest, ShowChangesIsOfferedForOnePageWhoseVersionsAreKept) {
  ChildProcess notifications = StartServer({});
  ServiceProcess service;
  server_.On("/other", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content("<p>other " + std::to_string(version_.load()) + "</p>", "text/html");
  });
  // Both pages change in one check: the notification that lists both offers the dialog alone.
  UpdateWithNoWindow(service, {{"Jobs", "/page"}, {"News", "/other"}});
  std::optional<std::string> told;
  while (!told || told->find("News") == std::string::npos ||
         told->find("Jobs") == std::string::npos) {
    told = notifications.ReadLine(std::chrono::seconds(20));
    ASSERT_TRUE(told);
  }
  EXPECT_TRUE(told->ends_with("|default,Updated Pages")) << *told;
}

TEST_F(DesktopNotificationTest, WithNoVersionsKeptThereAreNoChangesToOffer) {
  ASSERT_TRUE(store().WriteDword(kOptions, "KeepVersions", 0).ok());
  ChildProcess notifications = StartServer({});
  ServiceProcess service;
  UpdateWithNoWindow(service, {{"Jobs", "/page"}});
  const std::optional<std::string> told = notifications.ReadLine(std::chrono::seconds(20));
  ASSERT_TRUE(told);
  EXPECT_TRUE(told->ends_with("|default,Updated Pages")) << *told;
}

// Smart History's proposals while no window is there to show them.
class ProposalNotificationTest : public DesktopNotificationTest {
 protected:
  ProposalNotificationTest() {
    BrowserDatabase places(MakeFirefoxProfile(home_.home()) + "/places.sqlite",
                           BrowserSchema::kFirefoxPlaces);
    // Visited on three days: frequently visited; /weekly only once.
    for (const char* path : {"/often", "/daily", "/weekly"}) {
      const int days = std::string_view(path) == "/weekly" ? 1 : 3;
      places.AddFirefoxPageVisitedDaily(server_.Url(path), path + 1, days, Now());
    }
  }
  void Navigate(ServiceProcess& service, const char* path, const char* title) {
    service.Call("smartHistory.navigated", {{"address", server_.Url(path)}, {"title", title}});
  }
  static constexpr std::string_view kTold =
      " Smart History - Tidewell|Tidewell proposes pages to watch, based on your browsing "
      "history:";
};

TEST_F(ProposalNotificationTest, TheDesktopIsToldOnceOfThePagesWaitingUntilAWindowComes) {
  ChildProcess notifications = StartServer({});
  ServiceProcess service;
  Navigate(service, "/weekly", "Weekly");  // not frequently visited: nothing to tell
  Navigate(service, "/often", "Often");
  std::optional<std::string> told = notifications.ReadLine(std::chrono::seconds(20));
  ASSERT_TRUE(told);
  EXPECT_EQ(*told, "notify 1" + std::string(kTold) + "\\nOften|default,Smart History");

  // The same pages waiting are not told of again; a page that joins them is, in the same place.
  service.Call("smartHistory.answer", {{"checked", Json::array()}, {"shown", Json::array()}});
  Navigate(service, "/daily", "Daily");
  told = notifications.ReadLine(std::chrono::seconds(20));
  ASSERT_TRUE(told);
  EXPECT_EQ(*told, "notify 1" + std::string(kTold) + "\\nOften\\nDaily|default,Smart History");

  // A window that comes shows the dialog itself: the notification goes.
  EventStream window(service.port(), service.secret());
  EXPECT_EQ(notifications.ReadLine(std::chrono::seconds(20)), "close 1");
  EXPECT_EQ(service.Call("smartHistory.state")["proposals"].size(), 2u);
}

TEST_F(ProposalNotificationTest, ItsActionOpensAWindowOnTheSmartHistoryDialog) {
  ChildProcess notifications = StartServer({"--invoke", "default"});
  ServiceProcess service;
  Navigate(service, "/often", "Often");
  const std::optional<std::string> told = notifications.ReadLine(std::chrono::seconds(20));
  ASSERT_TRUE(told);
  EXPECT_TRUE(told->ends_with("|default,Smart History")) << *told;
  ASSERT_TRUE(WaitFor([&] { return !ReadFileBytes(opened_).empty(); }));
  EXPECT_EQ(ReadFileBytes(opened_), service.address() + "&smartHistory=1\n");
  // That address leads on to the UI with the same request.
  httplib::Client client = service.Client();
  httplib::Result opened =
      client.Get(service.address().substr(service.origin().size()) + "&smartHistory=1");
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened->status, 303);
  EXPECT_EQ(opened->get_header_value("Location"), "/?smartHistory=1");
}

TEST_F(ProposalNotificationTest, WithAWindowThereTheDesktopIsNotTold) {
  ChildProcess notifications = StartServer({});
  ServiceProcess service;
  EventStream window(service.port(), service.secret());
  ASSERT_TRUE(window.WaitFor("checking"));
  Navigate(service, "/often", "Often");
  ASSERT_TRUE(window.WaitFor("proposals"));
  EXPECT_FALSE(notifications.ReadLine(std::chrono::seconds(1)));
}

}  // namespace
}  // namespace tw::test
