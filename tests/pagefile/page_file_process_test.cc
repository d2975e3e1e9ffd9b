// Page files shared with a second, real process.
#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "pagefile/page_file.h"
#include "pagefile/title.h"
#include "platform/file_system.h"
#include "support/child_process.h"
#include "support/sandbox.h"

namespace tw {
namespace {

TEST(PageFileProcessTest, AnotherProcessHoldingThePageExcludesReadersAndWriters) {
  test::Sandbox sandbox;
  test::ScopedHome home(sandbox);
  ASSERT_TRUE(AddPageWithDefaults(sandbox.path(), "P", "http://p.org", {}).ok());
  const std::string path = PagePath(sandbox.path(), "P");
  {
    test::ChildProcess writer = test::ChildProcess::SpawnHelper({"hold-file", path, "exclusive"});
    ASSERT_EQ(writer.ReadLine(), "ready");
    EXPECT_EQ(ReadPage(sandbox.path(), "P").error().code(), err::kSharingViolation);
  }
  {
    test::ChildProcess reader = test::ChildProcess::SpawnHelper({"hold-file", path, "shared"});
    ASSERT_EQ(reader.ReadLine(), "ready");
    PageRecord record;
    record.title = "P";
    EXPECT_EQ(WritePage(sandbox.path(), record).code(), err::kSharingViolation);
    EXPECT_EQ(ReadPageSummary(sandbox.path(), "P")->address, "http://p.org");
  }
}

TEST(PageFileProcessTest, AWriterKilledMidWriteLeavesAWholePage) {
  test::Sandbox sandbox;
  constexpr size_t kSize = 2 * 1024 * 1024;
  for (int attempt = 0; attempt < 5; ++attempt) {
    test::ChildProcess writer = test::ChildProcess::SpawnHelper(
        {"write-pages", sandbox.path(), "Big", std::to_string(kSize)});
    ASSERT_EQ(writer.ReadLine(), "ready");
    std::this_thread::sleep_for(std::chrono::milliseconds(20 + 17 * attempt));
    writer.Kill(SIGKILL);
    writer.Wait();

    Result<std::unique_ptr<PageRecord>> page = ReadPage(sandbox.path(), "Big");
    ASSERT_TRUE(page.ok()) << "attempt " << attempt << ": error " << page.error().code();
    const std::string& content = (*page)->content;
    ASSERT_EQ(content.size(), kSize);
    EXPECT_TRUE(content == std::string(kSize, 'a') || content == std::string(kSize, 'b'));
    // Whatever the killed writer left is invisible to a page listing.
    Result<std::vector<FoundFile>> pages = FindFiles(sandbox.path(), ".twp");
    ASSERT_EQ(pages->size(), 1u);
  }
}

TEST(PageFileProcessTest, TwoProcessesAddingTheSameTitleCannotBothWin) {
  test::Sandbox sandbox;
  test::ScopedHome home(sandbox);
  // Each round: this process and a helper race to add the same new page.
  for (int round = 0; round < 20; ++round) {
    const std::string title = "Race" + std::to_string(round);
    test::ChildProcess other =
        test::ChildProcess::SpawnHelper({"add-page", sandbox.path(), title, "http://other.org/"});
    const Error mine = AddPageWithDefaults(sandbox.path(), title, "http://mine.org/", {});
    const int theirs = other.Wait();
    EXPECT_NE(mine.ok(), theirs == 0) << "round " << round;
    const std::string address = ReadPageSummary(sandbox.path(), title)->address;
    EXPECT_EQ(address, mine.ok() ? "http://mine.org/" : "http://other.org/");
  }
}

}  // namespace
}  // namespace tw
