// Add Current Page as the extension's toolbar button uses it, through the real native host, and
// the toolbar's Refresh and Stop.
#include <gtest/gtest.h>

#include "cli/run_tidewell.h"
#include "nativehost/host_process.h"
#include "platform/file_system.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"
#include "support/sandboxed_user.h"

namespace tw::test {
namespace {

class AddCurrentPageTest : public SandboxedUserTest {
 protected:
  std::string folder() const { return home_.home() + "/Documents/My Tidewell"; }

  void SetUp() override { ASSERT_TRUE(host_.Request(1, "events.subscribe").contains("result")); }

  Json AddCurrent(const std::string& title, const std::string& address) {
    return host_.Request(++id_, "pages.addCurrent", {{"title", title}, {"address", address}});
  }
  void Confirm(bool on) {
    const Json reply =
        host_.Request(++id_, "settings.set", {{"values", {{"ConfirmAC", on ? 1 : 0}}}});
    ASSERT_TRUE(reply.contains("result")) << reply;
  }
  size_t PageCount() {
    const Json list = host_.Request(++id_, "pages.list");
    return list["result"]["pages"].size();
  }
  bool PageArrives(const std::string& title) {
    return host_
        .WaitForEvent(
            "page",
            [&](const Json& d) { return d["change"] == "added" && d["page"]["title"] == title; })
        .has_value();
  }

