// Every operation of the API against a real `tidewell serve`, with its event stream, pages served
// by a local HTTP server, and changes made by another process.
#include <gtest/gtest.h>

#include "cli/run_tidewell.h"
#include "platform/file_system.h"
#include "service/service_fixture.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"
#include "support/sandboxed_user.h"

namespace tw::test {
namespace {

class ApiTest : public SandboxedUserTest {
 protected:
  ApiTest() {
    server_.Serve("/a", 200, "<html><body>a</body></html>");
    server_.Serve("/b", 200, "<html><body>b</body></html>");
  }
  std::string folder() const { return home_.home() + "/Documents/My Tidewell"; }
  bool PageFileExists(const std::string& title) const {
    return PathExists(folder() + "/" + title + ".twp");
  }
  // Adds a page through the API and waits until the page database has it.
  Json AddPage(const std::string& title, const std::string& address) {
    const Json added = service_.Call("pages.add", {{"title", title}, {"address", address}});
    EXPECT_TRUE(events_.WaitFor("page", [&](const Json& d) {
      return d["change"] == "added" && d["page"]["title"] == added["title"];
    }));
    return added;
  }
  static auto Change(const std::string& change, const std::string& title) {
    return [change, title](const Json& d) {
      return d["change"] == change && d["page"]["title"] == title;
    };
  }

