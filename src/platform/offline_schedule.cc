#include "platform/offline_schedule.h"

#include <charconv>
#include <chrono>
#include <ctime>

#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/user_dirs.h"

namespace tw {
namespace {

constexpr std::chrono::milliseconds kProgramTimeout = std::chrono::seconds(15);
constexpr std::string_view kDayNames[7] = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
constexpr std::string_view kSystemdDays[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
// Our schedule, in our words, in a comment beside the scheduler's own form.
constexpr std::string_view kMarker = "# Tidewell offline schedule: ";
constexpr std::string_view kTimerName = "tidewell.timer";
constexpr std::string_view kServiceName = "tidewell.service";

std::string TwoDigits(int n) { return std::string(1, char('0' + n / 10)) + char('0' + n % 10); }
std::string Clock(int hour, int minute) { return TwoDigits(hour) + ":" + TwoDigits(minute); }

std::optional<int> Number(std::string_view text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool ParseClock(std::string_view text, OfflineSchedule& schedule) {
  if (text.size() != 5 || text[2] != ':') return false;
  const std::optional<int> hour = Number(text.substr(0, 2));
  const std::optional<int> minute = Number(text.substr(3, 2));
  if (!hour || !minute || *hour > 23 || *minute > 59) return false;
  schedule.hour = *hour;
  schedule.minute = *minute;
  return true;
}

std::optional<uint8_t> ParseDays(std::string_view text) {
  uint8_t days = 0;
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const std::string_view name = text.substr(0, comma);
    bool known = false;
    for (int day = 0; day < 7; ++day) {
      if (name == kDayNames[day]) {
        days |= static_cast<uint8_t>(1 << day);
        known = true;
      }
    }
    if (!known) return std::nullopt;
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  if (days == 0) return std::nullopt;
  return days;
}

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  while (!text.empty()) {
    const size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos) break;
    text.remove_prefix(start);
    const size_t end = text.find(' ');
    words.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end);
  }
  return words;
}

// The hours of a day at which the schedule runs.
std::vector<int> RunHours(const OfflineSchedule& schedule) {
  if (schedule.repeat != OfflineSchedule::Repeat::kHourly) return {schedule.hour};
  std::vector<int> hours;
  for (int hour = schedule.hour; hour < 24; hour += schedule.every_hours) hours.push_back(hour);
  return hours;
}

std::string Trim(std::string_view text) {
  const size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos) return "";
  const size_t end = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(start, end - start + 1));
}

// The schedule named in a marker comment anywhere in the text.
std::optional<OfflineSchedule> FindMarked(std::string_view text) {
  const size_t at = text.find(kMarker);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view rest = text.substr(at + kMarker.size());
  return ParseScheduleText(Trim(rest.substr(0, rest.find('\n'))));
}

// --- systemd ----------------------------------------------------------------------------------

Result<ProgramRun> Systemctl(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"systemctl", "--user"});
  return RunProgram(arguments, "", kProgramTimeout);
}

Error SystemctlMust(std::vector<std::string> arguments) {
  Result<ProgramRun> run = Systemctl(std::move(arguments));
  if (!run.ok()) return run.error();
  return run->status == 0 ? Error() : Error(err::kGenFailure);
}

Result<std::string> UnitFolder() {
  Result<std::string> config = ConfigHome();
  if (!config.ok()) return config.error();
  return *config + "/systemd/user";
}

std::string SystemdCalendar(const OfflineSchedule& schedule) {
  const std::string minute = TwoDigits(schedule.minute);
  switch (schedule.repeat) {
    case OfflineSchedule::Repeat::kDaily:
      return "*-*-* " + TwoDigits(schedule.hour) + ":" + minute + ":00";
    case OfflineSchedule::Repeat::kHourly:
      return "*-*-* " + TwoDigits(schedule.hour) + "/" + std::to_string(schedule.every_hours) +
             ":" + minute + ":00";
    case OfflineSchedule::Repeat::kWeekly: {
      std::string days;
      for (int day = 0; day < 7; ++day) {
        if (!(schedule.days & (1 << day))) continue;
        if (!days.empty()) days += ",";
        days += kSystemdDays[day];
      }
      return days + " *-*-* " + TwoDigits(schedule.hour) + ":" + minute + ":00";
    }
    case OfflineSchedule::Repeat::kLogOn:
      break;
  }
  return "";
}

