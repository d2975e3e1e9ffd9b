#include <gtest/gtest.h>

#include "platform/file_time.h"

namespace tw {
namespace {

TEST(FileTimeTest, ConvertsBetweenUnixTimeAndFileTime) {
  // 1970-01-01 is 116444736000000000 ticks after 1601-01-01.
  EXPECT_EQ(FileTime::FromUnixSeconds(0).ticks, 116444736000000000ull);
  const FileTime t = FileTime::FromTimespec(timespec{1'700'000'000, 123'456'700});
  EXPECT_EQ(t.ToTimespec().tv_sec, 1'700'000'000);
  EXPECT_EQ(t.ToTimespec().tv_nsec, 123'456'700);
  EXPECT_DOUBLE_EQ(SecondsBetween(AddSeconds(t, 90.5), t), 90.5);
  EXPECT_DOUBLE_EQ(SecondsBetween(t, AddSeconds(t, 3600)), -3600);
  EXPECT_TRUE(AddSeconds(FileTime{10}, -1).IsZero());
  EXPECT_EQ(FormatForDisplay(FileTime{}), "");
  EXPECT_FALSE(FormatForDisplay(t).empty());
}

}  // namespace
}  // namespace tw