  TestHttpServer server_;
  ServiceProcess service_;
  EventStream events_{service_.port(), service_.secret()};
};

TEST_F(ApiTest, AddingFollowsTheDialogsRules) {
  const Json added = service_.Call("pages.add", {{"title", ""}, {"address", server_.Url("/a")}});
  // The title is made from the address, usable as a file name.
  EXPECT_EQ(added["title"], "127.0.0.1-" + std::to_string(server_.port()) + "-a");
  EXPECT_TRUE(added["placeholder"]["pending"]);
  ASSERT_TRUE(events_.WaitFor("requestDone", [&](const Json& d) {
    return d["requestId"] == added["requestId"] && d["ok"] == true && d["kind"] == "add";
  })) << events_.Dump();
  ASSERT_TRUE(events_.WaitFor("page", Change("added", added["title"])));
  EXPECT_TRUE(PageFileExists(added["title"]));

  Json error = service_.CallError("pages.add", {{"title", ""}, {"address", server_.Url("/a")}});
  EXPECT_EQ(error["code"], "title-taken");
  EXPECT_EQ(error["message"], "A page with this title already exists.");
  EXPECT_EQ(error["icon"], "warning");
  EXPECT_EQ(error["field"], "title");
  error = service_.CallError("pages.add", {{"title", "x"}, {"address", "ftp://example.org/"}});
  EXPECT_EQ(error["code"], "not-http");
  error = service_.CallError("pages.add", {{"title", "x"}, {"address", ""}});
  EXPECT_EQ(error["code"], "address-required");
  EXPECT_EQ(error["icon"], "none");
  error = service_.CallError("pages.add", {{"title", "a|b"}, {"address", "example.org"}});
  EXPECT_EQ(error["code"], "invalid-title");
  EXPECT_EQ(error["stringId"], 159);

  // A quiet add numbers a title that is taken.
  const Json quiet = service_.Call("pages.addQuietly",
                                   {{"title", added["title"]}, {"address", server_.Url("/b")}});
  const std::string base = added["title"];
  EXPECT_EQ(quiet["title"], base.substr(0, base.size() - 2) + "2");
  EXPECT_TRUE(quiet.contains("requestId"));
  const Json dialog =
      service_.Call("pages.addQuietly", {{"title", "bad?title"}, {"address", server_.Url("/b")}});
  EXPECT_EQ(dialog["needsDialog"], true);
}

TEST_F(ApiTest, OnePageIsRenamedEditedResetAndDeleted) {
  // A check writes its findings back over the whole page, and a page that has never been checked
  // is checked whenever it appears under a new title: the edits come after the first check of the
  // new page has kept its content (Smart Update would learn the page over several checks).
  service_.Call("settings.set", {{"setting", "host"}, {"values", {{"EnableSmartUpdate", 0}}}});
  const size_t before_add = events_.size();
  AddPage("News", server_.Url("/a"));
  ASSERT_TRUE(events_.WaitForCheckPass(before_add)) << events_.Dump();

  EXPECT_EQ(service_.CallError("pages.rename", {{"title", "News"}, {"newTitle", "a?b"}})["code"],
            "invalid-title");
  EXPECT_TRUE(
      service_.Call("pages.rename", {{"title", "News"}, {"newTitle", "Daily"}}).is_object());
  ASSERT_TRUE(events_.WaitFor("page", Change("added", "Daily")));
  EXPECT_TRUE(events_.WaitFor("page", Change("removed", "News")));

  const Json range = service_.CallError("pages.setProperties", {{"title", "Daily"},
                                                                {"newTitle", "Daily"},
                                                                {"address", server_.Url("/a")},
                                                                {"smartUpdate", true},
                                                                {"checkCount", 21},
                                                                {"waitMinutes", 0},
                                                                {"ignoreLastModified", false},
                                                                {"ignoreExpires", false}});
  EXPECT_EQ(range["code"], "out-of-range");
  EXPECT_EQ(range["message"], "Please enter a value between 0 and 20.");
  EXPECT_EQ(range["field"], "checkCount");
  EXPECT_EQ(range["min"], 0);
  EXPECT_EQ(range["max"], 20);

  const size_t before = events_.size();
  service_.Call("pages.setProperties", {{"title", "Daily"},
                                        {"newTitle", "Daily"},
                                        {"address", server_.Url("/b")},
                                        {"smartUpdate", true},
                                        {"checkCount", 3},
                                        {"waitMinutes", 2},
                                        {"ignoreLastModified", true},
                                        {"ignoreExpires", false}});
  const std::optional<Json> changed = events_.WaitFor(
      "page",
      [&](const Json& d) {
        return d["change"] == "changed" && d["page"]["title"] == "Daily" &&
               d["page"]["checkCount"] == 3;
      },
      std::chrono::seconds(30), before);
  ASSERT_TRUE(changed) << events_.Dump();
  EXPECT_EQ((*changed)["page"]["waitSeconds"], 120);
  EXPECT_EQ((*changed)["page"]["address"], server_.Url("/b"));
  EXPECT_EQ((*changed)["page"]["ignoreLastModified"], true);

  service_.Call("pages.smartUpdateWizard",
                {{"title", "Daily"}, {"answer", "notUpdating"}, {"waitMinutes", 0}});
  ASSERT_TRUE(events_.WaitFor("page", [](const Json& d) {
    return d["page"]["title"] == "Daily" && d["page"]["checkCount"] == 2;
  }));
  EXPECT_EQ(service_.Call("pages.get", {{"title", "Daily"}})["checkCount"], 2);

  service_.Call("pages.reset", {{"title", "Daily"}});
  ASSERT_TRUE(events_.WaitFor("page", [](const Json& d) {
    return d["page"]["title"] == "Daily" && d["page"]["smartUpdate"] == false;
  }));
  EXPECT_TRUE(service_.Call("pages.clearUpdated", {{"title", "Daily"}}).is_object());

  service_.Call("pages.delete", {{"title", "Daily"}, {"permanent", false}});
  ASSERT_TRUE(events_.WaitFor("page", Change("removed", "Daily")));
  EXPECT_FALSE(PageFileExists("Daily"));
  EXPECT_TRUE(PathExists(home_.home() + "/.local/share/Trash/files/Daily.twp"));

  AddPage("Gone", server_.Url("/a"));
  service_.Call("pages.delete", {{"title", "Gone"}, {"permanent", true}});
  ASSERT_TRUE(events_.WaitFor("page", Change("removed", "Gone")));
  EXPECT_FALSE(PathExists(home_.home() + "/.local/share/Trash/files/Gone.twp"));
  EXPECT_EQ(service_.CallError("pages.get", {{"title", "Gone"}})["code"], "no-such-page");
  EXPECT_TRUE(service_.Call("pages.list")["pages"].empty());
}

TEST_F(ApiTest, ACheckIsSeenOnTheStream) {
  const size_t before = events_.size();
  AddPage("Page A", server_.Url("/a"));
  // Whether or not the first check of the new page has begun by itself, a pass is asked for.
  service_.Call("checking.refresh");
  ASSERT_TRUE(events_.WaitForCheckPass(before)) << events_.Dump();
  EXPECT_TRUE(WaitFor(
      [&] {
        return service_.Call("checking.state") == Json{{"running", false}};
      },
      std::chrono::seconds(30)));
  EXPECT_TRUE(service_.Call("checking.stop").is_object());
  const Json list = service_.Call("pages.list");
  EXPECT_EQ(list["folder"], folder());
  EXPECT_GT(list["maxTitleLength"], 100);
  EXPECT_TRUE(FindPage(list["pages"], "Page A")["error"].is_null());
}

TEST_F(ApiTest, ChangesOfOtherProcessesReachTheStream) {
  ASSERT_EQ(RunTidewell({"add", server_.Url("/b"), "From elsewhere"}).status, 0);
  ASSERT_TRUE(events_.WaitFor("page", Change("added", "From elsewhere")));
  ASSERT_EQ(RunTidewell({"option", "Timeout", "30"}).status, 0);
  const std::optional<Json> options =
      events_.WaitFor("optionsChanged", [](const Json& d) { return d["values"]["Timeout"] == 30; });
  ASSERT_TRUE(options);
  EXPECT_EQ((*options)["values"]["PDB"], folder());
}

// A browser accepts brotli; compressing at its slowest setting kept the window waiting for its
// script, and a long page list for seconds, to save nothing on loopback. The UI's files and the
// API's replies go out as they are.
TEST_F(ApiTest, TheUiAndTheApiGoOutUncompressedWhateverTheBrowserAccepts) {
  httplib::Client client = service_.Client();
  httplib::Headers browser = service_.Authorized();
  browser.emplace("Accept-Encoding", "gzip, deflate, br");
  httplib::Result index = client.Get("/", browser);
  ASSERT_TRUE(index);
  EXPECT_EQ(index->status, 200);
  EXPECT_FALSE(index->has_header("Content-Encoding"));
  EXPECT_EQ(index->get_header_value("Content-Length"), std::to_string(index->body.size()));
  EXPECT_NE(index->body.find("<html"), std::string::npos);

  const Json call = {{"id", 1}, {"method", "pages.list"}, {"params", Json::object()}};
  httplib::Result reply = client.Post("/api", browser, call.dump(), "application/json");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
  EXPECT_FALSE(reply->has_header("Content-Encoding"));
  EXPECT_TRUE(Json::parse(reply->body, nullptr, false).contains("result")) << reply->body;
}

TEST_F(ApiTest, MalformedCallsAreNamed) {
  Json error = service_.CallError("pages.nothing");
  EXPECT_EQ(error["code"], "unknown-method");
  EXPECT_EQ(error["message"], "An internal error occurred, try restarting the web browser.");
  error = service_.CallError("pages.rename", {{"title", "x"}});
  EXPECT_EQ(error["code"], "invalid-params");
  EXPECT_NE(error["detail"].get<std::string>().find("newTitle"), std::string::npos);
  error = service_.CallError("pages.delete", {{"title", 5}});
  EXPECT_EQ(error["code"], "invalid-params");
  error = service_.CallError("pages.rename", Json::array());
  EXPECT_EQ(error["code"], "invalid-params");

  const Json info = service_.Call("app.info");
  EXPECT_EQ(info["setting"], "host");
  EXPECT_EQ(info["firstRun"], true);
  EXPECT_EQ(info["pageFolder"], folder());
}

TEST_F(ApiTest, TheFolderPickerListsFolders) {
  (void)CreateDirectories(sandbox_.Sub("pick/b"));
  (void)CreateDirectories(sandbox_.Sub("pick/a"));
  (void)CreateDirectories(sandbox_.Sub("pick/.hidden"));
  WriteFileBytes(sandbox_.Sub("pick/file"), "x");
  const Json listing = service_.Call("folders.list", {{"path", sandbox_.Sub("pick/a/..")}});
  EXPECT_EQ(listing["path"], *RealPath(sandbox_.Sub("pick")));
  EXPECT_EQ(listing["folders"], (Json{"a", "b"}));
  EXPECT_EQ(listing["parent"], *RealPath(sandbox_.path()));
  EXPECT_TRUE(service_.Call("folders.list", {{"path", "/"}})["parent"].is_null());
  EXPECT_EQ(service_.CallError("folders.list", {{"path", sandbox_.Sub("none")}})["code"],
            "internal");
  EXPECT_FALSE(listing.contains("files"));  // a folder picker sees folders alone
}

TEST_F(ApiTest, TheFilePickerListsFilesOfTheKindsAsked) {
  (void)CreateDirectories(sandbox_.Sub("pick/sub"));
  WriteFileBytes(sandbox_.Sub("pick/marks.html"), "x");
  WriteFileBytes(sandbox_.Sub("pick/Old.HTM"), "x");
  WriteFileBytes(sandbox_.Sub("pick/notes.txt"), "x");
  WriteFileBytes(sandbox_.Sub("pick/.hidden.html"), "x");
  const Json listing = service_.Call(
      "folders.list",
      {{"path", sandbox_.Sub("pick")}, {"fileSuffixes", Json::array({".html", ".htm"})}});
  EXPECT_EQ(listing["folders"], (Json{"sub"}));
  EXPECT_EQ(listing["files"], (Json{"Old.HTM", "marks.html"}));
  const Json any =
      service_.Call("folders.list", {{"path", sandbox_.Sub("pick")}, {"fileSuffixes", {""}}});
  EXPECT_EQ(any["files"], (Json{"Old.HTM", "marks.html", "notes.txt"}));
  // Without a path a file picker starts at home, not in the page folder.
  const Json home = service_.Call("folders.list", {{"fileSuffixes", Json::array()}});
  EXPECT_EQ(home["path"], *RealPath(home_.home()));
  EXPECT_EQ(home["files"], Json::array());
  EXPECT_EQ(service_.CallError("folders.list", {{"fileSuffixes", "html"}})["code"],
            "invalid-params");
}

}  // namespace
}  // namespace tw::test
