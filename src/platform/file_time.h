// FileTime: a point in time as the page files store it, in 100-ns units since 1601-01-01 UTC;
// zero means that there is no such time.
#pragma once

#include <compare>
#include <cstdint>
#include <ctime>
#include <string>

namespace tw {

struct FileTime {
  uint64_t ticks = 0;

  static constexpr uint64_t kTicksPerSecond = 10'000'000;
  // Seconds from 1601-01-01 to 1970-01-01.
  static constexpr uint64_t kUnixEpochSeconds = 11'644'473'600;

  constexpr bool IsZero() const { return ticks == 0; }
  constexpr auto operator<=>(const FileTime&) const = default;

  static FileTime FromTimespec(const timespec& ts);
  static FileTime FromUnixSeconds(int64_t seconds);
  // Microseconds since 1970 (Firefox's clock) and since 1601 (Chromium's); zero for none.
  static FileTime FromUnixMicroseconds(int64_t us);
  static FileTime FromWindowsMicroseconds(int64_t us);
  timespec ToTimespec() const;
  int64_t ToUnixSeconds() const;
};

// The current time in UTC.
FileTime Now();

// Signed difference a - b in seconds (fractions kept).
double SecondsBetween(FileTime a, FileTime b);
// The time moved by a signed number of seconds; times before 1601 become zero.
FileTime AddSeconds(FileTime t, double seconds);

// Local date and time without seconds, in the user's locale ("" for a zero time).
std::string FormatForDisplay(FileTime t);

// The calendar day a time falls on in the user's time zone.
struct LocalDay {
  int64_t number = 0;  // days since 1970-01-01 (local), so that day differences are exact
  int weekday = 0;     // 0 = Sunday .. 6 = Saturday
};
LocalDay LocalDayOf(FileTime t);
// The time in UTC as ISO 8601, to the second ("2026-12-07T09:30:00Z"); "" for a zero time.
std::string FormatIso8601(FileTime t);

}  // namespace tw
