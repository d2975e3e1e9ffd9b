#include "platform/process.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "support/child_process.h"
#include "support/sandbox.h"

namespace tw {
namespace {

TEST(ProcessTest, ArgumentsArriveAsGivenAndTheExitStatusComesBack) {
  test::Sandbox sandbox;
  const std::string out = sandbox.Sub("out");
  // The script writes its arguments, one per line; nothing in them is read as shell syntax.
  Result<Process> p = Process::Start(
      {"/bin/sh", "-c", "printf '%s\\n' \"$@\" > \"$0\"; exit 7", out, "a b", "$(x);`y`"});
  ASSERT_TRUE(p.ok()) << p.error().code();
  EXPECT_EQ(p->WaitForExit(std::chrono::seconds(30)), 7);
  EXPECT_EQ(test::ReadFileBytes(out), "a b\n$(x);`y`\n");
  // Looked up in PATH when the name has no slash.
  Result<Process> found = Process::Start({"true"});
  ASSERT_TRUE(found.ok());
  EXPECT_EQ(found->WaitForExit(std::chrono::seconds(30)), 0);
}

TEST(ProcessTest, AMissingProgramFailsToStartAndARunningOneIsLeftRunning) {
  Result<Process> missing = Process::Start({"tidewell-no-such-program"});
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error().code(), err::kFileNotFound);
  Result<Process> slow = Process::Start({"sleep", "1"});
  ASSERT_TRUE(slow.ok());
  EXPECT_EQ(slow->WaitForExit(std::chrono::milliseconds(50)), std::nullopt);
}

TEST(ProcessTest, TheProgramsOwnPathIsWhereItIsInstalledEvenAfterAnUpgradeReplacedIt) {
  test::Sandbox sandbox;
  const std::string program = sandbox.Sub("bin", true) + "/tidewell";
  std::filesystem::copy_file(TW_TEST_HELPER, program);
  const std::string go = sandbox.Sub("go");
  ASSERT_EQ(::mkfifo(go.c_str(), 0600), 0);
  test::ChildProcess child = test::ChildProcess::Spawn({program, "own-program-path", go});
  EXPECT_EQ(child.ReadLine(), program);

  // As a package upgrade does: the new program is renamed over the running one.
  std::filesystem::copy_file(TW_TEST_HELPER, program + ".new");
  std::filesystem::rename(program + ".new", program);
  test::WriteFileBytes(go, "");
  EXPECT_EQ(child.ReadLine(), program);
  EXPECT_EQ(child.Wait(), 0);
}

}  // namespace
}  // namespace tw