  TestHttpServer server_;
  HostProcess host_;
  int id_ = 1;
};

TEST_F(AddCurrentPageTest, WithConfirmationTheDialogComesFirstWithASafeTitle) {
  const Json reply = AddCurrent("News: a/b *today* \"live\" <1|2>", server_.Url("/news"));
  ASSERT_TRUE(reply.contains("result")) << reply;
  const Json& dialog = reply["result"]["dialog"];
  EXPECT_EQ(dialog["mode"], "currentPage");
  EXPECT_EQ(dialog["title"], "News- a-b #today# 'live' [1-2]");
  EXPECT_EQ(dialog["address"], server_.Url("/news"));
  EXPECT_EQ(dialog["caption"], "Add Current Page - Tidewell");
  EXPECT_EQ(dialog["note"],
            "Edit the title and address for the currently loaded page in your web browser, "
            "before adding.");
  EXPECT_FALSE(dialog.contains("problem"));
  EXPECT_EQ(PageCount(), 0u);

  // OK with "Do not show this window again": the page is added and the question not asked again.
  const Json added = host_.Request(++id_, "pages.add",
                                   {{"title", dialog["title"]},
                                    {"address", dialog["address"]},
                                    {"mode", "currentPage"},
                                    {"doNotAskAgain", true}});
  ASSERT_TRUE(added.contains("result")) << added;
  EXPECT_TRUE(PageArrives("News- a-b #today# 'live' [1-2]"));
  EXPECT_EQ(host_.Request(++id_, "settings.get")["result"]["values"]["ConfirmAC"], 0);
  const Json next = AddCurrent("Next", server_.Url("/next"));
  EXPECT_FALSE(next["result"].contains("dialog")) << next;
  EXPECT_TRUE(PageArrives("Next"));
}

TEST_F(AddCurrentPageTest, WithoutConfirmationThePageIsAddedAtOnce) {
  Confirm(false);
  // No document title: the address without its scheme, made safe.
  const Json untitled = AddCurrent("", "https://example.org/news/");
  ASSERT_TRUE(untitled.contains("result")) << untitled;
  EXPECT_EQ(untitled["result"]["title"], "example.org-news-");
  EXPECT_EQ(untitled["result"]["address"], "https://example.org/news/");
  EXPECT_TRUE(untitled["result"]["requestId"].is_number());
  EXPECT_TRUE(PageArrives("example.org-news-"));
  EXPECT_TRUE(host_.WaitForEvent("requestDone", [&](const Json& d) {
    return d["requestId"] == untitled["result"]["requestId"] && d["ok"] == true;
  }));

  // A title of nothing but replaced characters is still a title.
  const Json marks = AddCurrent("???", server_.Url("/q"));
  EXPECT_EQ(marks["result"]["title"], "###") << marks;
  EXPECT_TRUE(PageArrives("###"));
  EXPECT_TRUE(PathExists(folder() + "/###.twp"));

  // A long title is cut to what the page folder leaves room for, never inside a character.
  const size_t room = host_.Request(++id_, "pages.list")["result"]["maxTitleLength"];
  ASSERT_LT(room, 250u);
  std::string long_title(room - 1, 'x');
  long_title += "\xc3\xa9";
  const Json cut = AddCurrent(long_title, server_.Url("/long"));
  EXPECT_EQ(cut["result"]["title"], std::string(room - 1, 'x')) << cut;
}

TEST_F(AddCurrentPageTest, WithoutConfirmationWhatTheChecksRefuseGoesToThePlainDialog) {
  Confirm(false);
  ASSERT_TRUE(AddPageAtOnce(server_.Url("/a"), "Taken"));
  ASSERT_TRUE(PageArrives("Taken"));

  const Json taken = AddCurrent("taken", server_.Url("/b"));
  const Json& dialog = taken["result"]["dialog"];
  EXPECT_EQ(dialog["mode"], "plain") << taken;
  EXPECT_EQ(dialog["title"], "taken");
  EXPECT_EQ(dialog["problem"]["code"], "title-taken");
  EXPECT_EQ(dialog["problem"]["field"], "title");
  EXPECT_FALSE(dialog.contains("caption"));

  const Json ftp = AddCurrent("Files", "ftp://example.org/");
  EXPECT_EQ(ftp["result"]["dialog"]["mode"], "plain") << ftp;
  EXPECT_EQ(ftp["result"]["dialog"]["problem"]["code"], "not-http");
  EXPECT_EQ(ftp["result"]["dialog"]["address"], "ftp://example.org/");
  EXPECT_EQ(PageCount(), 1u);
}

TEST_F(AddCurrentPageTest, ABrowserThatGaveNoAddressIsReported) {
  const Json reply = AddCurrent("Title", "");
  EXPECT_EQ(reply["error"]["code"], "browser-failed") << reply;
  EXPECT_EQ(reply["error"]["message"],
            "An error occurred while communicating with the web browser.");
  EXPECT_EQ(reply["error"]["stringId"], 135);
  const Json missing = host_.Request(++id_, "pages.addCurrent", {{"title", "Title"}});
  EXPECT_EQ(missing["error"]["code"], "invalid-params") << missing;
  EXPECT_EQ(PageCount(), 0u);
}

TEST_F(AddCurrentPageTest, RefreshChecksEveryPageAndStopEndsTheCheck) {
  server_.On("/slow", [this](const httplib::Request&, httplib::Response& response) {
    server_.Pause(std::chrono::seconds(60));
    response.set_content("late", "text/html");
  });
  // Stop while nothing is checked leaves a request that the next look at the folder clears.
  EXPECT_TRUE(host_.Request(++id_, "checking.stop").contains("result"));
  EXPECT_TRUE(WaitFor([&] { return !PathExists(folder() + "/crs"); }));

  auto running = [](bool on) { return [on](const Json& d) { return d["running"] == on; }; };
  ASSERT_TRUE(AddPageAtOnce(server_.Url("/slow"), "Slow"));
  ASSERT_TRUE(host_.WaitForEvent("checking", running(true)));
  ASSERT_TRUE(WaitFor([&] { return server_.request_count() == 1; }));
  EXPECT_TRUE(host_.Request(++id_, "checking.stop").contains("result"));
  ASSERT_TRUE(host_.WaitForEvent("checking", running(false)));

  // Refresh: every page is checked again.
  EXPECT_TRUE(host_.Request(++id_, "checking.refresh").contains("result"));
  ASSERT_TRUE(host_.WaitForEvent("checking", running(true)));
  EXPECT_TRUE(WaitFor([&] { return server_.request_count() == 2; }));
  EXPECT_TRUE(host_.Request(++id_, "checking.stop").contains("result"));
  EXPECT_TRUE(host_.WaitForEvent("checking", running(false)));
}

}  // namespace
}  // namespace tw::test
