#include <gtest/gtest.h>

#include <cerrno>

#include "platform/error.h"
#include "platform/file_time.h"

namespace tw {
namespace {

TEST(ErrorTest, MapsErrnoOntoTheStoredNumbers) {
  EXPECT_TRUE(Error::FromErrno(0).ok());
  EXPECT_EQ(Error::FromErrno(ENOENT).code(), err::kFileNotFound);
  EXPECT_EQ(Error::FromErrno(EACCES).code(), err::kAccessDenied);
  EXPECT_EQ(Error::FromErrno(ENOMEM).code(), err::kNotEnoughMemory);
  EXPECT_EQ(Error::FromErrno(EEXIST).code(), err::kFileExists);
  EXPECT_EQ(Error::FromErrno(EWOULDBLOCK).code(), err::kSharingViolation);
  EXPECT_EQ(Error::FromErrno(ENOSPC).code(), err::kDiskFull);
  EXPECT_EQ(Error::FromErrno(EPROTO).code(), err::kGenFailure);
}

TEST(ErrorTest, NothingThereIsTwoAndEighteenOnly) {
  EXPECT_TRUE(Error(err::kFileNotFound).IsNothingThere());
  EXPECT_TRUE(Error(err::kNoMoreFiles).IsNothingThere());
  EXPECT_FALSE(Error(err::kPathNotFound).IsNothingThere());
  EXPECT_FALSE(Error().IsNothingThere());
}

TEST(ResultTest, HoldsAValueOrAnError) {
  Result<int> good = 5;
  Result<int> bad = Error(err::kInvalidData);
  ASSERT_TRUE(good.ok());
  EXPECT_EQ(*good, 5);
  EXPECT_TRUE(good.error().ok());
  EXPECT_FALSE(bad.ok());
  EXPECT_EQ(bad.error().code(), err::kInvalidData);
}

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
