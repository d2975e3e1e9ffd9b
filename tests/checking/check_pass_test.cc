// Check passes end to end: page files in a folder, pages on a local HTTP server, one pass at a time
// on a real check thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

#include "checking/check_support.h"
#include "pagedb/folder_markers.h"
#include "pagedb/page_folder.h"
#include "resources/strings.h"
#include "support/raw_http_server.h"

namespace tw {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using test::HttpDate;

std::string Html(const std::string& inside) { return "<html><body>" + inside + "</body></html>"; }

class CheckPassTest : public test::CheckTest {};

TEST_F(CheckPassTest, LearnsAVolatileCounterAndReportsARealChangeOnce) {
  std::atomic<int> visits{0};
  std::atomic<bool> changed{false};
  server_.On("/news", [&](const httplib::Request&, httplib::Response& response) {
    const std::string text =
        changed ? "Opening hours: 9 to 5, also Sundays" : "Opening hours: 9 to 5";
    response.set_content(
        Html("<p>" + text + "</p><p>Visitors: " + std::to_string(++visits) + "</p>"), "text/html");
  });
  AddPage("news", "/news", {.smartUpdate = true, .checkCount = 2});

  ASSERT_TRUE(RunOnce());
  std::unique_ptr<PageRecord> learned = Page("news");
  EXPECT_EQ(learned->status, StatusNone);
  EXPECT_EQ(learned->updated, 0);
  EXPECT_GT(learned->maskCount, 0u);
  EXPECT_GE(visits, 4);  // Check for Changes 2: three downloads in a row without anything new
  for (int check = 0; check < 2; ++check) {
    ASSERT_TRUE(RunOnce());
    EXPECT_EQ(Page("news")->updated, 0) << "check " << check;
    EXPECT_EQ(Page("news")->content, learned->content);
  }

  changed = true;
  const FileTime before = Now();
  ASSERT_TRUE(RunOnce());
  std::unique_ptr<PageRecord> page = Page("news");
  EXPECT_EQ(page->updated, 1);
  EXPECT_GE(page->updatedTime, before);
  EXPECT_LE(page->updatedTime, Now());
  EXPECT_NE(page->content.find("also Sundays"), std::string::npos);

  // The user has seen it; the counter goes on changing, the page does not.
  ASSERT_TRUE(ClearUpdated(folder_, "news").ok());
  ASSERT_TRUE(RunOnce());
  EXPECT_EQ(Page("news")->updated, 0);
}

TEST_F(CheckPassTest, APageOfTextAloneIsUpdatedWhenItsTextChanges) {
  std::atomic<bool> second{false};
  server_.On("/plain", [&](const httplib::Request&, httplib::Response& response) {
    response.set_content(second ? "second" : "first", "text/plain");
  });
  server_.On("/html", [&](const httplib::Request&, httplib::Response& response) {
    response.set_content(second ? "<p>second</p>" : "<p>first</p>", "text/html");
  });
  // Smart Update on for both.
  AddPage("plain", "/plain");
  AddPage("html", "/html");
  for (int check = 0; check < 2; ++check) {
    ASSERT_TRUE(RunOnce());
    EXPECT_EQ(Page("plain")->updated, 0) << "check " << check;
    EXPECT_EQ(Page("html")->updated, 0) << "check " << check;
  }
  second = true;
  for (int check = 0; check < 2; ++check) {
    ASSERT_TRUE(RunOnce());
    for (const char* title : {"plain", "html"}) {
      std::unique_ptr<PageRecord> page = Page(title);
      EXPECT_EQ(page->updated, 1) << title << ", check " << check;
      EXPECT_NE(page->content.find("second"), std::string::npos) << title;
    }
  }
}

TEST_F(CheckPassTest, AFrameThatChangesMarksItsPage) {
  std::atomic<bool> changed{false};
  server_.Serve("/frames", 200,
                "<html><frameset><frame src=\"/inner\"><frame src=\"/menu\"></frameset></html>");
  // A frame that moved for good keeps the address its page gives it; the page stays put.
  server_.Redirect("/menu", 301, "/menu2");
  server_.Serve("/menu2", 200, Html("<a href=\"/\">Home</a>"));
  server_.On("/inner", [&](const httplib::Request&, httplib::Response& response) {
    response.set_content(Html(changed ? "<p>Two new items</p>" : "<p>One item</p>"), "text/html");
  });
  AddPage("framed", "/frames");

  ASSERT_TRUE(RunOnce());
  std::unique_ptr<PageRecord> page = Page("framed");
  ASSERT_EQ(page->frameCount, 2u);
  EXPECT_EQ(page->frames.first()->content, Html("<p>One item</p>"));
  EXPECT_EQ(page->frames.last()->address, server_.Url("/menu"));
  EXPECT_EQ(page->frames.last()->content, Html("<a href=\"/\">Home</a>"));
  EXPECT_EQ(page->address, server_.Url("/frames"));
  ASSERT_TRUE(RunOnce());
  EXPECT_EQ(Page("framed")->updated, 0);

  changed = true;
  ASSERT_TRUE(RunOnce());
  page = Page("framed");
  EXPECT_EQ(page->updated, 1);
  EXPECT_EQ(page->frames.first()->content, Html("<p>Two new items</p>"));
  EXPECT_EQ(page->status, StatusNone);
}

TEST_F(CheckPassTest, AJobWaitingForItsFinalCheckKeepsTheOnlySlot) {
  std::mutex mutex;
  std::vector<std::pair<std::string, std::chrono::steady_clock::time_point>> seen;
  for (const char* path : {"/a", "/b"}) {
    server_.On(path, [&, path](const httplib::Request&, httplib::Response& response) {
      std::lock_guard lock(mutex);
      seen.emplace_back(path, std::chrono::steady_clock::now());
      response.set_content(Html(path), "text/html");
    });
  }
  const PageSettings learn{.smartUpdate = true, .checkCount = 1, .waitSeconds = 1};
  AddPage("a", "/a", learn);
  AddPage("b", "/b", learn);

  ASSERT_TRUE(RunOnce(1));
  // Two downloads without a difference, the wait, the final check; then the other page.
  ASSERT_EQ(seen.size(), 6u);
  for (size_t first : {0u, 3u}) {
    EXPECT_EQ(seen[first].first, seen[first + 1].first);
    EXPECT_EQ(seen[first].first, seen[first + 2].first);
    EXPECT_GE(seen[first + 2].second - seen[first + 1].second, milliseconds(900));
  }
  EXPECT_NE(seen[0].first, seen[3].first);
  // A final check that found nothing new leaves no wait for later learning.
  EXPECT_EQ(Page("a")->waitSeconds, 0);
  EXPECT_EQ(Page("a")->content, Html("/a"));
}

// Errors stay with their pages, and every other page is checked, whatever the pool size. (The
// test server has eight workers, and each request thread keeps a connection open.)
class PoolSizeTest : public test::CheckTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(PoolSizeTest, EachPageGetsItsOwnOutcome) {
  const uint32_t pool_size = GetParam();
  std::atomic<int> running{0};
  std::atomic<int> most{0};
  auto slow_page = [&](const std::string& body) {
    return [&, body](const httplib::Request&, httplib::Response& response) {
      const int now = ++running;
      int seen = most;
      while (now > seen && !most.compare_exchange_weak(seen, now)) {
      }
      server_.Pause(milliseconds(30));
      --running;
      response.set_content(body, "text/html");
    };
  };
  for (int i = 0; i < 6; ++i) {
    const std::string path = "/ok" + std::to_string(i);
    server_.On(path, slow_page(Html("page " + std::to_string(i))));
    AddPage("ok" + std::to_string(i), path);
  }
  server_.Serve("/missing", 404, "gone");
  server_.Serve("/empty", 200, "");
  server_.Redirect("/moved", 302, "/ok0");
  server_.Redirect("/old", 301, "/ok1");
  // Silent after the request, on a server of its own so that it holds none of the other's workers.
  test::RawHttpServer stuck([](test::RawConnection& c) {
    c.ReadRequest();
    c.Pause(seconds(5));
  });
  AddPage("missing", "/missing");
  AddPage("empty", "/empty");
  AddPage("moved", "/moved");
  AddPage("old", "/old");
  ASSERT_TRUE(AddPageWithDefaults(folder_, "stuck", stuck.Url("/"), {}).ok());
  // Nothing listens on port 1.
  ASSERT_TRUE(AddPageWithDefaults(folder_, "refused", "http://127.0.0.1:1/", {}).ok());
  test::WriteFileBytes(PagePath(folder_, "garbage"), "not a page file");
  // A sound header and address, and a snapshot cut short: found out when its job starts.
  PageRecord cut;
  cut.title = "cut";
  cut.SetAddress(server_.Url("/ok0"));
  cut.SetContent(Html("stored"));
  ASSERT_TRUE(WritePage(folder_, cut).ok());
  const std::string cut_bytes = PageBytes("cut");
  test::WriteFileBytes(PagePath(folder_, "cut"), cut_bytes.substr(0, cut_bytes.size() - 5));

