#include <gtest/gtest.h>

#include "foundation/event.h"
#include "platform/folder_watch.h"
#include "support/child_process.h"
#include "support/sandbox.h"

namespace tw {
namespace {

TEST(FolderWatchTest, SignalsOnChangesByAnotherProcessAndRearms) {
  test::Sandbox sandbox;
  Result<FolderWatch> watch = FolderWatch::Create(sandbox.path());
  ASSERT_TRUE(watch.ok());
  EXPECT_TRUE(WaitForAny({&*watch}, std::chrono::milliseconds(0)).timed_out());

  {
    test::ChildProcess holder =
        test::ChildProcess::SpawnHelper({"hold-file", sandbox.Sub("new.twp"), "shared"});
    ASSERT_EQ(holder.ReadLine(), "ready");
  }
  EXPECT_TRUE(WaitForAny({&*watch}, std::chrono::seconds(5)).signaled());
  EXPECT_TRUE(watch->Rearm());
  EXPECT_TRUE(WaitForAny({&*watch}, std::chrono::milliseconds(0)).timed_out());

  test::WriteFileBytes(sandbox.Sub("new.twp"), "changed");
  EXPECT_TRUE(WaitForAny({&*watch}, std::chrono::seconds(5)).signaled());
}

TEST(FolderWatchTest, AFilterLetsOnlyRelevantNamesCount) {
  test::Sandbox sandbox;
  Result<FolderWatch> watch = FolderWatch::Create(sandbox.path());
  ASSERT_TRUE(watch.ok());
  auto pages_only = [](std::string_view name) { return name.ends_with(".twp"); };

  test::WriteFileBytes(sandbox.Sub("err"), "");
  ASSERT_TRUE(WaitForAny({&*watch}, std::chrono::seconds(5)).signaled());
  EXPECT_FALSE(watch->Rearm(pages_only));
  EXPECT_TRUE(WaitForAny({&*watch}, std::chrono::milliseconds(0)).timed_out());

  test::WriteFileBytes(sandbox.Sub("err"), "again");
  test::WriteFileBytes(sandbox.Sub("a.twp"), "page");
  ASSERT_TRUE(WaitForAny({&*watch}, std::chrono::seconds(5)).signaled());
  EXPECT_TRUE(watch->Rearm(pages_only));
  EXPECT_TRUE(WaitForAny({&*watch}, std::chrono::milliseconds(0)).timed_out());
}

TEST(FolderWatchTest, MissingFolderFails) {
  test::Sandbox sandbox;
  EXPECT_FALSE(FolderWatch::Create(sandbox.Sub("nowhere")).ok());
}

}  // namespace
}  // namespace tw
