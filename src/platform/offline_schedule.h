// The offline schedule: the desktop's scheduler runs a command (`tidewell /r`) at set times while
// no Tidewell runs. Where the user's systemd manager answers (`systemctl --user`), a user timer
// `tidewell.timer` with its service `tidewell.service` in $XDG_CONFIG_HOME/systemd/user; otherwise
// a line in the user's crontab. The schedule itself is our own small one; it is written beside
// the scheduler's form in a comment, so that it can be read back exactly.
//
// Every member runs the scheduler's programs and may take a few seconds; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "platform/file_time.h"

namespace tw {

struct OfflineSchedule {
  enum class Repeat { kDaily, kHourly, kWeekly, kLogOn };
  Repeat repeat = Repeat::kDaily;
  int hour = 0;  // local time of the run (kHourly: the first of the day)
  int minute = 0;
  int every_hours = 1;  // kHourly: 1 to 23
  uint8_t days = 0;     // kWeekly: bit 0 Monday to bit 6 Sunday

  bool operator==(const OfflineSchedule&) const = default;
};

inline constexpr int kMaxEveryHours = 23;
inline constexpr uint8_t kAllWeekDays = 0x7f;

// The schedule in our words ("daily 09:30", "hourly 3 08:00", "weekly mon,thu 18:15", "logon"),
// and back; nothing for a text that is not one or a schedule out of its ranges.
std::string ScheduleText(const OfflineSchedule& schedule);
std::optional<OfflineSchedule> ParseScheduleText(std::string_view text);

// The first run after `after`, in UTC; nothing for a schedule at log-on.
std::optional<FileTime> NextRunAfter(const OfflineSchedule& schedule, FileTime after);

enum class SchedulerKind { kNone, kSystemd, kCron };

class OfflineScheduler {
 public:
  // The scheduler of this user: systemd's user manager when it answers, else cron when crontab is
  // found, else none.
  static SchedulerKind Detect();

  // `command` is what runs: the program's path and its arguments.
  OfflineScheduler(SchedulerKind kind, std::vector<std::string> command);

  SchedulerKind kind() const { return kind_; }
  // The schedule in place; nothing when there is none.
  Result<std::optional<OfflineSchedule>> Read() const;
  // Puts the schedule in place, or with nothing removes it.
  Error Write(const std::optional<OfflineSchedule>& schedule) const;
  // The scheduler's next run of the schedule in place; nothing when it has none.
  Result<std::optional<FileTime>> NextRun() const;

 private:
  SchedulerKind kind_;
  std::vector<std::string> command_;
};

}  // namespace tw