  ASSERT_TRUE(RunOnce(pool_size, 1000));

  for (int i = 0; i < 6; ++i) {
    std::unique_ptr<PageRecord> page = Page("ok" + std::to_string(i));
    EXPECT_EQ(page->status, StatusNone);
    EXPECT_EQ(page->content, Html("page " + std::to_string(i)));
  }
  EXPECT_LE(most, static_cast<int>(pool_size));
  if (pool_size > 2) {
    EXPECT_GT(most, 1);
  }
  auto status_of = [&](const std::string& title) {
    std::unique_ptr<PageRecord> page = Page(title);
    return std::pair<uint32_t, uint32_t>(page->status, page->errorCode);
  };
  EXPECT_EQ(status_of("missing"), std::make_pair(StatusHttpError, 404u));
  EXPECT_EQ(status_of("empty"), std::make_pair(StatusMessage, str::kUnknownError));
  EXPECT_EQ(status_of("stuck"), std::make_pair(StatusSystemError, err::kInternetTimeout));
  EXPECT_EQ(status_of("refused"), std::make_pair(StatusSystemError, err::kInternetCannotConnect));
  // A temporary redirect leaves the address alone; a permanent one moves the page.
  EXPECT_EQ(Page("moved")->address, server_.Url("/moved"));
  EXPECT_EQ(Page("moved")->content, Html("page 0"));
  EXPECT_EQ(Page("old")->address, server_.Url("/ok1"));
  // Files that cannot be read are reported and left as they were.
  EXPECT_EQ(test::ReadFileBytes(PagePath(folder_, "garbage")), "not a page file");
  EXPECT_EQ(PageBytes("cut"), cut_bytes.substr(0, cut_bytes.size() - 5));
  Result<std::vector<FoundFile>> errors = FindFiles(folder_, ".twe");
  ASSERT_TRUE(errors.ok());
  std::vector<std::string> texts;
  for (const FoundFile& file : *errors) {
    const std::string text = test::ReadFileBytes(JoinPath(folder_, file.name));
    texts.push_back(text.substr(0, text.find(',') + 1));
  }
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(texts, (std::vector<std::string>{"Page Error: cut,", "Page Error: garbage,"}));