// A command line of a unit file: each argument quoted, with what the format reserves escaped.
std::string UnitCommand(const std::vector<std::string>& command) {
  std::string line;
  for (const std::string& argument : command) {
    if (!line.empty()) line += ' ';
    line += '"';
    for (const char c : argument) {
      if (c == '"' || c == '\\') line += '\\';
      if (c == '%') line += '%';
      if (c == '$') line += '$';
      line += c == '\n' ? ' ' : c;
    }
    line += '"';
  }
  return line;
}

Error WriteFile(const std::string& path, const std::string& text) {
  Result<AtomicFileWriter> writer = AtomicFileWriter::Begin(path);
  if (!writer.ok()) return writer.error();
  if (Error e = writer->file().WriteAll(text)) return e;
  return writer->Commit(AtomicFileWriter::Publish::kReplace);
}

Error WriteSystemd(const OfflineSchedule& schedule, const std::vector<std::string>& command) {
  Result<std::string> folder = UnitFolder();
  if (!folder.ok()) return folder.error();
  if (Error e = CreateDirectories(*folder)) return e;
  const std::string service =
      "# Written by Tidewell: the check of every watched page that the timer starts.\n"
      "[Unit]\n"
      "Description=Tidewell: check the watched pages\n"
      "\n"
      "[Service]\n"
      "Type=oneshot\n"
      "ExecStart=" +
      UnitCommand(command) + "\n";
  std::string timer = std::string(kMarker) + ScheduleText(schedule) + "\n" +
                      "[Unit]\n"
                      "Description=Tidewell: check the watched pages on a schedule\n"
                      "\n"
                      "[Timer]\n";
  if (schedule.repeat == OfflineSchedule::Repeat::kLogOn) {
    timer += "OnStartupSec=1min\n";
  } else {
    // A run missed while the computer was off happens at the next start.
    timer += "OnCalendar=" + SystemdCalendar(schedule) + "\nPersistent=true\n";
  }
  timer += "\n[Install]\nWantedBy=timers.target\n";
  if (Error e = WriteFile(JoinPath(*folder, kServiceName), service)) return e;
  if (Error e = WriteFile(JoinPath(*folder, kTimerName), timer)) return e;
  if (Error e = SystemctlMust({"daemon-reload"})) return e;
  if (Error e = SystemctlMust({"enable", std::string(kTimerName)})) return e;
  // A timer that ran already takes its new times only when it starts again.
  return SystemctlMust({"restart", std::string(kTimerName)});
}

Error RemoveSystemd() {
  Result<std::string> folder = UnitFolder();
  if (!folder.ok()) return folder.error();
  const std::string timer = JoinPath(*folder, kTimerName);
  if (!PathExists(timer)) return Error();
  if (Error e = SystemctlMust({"disable", "--now", std::string(kTimerName)})) return e;
  for (const std::string_view name : {kTimerName, kServiceName}) {
    Error e = DeleteFile(JoinPath(*folder, name));
    if (e && !e.IsNothingThere()) return e;
  }
  return SystemctlMust({"daemon-reload"});
}

Result<std::optional<OfflineSchedule>> ReadSystemd() {
  Result<std::string> folder = UnitFolder();
  if (!folder.ok()) return folder.error();
  Result<File> file = File::Open(JoinPath(*folder, kTimerName), OpenOptions{});
  if (!file.ok()) {
    if (file.error().IsNothingThere() || file.error().code() == err::kPathNotFound) {
      return std::optional<OfflineSchedule>();
    }
    return file.error();
  }
  char buffer[4096];
  Result<size_t> got = file->Read(buffer, sizeof buffer);
  if (!got.ok()) return got.error();
  return FindMarked(std::string_view(buffer, *got));
}

// The timer's next elapse from systemd: "@SECONDS" with --timestamp=unix.
std::optional<FileTime> SystemdNextElapse() {
  Result<ProgramRun> run =
      Systemctl({"show", std::string(kTimerName), "--property=NextElapseUSecRealtime", "--value",
                 "--timestamp=unix"});
  if (!run.ok() || run->status != 0) return std::nullopt;
  const std::string value = Trim(run->output);
  if (value.size() < 2 || value.front() != '@') return std::nullopt;
  int64_t seconds = 0;
  const auto [end, ec] = std::from_chars(value.data() + 1, value.data() + value.size(), seconds);
  if (ec != std::errc() || end != value.data() + value.size() || seconds <= 0) return std::nullopt;
  return FileTime::FromUnixSeconds(seconds);
}

