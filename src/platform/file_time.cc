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

}  // namespace tw
