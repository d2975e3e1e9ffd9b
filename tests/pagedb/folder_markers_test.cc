// The marker files as processes see them: the lock held by another process, the stop request
// and the user's stop, under their own names in the page folder.
#include "pagedb/folder_markers.h"

#include <gtest/gtest.h>

#include <csignal>

#include "platform/file_system.h"
#include "support/child_process.h"
#include "support/sandbox.h"

namespace tw {
namespace {

using PassState = FolderMarkers::PassState;

class FolderMarkersTest : public ::testing::Test {
 protected:
  test::Sandbox sandbox_;
  const std::string folder_ = sandbox_.Sub("pages", true);
  const FolderMarkers markers_{folder_};
};

TEST_F(FolderMarkersTest, APassInAnotherProcessIsSeenAndExcludesOurs) {
  EXPECT_EQ(markers_.ProbePass(), PassState::kNoLockFile);
  test::ChildProcess pass =
      test::ChildProcess::SpawnHelper({"hold-file", JoinPath(folder_, "lock"), "exclusive"});
  ASSERT_EQ(pass.ReadLine(), "ready");
  EXPECT_EQ(markers_.ProbePass(), PassState::kRunning);
  EXPECT_EQ(markers_.HoldForPass().error().code(), err::kSharingViolation);
  EXPECT_EQ(markers_.HoldForLoad().error().code(), err::kSharingViolation);
  pass.Kill(SIGKILL);
  pass.Wait();
  EXPECT_EQ(markers_.ProbePass(), PassState::kNotRunning);

  // Our own pass: a loader and a probe both see it.
  Result<File> ours = markers_.HoldForPass();
  ASSERT_TRUE(ours.ok());
  EXPECT_EQ(markers_.ProbePass(), PassState::kRunning);
  EXPECT_EQ(markers_.HoldForLoad().error().code(), err::kSharingViolation);
  ASSERT_FALSE(ours->Close());
  // A loader's hold lets others look but keeps a pass out.
  Result<File> loading = markers_.HoldForLoad();
  ASSERT_TRUE(loading.ok());
  EXPECT_EQ(markers_.HoldForPass().error().code(), err::kSharingViolation);
}

TEST_F(FolderMarkersTest, StopRequestsAndTheUsersStopKeepTheirNames) {
  EXPECT_FALSE(markers_.StopRequested());
  ASSERT_FALSE(markers_.RequestStop());
  ASSERT_FALSE(markers_.RequestStop());  // asking twice is asking once
  EXPECT_TRUE(PathExists(JoinPath(folder_, "crs")));
  {
    // Taken: it goes once the taker is done with it.
    Result<File> taken = markers_.TakeStopRequest();
    ASSERT_TRUE(taken.ok());
    EXPECT_TRUE(markers_.StopRequested());
  }
  EXPECT_FALSE(markers_.StopRequested());

  ASSERT_FALSE(markers_.MarkStoppedByUser());
  EXPECT_TRUE(PathExists(JoinPath(folder_, "daa")));
  EXPECT_TRUE(markers_.StoppedByUser());
  markers_.ClearStoppedByUser();
  EXPECT_FALSE(markers_.StoppedByUser());
  EXPECT_TRUE(FolderMarkers::IsCheckingMarker("crs"));
  EXPECT_FALSE(FolderMarkers::IsCheckingMarker("err"));
}

}  // namespace
}  // namespace tw