// --- cron -------------------------------------------------------------------------------------

std::string CronTimes(const OfflineSchedule& schedule) {
  const std::string minute = std::to_string(schedule.minute);
  const std::string hour = std::to_string(schedule.hour);
  switch (schedule.repeat) {
    case OfflineSchedule::Repeat::kDaily:
      return minute + " " + hour + " * * *";
    case OfflineSchedule::Repeat::kHourly:
      return minute + " " + hour + "-23/" + std::to_string(schedule.every_hours) + " * * *";
    case OfflineSchedule::Repeat::kWeekly: {
      std::string days;
      for (int day = 0; day < 7; ++day) {
        if (!(schedule.days & (1 << day))) continue;
        if (!days.empty()) days += ",";
        days += std::to_string((day + 1) % 7);  // cron counts from Sunday, 0
      }
      return minute + " " + hour + " * * " + days;
    }
    case OfflineSchedule::Repeat::kLogOn:
      return "@reboot";
  }
  return "";
}

// A command for the shell that cron hands its lines to: each argument in single quotes, and a
// percent sign, which cron turns into a line break, escaped.
std::string CronCommand(const std::vector<std::string>& command) {
  std::string line;
  for (const std::string& argument : command) {
    if (!line.empty()) line += ' ';
    line += '\'';
    for (const char c : argument) {
      if (c == '\'') {
        line += "'\\''";
      } else if (c == '%') {
        line += "\\%";
      } else {
        line += c == '\n' ? ' ' : c;
      }
    }
    line += '\'';
  }
  return line;
}

Result<std::string> ReadCrontab() {
  Result<ProgramRun> run = RunProgram({"crontab", "-l"}, "", kProgramTimeout);
  if (!run.ok()) return run.error();
  // A user without a crontab gets a failure and no lines.
  if (run->status != 0) return std::string();
  return run->output;
}

std::string WithoutOurLine(std::string_view table) {
  std::string kept;
  while (!table.empty()) {
    const size_t end = table.find('\n');
    const std::string_view line = table.substr(0, end);
    if (line.find(kMarker) == std::string_view::npos) {
      kept += line;
      kept += '\n';
    }
    if (end == std::string_view::npos) break;
    table.remove_prefix(end + 1);
  }
  return kept;
}

Error WriteCron(const std::optional<OfflineSchedule>& schedule,
                const std::vector<std::string>& command) {
  Result<std::string> table = ReadCrontab();
  if (!table.ok()) return table.error();
  std::string updated = WithoutOurLine(*table);
  if (schedule) {
    updated += CronTimes(*schedule) + " " + CronCommand(command) + " " + std::string(kMarker) +
               ScheduleText(*schedule) + "\n";
  }
  if (updated == *table) return Error();
  Result<ProgramRun> run = RunProgram({"crontab", "-"}, updated, kProgramTimeout);
  if (!run.ok()) return run.error();
  return run->status == 0 ? Error() : Error(err::kGenFailure);
}

}  // namespace

std::string ScheduleText(const OfflineSchedule& schedule) {
  const std::string at = Clock(schedule.hour, schedule.minute);
  switch (schedule.repeat) {
    case OfflineSchedule::Repeat::kDaily:
      return "daily " + at;
    case OfflineSchedule::Repeat::kHourly:
      return "hourly " + std::to_string(schedule.every_hours) + " " + at;
    case OfflineSchedule::Repeat::kWeekly: {
      std::string days;
      for (int day = 0; day < 7; ++day) {
        if (!(schedule.days & (1 << day))) continue;
        if (!days.empty()) days += ",";
        days += kDayNames[day];
      }
      return "weekly " + days + " " + at;
    }
    case OfflineSchedule::Repeat::kLogOn:
      return "logon";
  }
  return "";
}

