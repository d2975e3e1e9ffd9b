// Checking through the host program: pages added, checked against a local HTTP server and seen
// updated, as a user (or a schedule) runs the commands.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "app/application.h"
#include "cli/run_tidewell.h"
#include "pagedb/folder_markers.h"
#include "pagefile/title.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "settings/checking_options.h"
#include "support/child_process.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"

namespace tw {
namespace {

using Json = nlohmann::json;

class RefreshTest : public ::testing::Test {
 protected:
  std::string folder() const { return home_.home() + "/Documents/My Tidewell"; }

  // The listed page of that title (null when there is none).
  Json Listed(const std::string& title) {
    const test::RunResult run = test::RunTidewell({"list", "--json"});
    EXPECT_EQ(run.status, 0) << run.err;
    const Json list = Json::parse(run.out);
    for (const Json& page : list["pages"]) {
      if (page["title"] == title) return page;
    }
    return nullptr;
  }
  size_t Requests(const std::string& path) {
    size_t n = 0;
    for (const test::RecordedRequest& r : server_.requests()) n += r.path == path;
    return n;
  }

  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};
  test::TestHttpServer server_;
};

TEST_F(RefreshTest, FromAddingAPageToSeeingItUpdated) {
  const std::string first = "<html><body><h1>News</h1><p>Nothing yet.</p></body></html>";
  server_.Serve("/news", 200, first);
  const std::string address = server_.Url("/news");
  test::RunResult run = test::RunTidewell({"add", address, "News"});
  ASSERT_EQ(run.status, 0) << run.err;

  // The first check stores the page as it is; nothing has changed yet.
  run = test::RunTidewell({"refresh"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out + run.err, "");
  Json page = Listed("News");
  EXPECT_EQ(page["updated"], false);
  EXPECT_TRUE(page["error"].is_null()) << page;
  run = test::RunTidewell({"info", PagePath(folder(), "News"), "--json"});
  EXPECT_EQ(Json::parse(run.out)["contentLength"], first.size());
  EXPECT_GE(Requests("/news"), 1u);

  // Unchanged: still not updated.
  ASSERT_EQ(test::RunTidewell({"/r"}).status, 0);
  EXPECT_EQ(Listed("News")["updated"], false);

  // The page changes; the scheduled form of the check finds it and prints nothing.
  server_.Serve("/news", 200, "<html><body><h1>News</h1><p>Tidewell 1.0 is out.</p></body></html>");
  run = test::RunTidewell({"/r"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out + run.err, "");
  page = Listed("News");
  EXPECT_EQ(page["updated"], true);
  EXPECT_NE(page["updatedTime"], 0);
  EXPECT_EQ(page["address"], address);

  // Opening the page hands its address to the browser and leaves the flag for the user.
  const std::string bin = sandbox_.Sub("bin", true), opened = sandbox_.Sub("opened");
  test::WriteScript(bin, "xdg-open", "printf '%s\\n' \"$@\" > '" + opened + "'");
  test::ScopedEnv path("PATH", bin + ":/usr/bin:/bin");
  ASSERT_EQ(test::RunTidewell({"open", PagePath(folder(), "News")}).status, 0);
  EXPECT_EQ(test::ReadFileBytes(opened), address + "\n");
  EXPECT_EQ(Listed("News")["updated"], true);
}

TEST_F(RefreshTest, ProgressNamesTheUpdatedPagesAndThePagesInError) {
  server_.Serve("/a", 200, "<p>a</p>");
  server_.Serve("/b", 200, "<p>b</p>");
  server_.Serve("/gone", 404, "<p>no</p>");
  ASSERT_TRUE(test::AddPageAtOnce(server_.Url("/a"), "Alpha"));
  ASSERT_TRUE(test::AddPageAtOnce(server_.Url("/b"), "Beta"));
  ASSERT_TRUE(test::AddPageAtOnce(server_.Url("/gone"), "Gone"));
  test::RunResult run = test::RunTidewell({"refresh", "--progress"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("Checked 3 pages"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("0 newly updated, 1 in error."), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("! Gone: Object not found"), std::string::npos) << run.err;
  EXPECT_EQ(Listed("Gone")["error"], "Object not found");

  server_.Serve("/b", 200, "<p>b, changed</p>");
  run = test::RunTidewell({"refresh", "--progress"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("1 newly updated"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("* Beta  " + server_.Url("/b")), std::string::npos) << run.err;
  EXPECT_EQ(Listed("Alpha")["updated"], false);
}

TEST_F(RefreshTest, ARunningCheckElsewhereKeepsThePages) {
  server_.Serve("/a", 200, "<p>a</p>");
  ASSERT_TRUE(test::AddPageAtOnce(server_.Url("/a"), "Alpha"));
  // Another process's pass holds the lock file for its whole length.
  Result<File> lock =
      File::Open(JoinPath(folder(), FolderMarkers::kLock),
                 OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kOpenAlways});
  ASSERT_TRUE(lock.ok());
  const test::RunResult run = test::RunTidewell({"refresh", "--progress"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("Another process is checking"), std::string::npos) << run.err;
  EXPECT_EQ(Requests("/a"), 0u);
}

TEST_F(RefreshTest, AnInterruptEndsTheCheckCleanly) {
  server_.Serve("/a", 200, "<p>a</p>");
  ASSERT_TRUE(test::AddPageAtOnce(server_.Url("/a"), "Alpha"));
  ASSERT_EQ(test::RunTidewell({"refresh"}).status, 0);
  const std::string before = test::ReadFileBytes(PagePath(folder(), "Alpha"));
  // The server hangs on the next request; the user presses Ctrl-C meanwhile.
  server_.On("/a", [&](const httplib::Request&, httplib::Response& res) {
    server_.Pause(std::chrono::seconds(60));
    res.set_content("<p>late</p>", "text/html");
  });
  test::ChildProcess refresh = test::ChildProcess::Spawn({TW_TIDEWELL_PROGRAM, "refresh"});
  ASSERT_TRUE(test::WaitFor([&] { return Requests("/a") == 2; }));
  refresh.Kill(SIGINT);
  EXPECT_EQ(refresh.Wait(), 1);
  // The page is as it was, and the lock is free for the next check.
  EXPECT_EQ(test::ReadFileBytes(PagePath(folder(), "Alpha")), before);
  server_.Serve("/a", 200, "<p>a</p>");
  const test::RunResult run = test::RunTidewell({"refresh", "--progress"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("Checked 1 page "), std::string::npos) << run.err;
}

TEST_F(RefreshTest, AnUnusablePageFolderFailsWithoutAWord) {
  const std::string gone = sandbox_.Sub("gone", true);
  ASSERT_EQ(test::RunTidewell({"option", "PDB", gone}).status, 0);
  ASSERT_TRUE(std::filesystem::remove(gone));
  test::RunResult run = test::RunTidewell({"/r"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out + run.err, "");
  EXPECT_TRUE(app::Application().RefreshAllPages(nullptr));
  // Asked at a terminal, the refresh says why.
  run = test::RunTidewell({"refresh"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("tidewell refresh: the pages could not be checked"), std::string::npos);
  EXPECT_NE(run.err.find("The folder could not be found."), std::string::npos) << run.err;
}

}  // namespace
}  // namespace tw