  // An error is cleared by the next check that succeeds.
  server_.Serve("/missing", 200, Html("back"));
  ASSERT_TRUE(RunOnce(pool_size, 1000));
  EXPECT_EQ(status_of("missing"), std::make_pair(StatusNone, 0u));
  EXPECT_TRUE(LockIsFree());
}

INSTANTIATE_TEST_SUITE_P(Pools, PoolSizeTest, ::testing::Values(1u, 2u, 6u));

TEST_F(CheckPassTest, AServerThatTricklesCostsItsPageTheDeadlineAndHoldsNothingElse) {
  // Headers at once, then a byte every 200 ms for as long as anyone listens: never idle for the
  // time-out, never done.
  test::RawHttpServer trickling([](test::RawConnection& c) {
    c.ReadRequest();
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n");
    while (c.Pause(milliseconds(200)) && c.Send("x")) {
    }
  });
  ASSERT_TRUE(AddPageWithDefaults(folder_, "trickling", trickling.Url("/"), {}).ok());
  for (int i = 0; i < 19; ++i) {
    const std::string path = "/p" + std::to_string(i);
    server_.Serve(path, 200, Html(path));
    AddPage("page " + std::to_string(i), path);
  }
  const milliseconds deadline(3000);
  auto context = std::make_shared<RequestContext>(*context_);
  context->request_deadline = deadline;
  context_ = context;
  // One request at a time, as by default: every other page waits for the trickling one, or
  // follows it.
  std::unique_ptr<CheckThread> thread = MakeThread(1, 1000);

  std::atomic<bool> ended{false};
  bool passed = false;
  const auto start = std::chrono::steady_clock::now();
  std::thread pass([&] {
    passed = thread->RunOnce().ok();
    ended = true;
  });
  const bool in_time = test::WaitFor([&] { return ended.load(); }, deadline + seconds(10));
  const auto took = std::chrono::steady_clock::now() - start;
  if (!in_time) thread->SignalStop();
  pass.join();

  ASSERT_TRUE(in_time);
  EXPECT_GE(took, deadline);
  EXPECT_TRUE(passed);
  std::unique_ptr<PageRecord> slow = Page("trickling");
  EXPECT_EQ(slow->status, StatusSystemError);
  EXPECT_EQ(slow->errorCode, err::kInternetTimeout);
  EXPECT_EQ(slow->contentLength, 0u);
  for (int i = 0; i < 19; ++i) {
    std::unique_ptr<PageRecord> page = Page("page " + std::to_string(i));
    EXPECT_EQ(page->status, StatusNone) << i;
    EXPECT_EQ(page->content, Html("/p" + std::to_string(i))) << i;
  }
  EXPECT_TRUE(LockIsFree());
}

TEST_F(CheckPassTest, HeaderTimesDecideWhatIsStoredAndHowPagesAreCheckedLater) {
  const std::string yesterday = HttpDate(AddSeconds(Now(), -86400));
  std::string modified = yesterday;
  auto dated = [&](const httplib::Request&, httplib::Response& response) {
    response.set_header("Date", HttpDate(Now()));
    response.set_header("Last-Modified", modified);
    response.set_content(Html("dated"), "text/html");
  };
  server_.On("/dated", dated);
  server_.On("/dated-too", dated);
  // A server whose clock runs an hour ahead: its unchanged Last-Modified stays unchanged here.
  server_.On("/skewed", [&](const httplib::Request&, httplib::Response& response) {
    response.set_header("Date", HttpDate(AddSeconds(Now(), 3600)));
    response.set_header("Last-Modified", HttpDate(AddSeconds(Now(), 3600 - 86400)));
    response.set_content(Html("skewed"), "text/html");
  });
  server_.Serve("/fresh", 200, Html("fresh"), {{"Expires", HttpDate(AddSeconds(Now(), 3600))}});
  server_.Serve("/ignoring", 200, Html("ignoring"), {{"Last-Modified", yesterday}});
  AddPage("dated", "/dated");
  AddPage("dated, learning", "/dated-too", {.smartUpdate = true, .checkCount = 2});
  AddPage("skewed", "/skewed");
  AddPage("fresh", "/fresh");
  AddPage("ignoring", "/ignoring", {.smartUpdate = true, .ignoreLastModified = true});

  ASSERT_TRUE(RunOnce());
  // Older than its wait, or fresh by the server's word: checked by the headers from now on.
  EXPECT_EQ(Page("dated")->contentLength, 0u);
  EXPECT_FALSE(Page("dated")->lastModified.IsZero());
  EXPECT_EQ(Page("fresh")->contentLength, 0u);
  EXPECT_FALSE(Page("fresh")->expires.IsZero());
  EXPECT_EQ(Page("ignoring")->content, Html("ignoring"));

  ASSERT_TRUE(RunOnce());
  EXPECT_EQ(RequestsFor("/dated", "HEAD"), 1u);
  EXPECT_EQ(RequestsFor("/skewed", "HEAD"), 1u);
  EXPECT_EQ(RequestsFor("/fresh", "HEAD"), 1u);
  EXPECT_EQ(RequestsFor("/ignoring", "GET"), 2u);
  for (const char* title : {"dated", "dated, learning", "skewed", "fresh", "ignoring"}) {
    EXPECT_EQ(Page(title)->updated, 0) << title;
  }

  // A new Last-Modified is one change, reported once.
  modified = HttpDate(AddSeconds(Now(), -60));
  ASSERT_TRUE(RunOnce());
  EXPECT_EQ(Page("dated")->updated, 1);
  // Learned again after the change, which its content being too old to keep cuts short: still
  // updated, and when.
  EXPECT_EQ(Page("dated, learning")->updated, 1);
  EXPECT_FALSE(Page("dated, learning")->updatedTime.IsZero());
  ASSERT_TRUE(ClearUpdated(folder_, "dated").ok());
  ASSERT_TRUE(RunOnce());
  EXPECT_EQ(Page("dated")->updated, 0);
  EXPECT_EQ(RequestsFor("/dated", "GET"), 1u);
}

TEST_F(CheckPassTest, TheStopRequestOfAnyProcessEndsAOneShotPassPromptly) {
  test::Gate gate;
  server_.On("/slow", [&](const httplib::Request&, httplib::Response& response) {
    gate.WaitIn(server_);
    response.set_content(Html("slow"), "text/html");
  });
  for (const char* title : {"a", "b", "c"}) AddPage(title, "/slow");
  // A request left over from a pass that has ended stops nothing.
  ASSERT_TRUE(RequestStopChecking(folder_).ok());
  const std::string before = PageBytes("a") + PageBytes("b") + PageBytes("c");

  std::atomic<bool> ended{false};
  bool passed = false;
  std::thread pass([&] {
    passed = RunOnce();
    ended = true;
  });
  ASSERT_TRUE(test::WaitFor([&] { return server_.request_count() >= 1; }));
  EXPECT_FALSE(PathExists(JoinPath(folder_, "crs")));
  ASSERT_TRUE(RequestStopChecking(folder_).ok());
  EXPECT_TRUE(test::WaitFor([&] { return ended.load(); }));
  gate.Open();
  pass.join();

  EXPECT_TRUE(passed);
  EXPECT_EQ(server_.request_count(), 1u);
  EXPECT_EQ(PageBytes("a") + PageBytes("b") + PageBytes("c"), before);
  EXPECT_TRUE(PathExists(JoinPath(folder_, "daa")));
  EXPECT_FALSE(PathExists(JoinPath(folder_, "crs")));
  EXPECT_TRUE(LockIsFree());
}

TEST_F(CheckPassTest, PagesAddedEditedAndDeletedDuringAPassAreFollowed) {
  test::Gate gate;
  for (const char* path : {"/a", "/b", "/c", "/n"}) {
    server_.On(path, [&, path](const httplib::Request&, httplib::Response& response) {
      gate.WaitIn(server_);
      response.set_content(Html(path), "text/html");
    });
  }
  for (const char* title : {"a", "b", "c"}) AddPage(title, std::string("/") + title);

  bool passed = false;
  std::thread pass([&] { passed = RunOnce(4); });
  ASSERT_TRUE(test::WaitFor([&] { return server_.request_count() == 3; }));
  ASSERT_TRUE(SetPageOptions(folder_, "b", server_.Url("/b"),
                             PageSettings{.smartUpdate = true, .ignoreExpires = true})
                  .ok());
  ASSERT_TRUE(DeletePage(folder_, "c").ok());
  AddPage("n", "/n");
  // The edited page's request starts over with its new settings; the new page is fetched too.
  EXPECT_TRUE(test::WaitFor([&] { return RequestsFor("/b") == 2 && RequestsFor("/n") == 1; }));
  gate.Open();
  pass.join();

  ASSERT_TRUE(passed);
  EXPECT_EQ(Page("a")->content, Html("/a"));
  EXPECT_EQ(Page("b")->content, Html("/b"));
  EXPECT_EQ(Page("b")->ignoreExpires, 1);
  EXPECT_EQ(Page("n")->content, Html("/n"));
  EXPECT_FALSE(PathExists(PagePath(folder_, "c")));
  EXPECT_EQ(RequestsFor("/c"), 1u);
}

TEST_F(CheckPassTest, APageRenamedWhileItsFirstCheckIsUnderWayIsCheckedOnce) {
  test::Gate gate;
  server_.On("/p", [&](const httplib::Request&, httplib::Response& response) {
    gate.WaitIn(server_);
    response.set_content(Html("p"), "text/html");
  });
  AddPage("p", "/p", {.smartUpdate = false});

  bool passed = false;
  std::thread pass([&] { passed = RunOnce(); });
  EXPECT_TRUE(test::WaitFor([&] { return server_.request_count() == 1; }));
  EXPECT_TRUE(RenamePage(folder_, "p", "q").ok());
  gate.Open();
  pass.join();

  EXPECT_TRUE(passed);
  EXPECT_FALSE(PathExists(PagePath(folder_, "p")));
  EXPECT_EQ(Page("q")->content, Html("p"));
  // The download under way was the page's first check; the new name did not make it new again.
  EXPECT_EQ(RequestsFor("/p"), 1u);
}

TEST_F(CheckPassTest, AnEmptyFolderPassesAndKeepsItsLockFile) {
  ASSERT_TRUE(RunOnce());
  EXPECT_EQ(test::ReadFileBytes(JoinPath(folder_, "lock")), std::string(8, '\0'));
  EXPECT_TRUE(sink_.texts().empty());
}

}  // namespace
}  // namespace tw
