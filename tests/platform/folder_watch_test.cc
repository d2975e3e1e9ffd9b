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

TEST(FolderWatchTest, MissingFolderFails) {
  test::Sandbox sandbox;
  EXPECT_FALSE(FolderWatch::Create(sandbox.Sub("nowhere")).ok());
}

}  // namespace
}  // namespace tw
