// User settings, run on startup and the offline schedule, through a real `tidewell serve`. The
// user's schedulers are the only stand-ins: `systemctl` and `crontab` are scripts of the test's
// own, first in PATH, that keep what they were asked.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/run_tidewell.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "service/service_fixture.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"
#include "support/sandboxed_user.h"

namespace tw::test {
namespace {

constexpr std::string_view kOptions = "SOFTWARE\\Orvanta\\Tidewell\\Options";

class SettingsTest : public SandboxedUserTest {
 protected:
  ScopedEnv system_config_{"XDG_CONFIG_DIRS", sandbox_.Sub("etc-xdg", true) + ":/etc/xdg"};
  std::string folder() const { return home_.home() + "/Documents/My Tidewell"; }
  SettingsStore store() const { return *SettingsStore::OpenUser(); }
};

TEST_F(SettingsTest, ValuesAreReadWithTheirDefaultsAndWrittenTogether) {
  ASSERT_TRUE(store().WriteDword(kOptions, "ViewMode", 7).ok());  // above 3: as if missing
  ASSERT_TRUE(store().WriteDword(kOptions, "AutoSH", 5).ok());
  ServiceProcess service;
  EventStream events(service.port(), service.secret());
  ASSERT_TRUE(events.WaitFor("checking"));

  Json got = service.Call("settings.get", {{"setting", "host"}});
  const Json& values = got["values"];
  EXPECT_EQ(values["RunBkg"], 1);
  EXPECT_EQ(values["PageNotify"], 1);
  EXPECT_EQ(values["PageReNotify"], 1);  // the options sheet shows it on
  EXPECT_EQ(values["ViewMode"], 0);
  EXPECT_EQ(values["ViewModeIE"], 1);
  EXPECT_EQ(values["AutoSH"], 0);
  EXPECT_EQ(values["Timeout"], 40);
  EXPECT_EQ(values["FirstRun"], 0);
  EXPECT_EQ(values["PDB"], folder());
  EXPECT_EQ(values["KeepVersions"], 10);
  EXPECT_FALSE(values.contains("PageColSize"));  // the list's own width until stored
  EXPECT_EQ(got["runOnStartup"], false);
  bool found_schema = false;
  for (const Json& entry : got["schema"]) {
    if (entry["name"] != "Threads") continue;
    found_schema = true;
    EXPECT_EQ(entry["type"], "number");
    EXPECT_EQ(entry["min"], 1);
    EXPECT_EQ(entry["max"], 31);
    EXPECT_EQ(entry["default"], 1);
  }
  EXPECT_TRUE(found_schema);

  service.Call("settings.set", {{"setting", "host"},
                                {"values",
                                 {{"ViewMode", 2},
                                  {"LargeTB", 1},
                                  {"TaskPad", 0},
                                  {"CheckWait", 600},
                                  {"PageColSize", 180},
                                  {"KeepVersions", 0},
                                  {"FirstRun", 1}}}});
  ASSERT_TRUE(events.WaitFor("optionsChanged", [](const Json& d) {
    return d["values"]["ViewMode"] == 2 && d["values"]["PageColSize"] == 180;
  }));
  got = service.Call("settings.get")["values"];
  EXPECT_EQ(got["LargeTB"], 1);
  EXPECT_EQ(got["TaskPad"], 0);
  EXPECT_EQ(got["CheckWait"], 600);
  EXPECT_EQ(got["KeepVersions"], 0);
  EXPECT_EQ(*store().ReadDword(kOptions, "KeepVersions"), 0u);
  EXPECT_EQ(service.Call("app.info")["firstRun"], false);

  // The side panel does not write the program window's task pane.
  service.Call("settings.set",
               {{"setting", "sidebar"}, {"values", {{"TaskPad", 1}, {"ViewModeIE", 3}}}});
  got = service.Call("settings.get")["values"];
  EXPECT_EQ(got["TaskPad"], 0);
  EXPECT_EQ(got["ViewModeIE"], 3);
}

TEST_F(SettingsTest, AValueOutOfItsRangeIsRefusedAndNothingIsWritten) {
  ServiceProcess service;
  Json error = service.CallError(
      "settings.set", {{"setting", "host"}, {"values", {{"ViewMode", 3}, {"Timeout", 301}}}});
  EXPECT_EQ(error["code"], "out-of-range");
  EXPECT_EQ(error["message"], "Please enter a value between 0 and 300.");
  EXPECT_EQ(error["icon"], "information");
  EXPECT_EQ(error["field"], "Timeout");
  EXPECT_EQ(service.Call("settings.get")["values"]["ViewMode"], 0);

  // The wait is stored in seconds and shown in minutes.
  error = service.CallError("settings.set", {{"values", {{"CheckWait", 1860}}}});
  EXPECT_EQ(error["message"], "Please enter a value between 0 and 30.");
  error = service.CallError("settings.set", {{"values", {{"Interval", 2}, {"IntervalValue", 30}}}});
  EXPECT_EQ(error["message"], "Please enter a value between 1 and 23.");
  error = service.CallError("settings.set", {{"values", {{"KeepVersions", 101}}}});
  EXPECT_EQ(error["message"], "Please enter a value between 0 and 100.");
  error = service.CallError("settings.set", {{"values", {{"Threads", -1}}}});
  EXPECT_EQ(error["code"], "out-of-range");
  error = service.CallError("settings.set", {{"values", {{"PDB", std::string(249, 'x')}}}});
  EXPECT_EQ(error["code"], "too-long");
  EXPECT_EQ(error["message"], "Please enter a length less than &d.");
  error = service.CallError("settings.set", {{"values", {{"PDB", sandbox_.Sub("missing")}}}});
  EXPECT_EQ(error["code"], "invalid-value");
  error = service.CallError("settings.set", {{"values", {{"NoSuchValue", 1}}}});
  EXPECT_EQ(error["code"], "invalid-params");
  error = service.CallError("settings.set", {{"values", {{"Timeout", "30"}}}});
  EXPECT_EQ(error["code"], "invalid-params");

  Result<SettingsKey> key = store().OpenKey(kOptions);
  ASSERT_TRUE(key.ok());
  for (const char* name :
       {"ViewMode", "Timeout", "CheckWait", "Interval", "Threads", "KeepVersions"}) {
    EXPECT_FALSE(key->ReadDword(name).ok()) << name;
  }

  // A valid folder is stored as its absolute path.
  (void)CreateDirectories(sandbox_.Sub("pages"));
  service.Call("settings.set", {{"values", {{"PDB", sandbox_.Sub("pages/../pages")}}}});
  EXPECT_EQ(*store().ReadString(kOptions, "PDB"), *RealPath(sandbox_.Sub("pages")));
}

TEST_F(SettingsTest, RunOnStartupIsAnAutostartEntry) {
  ServiceProcess service;
  const std::string user = home_.home() + "/.config/autostart/tidewell.desktop";
  const std::string all = sandbox_.Sub("etc-xdg/autostart/tidewell.desktop");

  EXPECT_TRUE(service.Call("startup.set", {{"enabled", true}}).is_object());
  const std::string entry = ReadFileBytes(user);
  EXPECT_NE(entry.find("Exec=" + std::string(TW_TIDEWELL_PROGRAM) + " serve\n"), std::string::npos)
      << entry;
  EXPECT_NE(entry.find("Type=Application\n"), std::string::npos);
  EXPECT_TRUE(service.Call("settings.get")["runOnStartup"]);
  EXPECT_TRUE(service.Call("startup.set", {{"enabled", false}}).is_object());
  EXPECT_FALSE(PathExists(user));
  EXPECT_TRUE(service.Call("startup.set", {{"enabled", false}}).is_object());  // already gone

  // An entry for all users: no second one, and a question before it goes.
  (void)CreateDirectories(FolderOf(all));
  WriteFileBytes(all, "[Desktop Entry]\nType=Application\nExec=tidewell serve\n");
  service.Call("startup.set", {{"enabled", true}});
  EXPECT_FALSE(PathExists(user));
  EXPECT_TRUE(service.Call("settings.get")["runOnStartup"]);
  const Json asked = service.Call("startup.set", {{"enabled", false}});
  EXPECT_EQ(asked["question"]["stringId"], 234);
  EXPECT_EQ(asked["question"]["message"],
            "The startup item exists for all users. Would you like to remove this option for all "
            "users?");
  EXPECT_EQ(asked["question"]["icon"], "question");
  EXPECT_TRUE(PathExists(all));
  service.Call("startup.set", {{"enabled", false}, {"removeForAllUsers", false}});
  EXPECT_TRUE(PathExists(all));
  service.Call("startup.set", {{"enabled", false}, {"removeForAllUsers", true}});
  EXPECT_FALSE(PathExists(all));
  EXPECT_FALSE(service.Call("settings.get")["runOnStartup"]);

  // A folder that cannot take the entry: its path is a file.
  std::filesystem::remove_all(home_.home() + "/.config/autostart");
  WriteFileBytes(home_.home() + "/.config/autostart", "");
  const Json error = service.CallError("startup.set", {{"enabled", true}});
  EXPECT_EQ(error["code"], "startup-failed");
  EXPECT_EQ(error["stringId"], 231);
  EXPECT_EQ(error["message"],
            "An error occurred while maintaining options for running on startup.");
}

// The scheduler stand-ins keep every call in a log beside them.
class ScheduleTest : public SettingsTest {
 protected:
  ScheduleTest() {
    WriteScript(bin_, "systemctl",
                "echo \"$@\" >> '" + log_ +
                    "'\n"
                    "case \"$*\" in\n"
                    "  *show-environment*) exit " +
                    std::string(systemd_ ? "0" : "1") +
                    " ;;\n"
                    "  *NextElapseUSecRealtime*) echo @1893456000 ;;\n"
                    "esac\n"
                    "exit 0\n");
  }
  void UseCron() {
    systemd_ = false;
    WriteScript(bin_, "systemctl", "exit 1\n");
    WriteScript(bin_, "crontab",
                "case \"$1\" in\n"
                "  -l) [ -f '" +
                    crontab_ + "' ] || exit 1; /bin/cat '" + crontab_ +
                    "' ;;\n"
                    "  -) /bin/cat > '" +
                    crontab_ +
                    "' ;;\n"
                    "esac\n");
  }
  std::string Log() const { return ReadFileBytes(log_); }

