// A check writes its outcome over the page file it read, and never over what a user changed
// meanwhile: edits made while the page is being checked, by another process whose writer has the
// page file open at the very moment the check ends.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "checking/check_support.h"
#include "platform/file_system.h"
#include "platform/in_use_retry.h"
#include "support/child_process.h"
#include "support/open_watch.h"

namespace tw {
namespace {

std::string Html(const std::string& inside) { return "<html><body>" + inside + "</body></html>"; }

class WriteBackTest : public test::CheckTest {
 protected:
  WriteBackTest() {
    // The first download of the page waits for the test; later ones are answered at once.
    server_.On("/p", [this](const httplib::Request&, httplib::Response& response) {
      if (++downloads_ == 1) gate_.WaitIn(server_);
      response.set_content(Html("now"), "text/html");
    });
  }

  // A page that was checked before, with Smart Update off.
  void WriteCheckedPage(const std::string& content, uint8_t updated, uint32_t status) {
    PageRecord page;
    page.title = "p";
    page.SetAddress(server_.Url("/p"));
    page.SetContent(content);
    page.updated = updated;
    page.updatedTime = AddSeconds(Now(), -3600);
    page.status = status;
    page.errorCode = status == StatusNone ? 0 : 503;
    ASSERT_TRUE(WritePage(folder_, page).ok());
  }

  // A one-shot pass checks the page "p" while another process makes `edit`: the edit is made
  // while the pass waits for the page's download, and its writer lets the file go only once the
  // pass, the download in, has opened the file again and again to write it back.
  void CheckWhileAnotherProcessEdits(const std::string& edit, int opens_before_go = 3) {
    const std::string go = JoinPath(sandbox_.Sub("aside", true), "go");
    bool passed = false;
    std::thread pass([&] { passed = RunOnce(); });
    EXPECT_TRUE(test::WaitFor([&] { return downloads_ == 1; }));
    test::ChildProcess editor =
        test::ChildProcess::SpawnHelper({"edit-page-when", folder_, "p", edit, go});
    EXPECT_EQ(editor.ReadLine(), "ready");
    test::OpenWatch opens(folder_, FileNameOf(PagePath(folder_, "p")));
    gate_.Open();
    // At most one look at the edited file, then the tries to write it.
    EXPECT_TRUE(
        test::WaitFor([&] { return opens.Count() >= opens_before_go; }, std::chrono::seconds(30)));
    test::WriteFileBytes(go, "");
    EXPECT_EQ(editor.Wait(), 0);
    pass.join();
    EXPECT_TRUE(passed);
    EXPECT_TRUE(LockIsFree());
  }

  test::Gate gate_;
  std::atomic<int> downloads_{0};
};

TEST_F(WriteBackTest, AnUpdatedFlagClearedDuringTheCheckStaysCleared) {
  // Found changed an hour ago and not yet seen; the last check failed. Nothing changed since.
  WriteCheckedPage(Html("now"), 1, StatusHttpError);
  CheckWhileAnotherProcessEdits("clear-updated");
  std::unique_ptr<PageRecord> page = Page("p");
  EXPECT_EQ(page->updated, 0);
  EXPECT_EQ(page->status, StatusNone);  // what the check found is written too
  EXPECT_EQ(page->errorCode, 0u);
  EXPECT_EQ(page->content, Html("now"));
  EXPECT_EQ(downloads_, 1);
}

TEST_F(WriteBackTest, PropertiesSavedDuringTheCheckAreKeptAndThePageIsCheckedWithThem) {
  WriteCheckedPage(Html("before"), 0, StatusNone);
  CheckWhileAnotherProcessEdits("properties");
  std::unique_ptr<PageRecord> page = Page("p");
  EXPECT_EQ(page->smartUpdate, 1);
  EXPECT_EQ(page->ignoreExpires, 1);
  // The page started over: the change the first download found belonged to the page as it was,
  // and the second download is its new start.
  EXPECT_EQ(page->content, Html("now"));
  EXPECT_EQ(page->updated, 0);
  EXPECT_EQ(downloads_, 2);
}

TEST_F(WriteBackTest, APageRenamedAsItsFirstCheckEndsGetsItsOutcomeUnderTheNewName) {
  AddPage("p", "/p", {.smartUpdate = false});
  CheckWhileAnotherProcessEdits("rename:q");
  EXPECT_FALSE(PathExists(PagePath(folder_, "p")));
  std::unique_ptr<PageRecord> page = Page("q");
  EXPECT_EQ(page->content, Html("now"));
  EXPECT_EQ(page->address, server_.Url("/p"));
  EXPECT_EQ(page->smartUpdate, 0);
  EXPECT_EQ(downloads_, 1);
}

// A writer of another program that holds the page file for seconds, longer than any reader
// would, delays the check's outcome but does not lose it.
TEST_F(WriteBackTest, AWriterHoldingThePageForSecondsDelaysTheOutcomeButLosesNothing) {
  WriteCheckedPage(Html("before"), 0, StatusNone);
  // Tries for about a second and a half: more than a moment's hold is waited for.
  CheckWhileAnotherProcessEdits("clear-updated", kInUseAttempts * 3 / 2);
  std::unique_ptr<PageRecord> page = Page("p");
  EXPECT_EQ(page->content, Html("now"));
  EXPECT_EQ(page->updated, 1);  // the change the check found
  EXPECT_EQ(page->status, StatusNone);
  EXPECT_EQ(downloads_, 1);
  Result<std::vector<FoundFile>> errors = FindFiles(folder_, ".twe");
  EXPECT_TRUE(!errors.ok() || errors->empty());  // no "in use" reported for the page
}

}  // namespace
}  // namespace tw
