// The desktop's parts that the service uses: programs run to their end, the offline schedule's
// own words and times, autostart entries, and the notification server of a private session bus.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/autostart.h"
#include "platform/desktop_notifications.h"
#include "platform/file_system.h"
#include "platform/offline_schedule.h"
#include "platform/process.h"
#include "support/child_process.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"

namespace tw {
namespace {

TEST(RunProgramTest, FeedsInputAndCollectsOutput) {
  Result<ProgramRun> run = RunProgram({"cat"}, "one\ntwo\n", std::chrono::seconds(10));
  ASSERT_TRUE(run.ok());
  EXPECT_EQ(run->status, 0);
  EXPECT_EQ(run->output, "one\ntwo\n");
  // A large input is written while the output is read, without either side waiting forever.
  const std::string large(1 << 20, 'x');
  run = RunProgram({"cat"}, large, std::chrono::seconds(10));
  ASSERT_TRUE(run.ok());
  EXPECT_EQ(run->output.size(), large.size());

  run = RunProgram({"sh", "-c", "exit 3"}, "", std::chrono::seconds(10));
  ASSERT_TRUE(run.ok());
  EXPECT_EQ(run->status, 3);
  EXPECT_EQ(RunProgram({"no-such-program-here"}, "", std::chrono::seconds(1)).error().code(),
            err::kFileNotFound);
  EXPECT_EQ(RunProgram({"sleep", "30"}, "", std::chrono::milliseconds(200)).error().code(),
            err::kTimeout);
  EXPECT_TRUE(FindProgram("sh").ok());
  EXPECT_EQ(FindProgram("no-such-program-here").error().code(), err::kFileNotFound);
}

TEST(OfflineScheduleTest, OurWordsReadBackExactly) {
  for (const char* text : {"daily 09:30", "hourly 3 08:00", "weekly mon,thu,sun 18:15", "logon"}) {
    const std::optional<OfflineSchedule> schedule = ParseScheduleText(text);
    ASSERT_TRUE(schedule) << text;
    EXPECT_EQ(ScheduleText(*schedule), text);
  }
  for (const char* text :
       {"", "daily", "daily 9:30", "daily 24:00", "hourly 0 08:00", "hourly 24 08:00",
        "weekly  08:00", "weekly mon,xyz 08:00", "logon now", "monthly 1 08:00"}) {
    EXPECT_FALSE(ParseScheduleText(text)) << text;
  }
}

TEST(OfflineScheduleTest, TheNextRunFollowsTheLocalClock) {
  test::ScopedEnv zone("TZ", "UTC");
  tzset();
  // Wednesday 2026-12-02 10:00 UTC.
  const FileTime wednesday = FileTime::FromUnixSeconds(1796205600);
  const auto next = [&](const char* text) {
    std::optional<FileTime> at = NextRunAfter(*ParseScheduleText(text), wednesday);
    return at ? FormatIso8601(*at) : std::string("none");
  };
  EXPECT_EQ(next("daily 09:30"), "2026-12-03T09:30:00Z");
  EXPECT_EQ(next("daily 10:00"), "2026-12-03T10:00:00Z");  // not the very moment
  EXPECT_EQ(next("daily 10:01"), "2026-12-02T10:01:00Z");
  EXPECT_EQ(next("hourly 3 08:00"), "2026-12-02T11:00:00Z");
  EXPECT_EQ(next("hourly 5 21:00"), "2026-12-02T21:00:00Z");
  EXPECT_EQ(next("weekly mon 08:00"), "2026-12-07T08:00:00Z");
  EXPECT_EQ(next("weekly wed 09:00"), "2026-12-09T09:00:00Z");
  EXPECT_EQ(next("logon"), "none");
}

TEST(AutostartTest, TheCommandIsQuotedAsTheDesktopReadsIt) {
  EXPECT_EQ(DesktopEntryExec({"/usr/bin/tidewell", "serve"}), "/usr/bin/tidewell serve");
  EXPECT_EQ(DesktopEntryExec({"/opt/my apps/tide$well", "serve"}),
            "\"/opt/my apps/tide\\\\$well\" serve");
  EXPECT_EQ(DesktopEntryExec({"/a\\b 100%"}), "\"/a\\\\\\\\b 100%%\"");
  test::Sandbox sandbox;
  test::ScopedEnv config("XDG_CONFIG_HOME", sandbox.Sub("config"));
  Result<std::string> path = AutostartPath(AutostartScope::kUser, "tidewell.desktop");
  ASSERT_TRUE(path.ok());
  EXPECT_EQ(*path, sandbox.Sub("config/autostart/tidewell.desktop"));
  ASSERT_TRUE(
      WriteAutostartEntry(*path, {"Tidewell", "two\nlines", {"/bin/tidewell", "serve"}}).ok());
  EXPECT_EQ(test::ReadFileBytes(*path),
            "[Desktop Entry]\nType=Application\nName=Tidewell\nComment=two lines\n"
            "Exec=/bin/tidewell serve\nTerminal=false\nX-GNOME-Autostart-enabled=true\n");
}

TEST(DesktopNotificationsTest, WithoutASessionBusItSaysSo) {
  test::Sandbox sandbox;
  test::ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + sandbox.Sub("none"));
  test::ScopedEnv runtime("XDG_RUNTIME_DIR", sandbox.path());
  Result<DesktopNotifications> connected = DesktopNotifications::Connect("Tidewell");
  if (connected.ok()) {
    // Some buses connect lazily: then the first call fails.
    EXPECT_FALSE(connected->Show({"s", "b", {}, 0, -1}).ok());
  }
}

}  // namespace
}  // namespace tw
