#include "platform/file_time.h"

#include <cmath>

namespace tw {

FileTime FileTime::FromTimespec(const timespec& ts) {
  const int64_t seconds = static_cast<int64_t>(ts.tv_sec) + static_cast<int64_t>(kUnixEpochSeconds);
  if (seconds < 0) return FileTime{};
  return FileTime{static_cast<uint64_t>(seconds) * kTicksPerSecond +
                  static_cast<uint64_t>(ts.tv_nsec) / 100};
}

FileTime FileTime::FromUnixSeconds(int64_t seconds) {
  return FromTimespec(timespec{static_cast<time_t>(seconds), 0});
}

FileTime FileTime::FromUnixMicroseconds(int64_t us) {
  constexpr int64_t kEpochMicroseconds = static_cast<int64_t>(kUnixEpochSeconds) * 1'000'000;
  if (us <= 0 || us > INT64_MAX - kEpochMicroseconds) return FileTime{};
  return FromWindowsMicroseconds(us + kEpochMicroseconds);
}

FileTime FileTime::FromWindowsMicroseconds(int64_t us) {
  constexpr uint64_t kTicksPerMicrosecond = 10;
  if (us <= 0 || static_cast<uint64_t>(us) > UINT64_MAX / kTicksPerMicrosecond) return FileTime{};
  return FileTime{static_cast<uint64_t>(us) * kTicksPerMicrosecond};
}

timespec FileTime::ToTimespec() const {
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(static_cast<int64_t>(ticks / kTicksPerSecond) -
                                  static_cast<int64_t>(kUnixEpochSeconds));
  ts.tv_nsec = static_cast<long>((ticks % kTicksPerSecond) * 100);
  return ts;
}

int64_t FileTime::ToUnixSeconds() const { return ToTimespec().tv_sec; }

FileTime Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return FileTime::FromTimespec(ts);
}

double SecondsBetween(FileTime a, FileTime b) {
  const double diff = static_cast<double>(static_cast<int64_t>(a.ticks - b.ticks));
  return diff / static_cast<double>(FileTime::kTicksPerSecond);
}

FileTime AddSeconds(FileTime t, double seconds) {
  // In whole ticks: a double holding the absolute time would lose its last digits.
  const double delta = std::round(seconds * static_cast<double>(FileTime::kTicksPerSecond));
  if (delta < 0) {
    const double down = -delta;
    if (down >= static_cast<double>(t.ticks)) return FileTime{};
    return FileTime{t.ticks - static_cast<uint64_t>(down)};
  }
  if (delta >= static_cast<double>(UINT64_MAX - t.ticks)) return FileTime{UINT64_MAX};
  return FileTime{t.ticks + static_cast<uint64_t>(delta)};
}

std::string FormatForDisplay(FileTime t) {
  if (t.IsZero()) return "";
  const timespec ts = t.ToTimespec();
  tm local{};
  if (!localtime_r(&ts.tv_sec, &local)) return "";
    // The locale's own short date (two-digit years where the locale wants them), then the time.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-y2k"
  char buffer[128];
  const size_t n = strftime(buffer, sizeof buffer, "%x %H:%M", &local);
#pragma GCC diagnostic pop
  return std::string(buffer, n);
}

LocalDay LocalDayOf(FileTime t) {
  const timespec ts = t.ToTimespec();
  tm local{};
  if (!localtime_r(&ts.tv_sec, &local)) return LocalDay{};
  // Days from the civil date, so that a change of UTC offset never moves a day boundary.
  const int64_t year = local.tm_year + 1900 - (local.tm_mon < 2 ? 1 : 0);
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t month = local.tm_mon + 1;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + local.tm_mday - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return LocalDay{era * 146097 + day_of_era - 719468, local.tm_wday};
}

std::string FormatIso8601(FileTime t) {
  if (t.IsZero()) return "";
  const time_t seconds = static_cast<time_t>(t.ToUnixSeconds());
  tm utc{};
  if (!gmtime_r(&seconds, &utc)) return "";
  char buffer[64];
  const size_t n = strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return std::string(buffer, n);
}

}  // namespace tw
