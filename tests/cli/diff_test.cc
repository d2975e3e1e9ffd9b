// tidewell diff as a user runs it: a page on a local HTTP server with a counter and a clock is
// learned by `tidewell refresh`, then really changed; the diff shows the change alone.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "cli/run_tidewell.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"

namespace tw {
namespace {

class DiffTest : public ::testing::Test {
 protected:
  void ServeNews() {
    server_.On("/news", [&](const httplib::Request&, httplib::Response& response) {
      const int visit = ++visits_;
      std::string items = "<li>Bridge reopens</li>";
      if (changed_) items = "<li>Storm warning</li>" + items;
      response.set_content(
          "<html><body><div>Updated 10:" + std::to_string(10 + visit % 50) + "</div><ul>" + items +
              "</ul><p>Visitors: " + std::to_string(5000 + visit) + "</p></body></html>",
          "text/html");
    });
  }
  test::RunResult Run(const std::vector<std::string>& args) { return test::RunTidewell(args); }

  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};
  test::TestHttpServer server_;
  std::atomic<int> visits_{0};
  std::atomic<bool> changed_{false};
};

TEST_F(DiffTest, ShowsTheRealChangeSinceTheKeptVersion) {
  ServeNews();
  ASSERT_EQ(Run({"option", "Noc", "2"}).status, 0);
  ASSERT_EQ(Run({"add", server_.Url("/news"), "News"}).status, 0);
  ASSERT_EQ(Run({"refresh"}).status, 0);

  test::RunResult run = Run({"diff", "News"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no earlier version"), std::string::npos) << run.err;
  EXPECT_EQ(Run({"diff", "News", "--list"}).out, "No earlier versions of \"News\" are kept yet.\n");

  changed_ = true;
  ASSERT_EQ(Run({"refresh"}).status, 0);
  run = Run({"diff", "News"});
  ASSERT_EQ(run.status, 0) << run.err;
  // Not a terminal: markers instead of colours.
  EXPECT_NE(run.out.find("{+Storm warning\n+}Bridge reopens"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("[-"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("Visitors"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("Updated 10"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Address: " + server_.Url("/news")), std::string::npos);

  run = Run({"diff", "News", "--html"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\n@@ -1,1 +1,1 @@\n-<html>"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\n+<html><body><div>Updated"), std::string::npos) << run.out;

  run = Run({"diff", "News", "--list"});
  EXPECT_EQ(run.out.rfind("Earlier versions of \"News\", newest first:\n  1  found ", 0), 0u)
      << run.out;
  EXPECT_EQ(Run({"diff", "News", "--version=1"}).status, 0);
  run = Run({"diff", "News", "--version", "2"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("has 1 earlier version"), std::string::npos) << run.err;
  EXPECT_EQ(Run({"diff", "News", "--version", "first"}).status, 2);
  EXPECT_EQ(Run({"diff", "News", "--version"}).status, 2);
  EXPECT_EQ(Run({"diff", "Nobody"}).status, 1);
}

}  // namespace
}  // namespace tw