  bool systemd_ = true;
  std::string bin_ = sandbox_.Sub("bin", true);
  std::string log_ = sandbox_.Sub("calls.log");
  std::string crontab_ = sandbox_.Sub("crontab");
  ScopedEnv path_{"PATH", bin_};
};

TEST_F(ScheduleTest, ASystemdTimerRunsTheRefresh) {
  ServiceProcess service;
  EXPECT_EQ(service.Call("schedule.get")["status"],
            "To setup the schedule, click on the schedule button.");
  service.Call("schedule.set",
               {{"schedule", {{"repeat", "weekly"}, {"days", {"mon", "thu"}}, {"at", "18:15"}}}});
  const std::string units = home_.home() + "/.config/systemd/user/";
  const std::string timer = ReadFileBytes(units + "tidewell.timer");
  EXPECT_NE(timer.find("OnCalendar=Mon,Thu *-*-* 18:15:00\n"), std::string::npos) << timer;
  EXPECT_NE(timer.find("Persistent=true"), std::string::npos);
  const std::string unit = ReadFileBytes(units + "tidewell.service");
  EXPECT_NE(unit.find("ExecStart=\"" + std::string(TW_TIDEWELL_PROGRAM) + "\" \"/r\"\n"),
            std::string::npos)
      << unit;
  EXPECT_NE(Log().find("--user daemon-reload"), std::string::npos);
  EXPECT_NE(Log().find("--user enable tidewell.timer"), std::string::npos);

  const Json state = service.Call("schedule.get");
  EXPECT_EQ(state["kind"], "systemd");
  EXPECT_EQ(state["schedule"],
            (Json{{"repeat", "weekly"}, {"days", {"mon", "thu"}}, {"at", "18:15"}}));
  EXPECT_EQ(state["nextRunTime"], "2030-01-01T00:00:00Z");
  EXPECT_EQ(state["status"].get<std::string>().rfind("Next run time: \n", 0), 0u);

  service.Call("schedule.set", {{"schedule", {{"repeat", "logon"}}}});
  EXPECT_NE(ReadFileBytes(units + "tidewell.timer").find("OnStartupSec="), std::string::npos);
  EXPECT_EQ(service.Call("schedule.get")["status"], "Next run time: \nAt log on");

  service.Call("schedule.set", {{"schedule", nullptr}});
  EXPECT_FALSE(PathExists(units + "tidewell.timer"));
  EXPECT_NE(Log().find("--user disable --now tidewell.timer"), std::string::npos);
  EXPECT_TRUE(service.Call("schedule.get")["schedule"].is_null());

  Json error = service.CallError(
      "schedule.set", {{"schedule", {{"repeat", "hourly"}, {"everyHours", 24}, {"at", "00:00"}}}});
  EXPECT_EQ(error["code"], "out-of-range");
  EXPECT_EQ(error["field"], "everyHours");
  error = service.CallError("schedule.set", {{"schedule", {{"repeat", "daily"}, {"at", "24:00"}}}});
  EXPECT_EQ(error["field"], "at");
  error = service.CallError(
      "schedule.set",
      {{"schedule", {{"repeat", "weekly"}, {"days", {"someday"}}, {"at", "10:00"}}}});
  EXPECT_EQ(error["field"], "days");
}

TEST_F(ScheduleTest, WithoutSystemdACrontabLineRunsTheRefresh) {
  UseCron();
  WriteFileBytes(crontab_, "# the user's own\n0 5 * * * /usr/bin/backup\n");
  ServiceProcess service;
  service.Call("schedule.set",
               {{"schedule", {{"repeat", "hourly"}, {"everyHours", 3}, {"at", "08:30"}}}});
  std::string table = ReadFileBytes(crontab_);
  EXPECT_EQ(table.rfind("# the user's own\n0 5 * * * /usr/bin/backup\n", 0), 0u) << table;
  EXPECT_NE(table.find("30 8-23/3 * * * '" + std::string(TW_TIDEWELL_PROGRAM) + "' '/r'"),
            std::string::npos)
      << table;
  const Json state = service.Call("schedule.get");
  EXPECT_EQ(state["kind"], "cron");
  EXPECT_EQ(state["schedule"], (Json{{"repeat", "hourly"}, {"everyHours", 3}, {"at", "08:30"}}));
  EXPECT_FALSE(state["nextRunTime"].is_null());

  service.Call("schedule.set", {{"schedule", {{"repeat", "daily"}, {"at", "07:05"}}}});
  table = ReadFileBytes(crontab_);
  EXPECT_NE(table.find("5 7 * * * "), std::string::npos);
  EXPECT_EQ(table.find("8-23/3"), std::string::npos);  // the old line is replaced, not added to
  service.Call("schedule.set", {{"schedule", nullptr}});
  EXPECT_EQ(ReadFileBytes(crontab_), "# the user's own\n0 5 * * * /usr/bin/backup\n");
}

TEST_F(ScheduleTest, WithNeitherSchedulerTheScheduleSaysSo) {
  WriteScript(bin_, "systemctl", "exit 1\n");
  ServiceProcess service;
  const Json state = service.Call("schedule.get");
  EXPECT_EQ(state["kind"], "none");
  EXPECT_EQ(state["status"], "An error occurred while accessing the Task Scheduler.");
  const Json error = service.CallError("schedule.set", {{"schedule", {{"repeat", "logon"}}}});
  EXPECT_EQ(error["code"], "scheduler-failed");
  EXPECT_EQ(error["message"], "An error occurred while accessing the Task Scheduler.");
}

}  // namespace
}  // namespace tw::test
