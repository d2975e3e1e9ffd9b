// The marker files as processes see them: the lock held by another process, the stop request
// and the user's stop, under their own names in the page folder.
#include "pagedb/folder_markers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <future>

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

// checking.stop failed now and then with 32: the page database deletes a request that no pass
// takes, and the delete holds the file alone for a moment, maybe the very moment between the
// request's making the file and its hold.
TEST_F(FolderMarkersTest, AStopAskedForWhileAStaleRequestIsDeletedIsMadeAgain) {
  ASSERT_FALSE(markers_.RequestStop());
  const std::string crs = JoinPath(folder_, "crs");
  Result<File> deleting =
      File::Open(crs, OpenOptions{Access::kRead, Share::kNone, Disposition::kOpenExisting});
  ASSERT_TRUE(deleting.ok());
  std::future<Error> asked = std::async(std::launch::async, [&] { return markers_.RequestStop(); });
  // It waits for the delete rather than failing with 32.
  EXPECT_EQ(asked.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  ASSERT_FALSE(deleting->Unlink());
  ASSERT_FALSE(deleting->Close());
  EXPECT_FALSE(asked.get());
  EXPECT_TRUE(markers_.StopRequested());

  // A stop asked for while the file is kept from everyone for good is reported, not waited for
  // for ever.
  Result<File> kept =
      File::Open(crs, OpenOptions{Access::kRead, Share::kNone, Disposition::kOpenExisting});
  ASSERT_TRUE(kept.ok());
  EXPECT_EQ(markers_.RequestStop().code(), err::kSharingViolation);
}

}  // namespace
}  // namespace tw