std::optional<OfflineSchedule> ParseScheduleText(std::string_view text) {
  const std::vector<std::string_view> words = Words(text);
  if (words.empty()) return std::nullopt;
  OfflineSchedule schedule;
  if (words[0] == "logon" && words.size() == 1) {
    schedule.repeat = OfflineSchedule::Repeat::kLogOn;
    return schedule;
  }
  if (words[0] == "daily" && words.size() == 2) {
    schedule.repeat = OfflineSchedule::Repeat::kDaily;
    if (!ParseClock(words[1], schedule)) return std::nullopt;
    return schedule;
  }
  if (words[0] == "hourly" && words.size() == 3) {
    schedule.repeat = OfflineSchedule::Repeat::kHourly;
    const std::optional<int> every = Number(words[1]);
    if (!every || *every < 1 || *every > kMaxEveryHours) return std::nullopt;
    schedule.every_hours = *every;
    if (!ParseClock(words[2], schedule)) return std::nullopt;
    return schedule;
  }
  if (words[0] == "weekly" && words.size() == 3) {
    schedule.repeat = OfflineSchedule::Repeat::kWeekly;
    const std::optional<uint8_t> days = ParseDays(words[1]);
    if (!days) return std::nullopt;
    schedule.days = *days;
    if (!ParseClock(words[2], schedule)) return std::nullopt;
    return schedule;
  }
  return std::nullopt;
}

std::optional<FileTime> NextRunAfter(const OfflineSchedule& schedule, FileTime after) {
  if (schedule.repeat == OfflineSchedule::Repeat::kLogOn) return std::nullopt;
  const time_t start = static_cast<time_t>(after.ToUnixSeconds());
  tm today{};
  if (!localtime_r(&start, &today)) return std::nullopt;
  const std::vector<int> hours = RunHours(schedule);
  // A week and a day always holds the next run of a schedule that runs at all.
  for (int day = 0; day <= 7; ++day) {
    for (const int hour : hours) {
      tm candidate = today;
      candidate.tm_mday += day;
      candidate.tm_hour = hour;
      candidate.tm_min = schedule.minute;
      candidate.tm_sec = 0;
      candidate.tm_isdst = -1;
      const time_t at = mktime(&candidate);
      if (at == static_cast<time_t>(-1) || at <= start) continue;
      if (schedule.repeat == OfflineSchedule::Repeat::kWeekly) {
        const int monday_based = (candidate.tm_wday + 6) % 7;
        if (!(schedule.days & (1 << monday_based))) continue;
      }
      return FileTime::FromUnixSeconds(at);
    }
  }
  return std::nullopt;
}

SchedulerKind OfflineScheduler::Detect() {
  if (FindProgram("systemctl").ok()) {
    Result<ProgramRun> run = Systemctl({"show-environment"});
    if (run.ok() && run->status == 0) return SchedulerKind::kSystemd;
  }
  if (FindProgram("crontab").ok()) return SchedulerKind::kCron;
  return SchedulerKind::kNone;
}

OfflineScheduler::OfflineScheduler(SchedulerKind kind, std::vector<std::string> command)
    : kind_(kind), command_(std::move(command)) {}

Result<std::optional<OfflineSchedule>> OfflineScheduler::Read() const {
  switch (kind_) {
    case SchedulerKind::kSystemd:
      return ReadSystemd();
    case SchedulerKind::kCron: {
      Result<std::string> table = ReadCrontab();
      if (!table.ok()) return table.error();
      return FindMarked(*table);
    }
    case SchedulerKind::kNone:
      break;
  }
  return Error(err::kGenFailure);
}

Error OfflineScheduler::Write(const std::optional<OfflineSchedule>& schedule) const {
  switch (kind_) {
    case SchedulerKind::kSystemd:
      return schedule ? WriteSystemd(*schedule, command_) : RemoveSystemd();
    case SchedulerKind::kCron:
      return WriteCron(schedule, command_);
    case SchedulerKind::kNone:
      break;
  }
  return Error(err::kGenFailure);
}

Result<std::optional<FileTime>> OfflineScheduler::NextRun() const {
  Result<std::optional<OfflineSchedule>> schedule = Read();
  if (!schedule.ok()) return schedule.error();
  if (!*schedule) return std::optional<FileTime>();
  if (kind_ == SchedulerKind::kSystemd) {
    if (std::optional<FileTime> next = SystemdNextElapse()) return next;
  }
  return NextRunAfter(**schedule, Now());
}

}  // namespace tw
