// The native host as the browser sees it: the real `tidewell native-host` on pipes in a temporary
// home, talking native messaging; beside it the command line and a real `tidewell serve` on the
// same page folder.
#include <gtest/gtest.h>
#include <signal.h>

#include <set>

#include "cli/run_tidewell.h"
#include "nativehost/host_process.h"
#include "platform/file.h"
#include "service/service_fixture.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"
#include "support/sandboxed_user.h"

namespace tw::test {
namespace {

constexpr size_t kBrowserLimit = 1024 * 1024;

bool IsPage(const Json& data, const std::string& change, const std::string& title) {
  return data["change"] == change && data["page"]["title"] == title;
}

class NativeHostTest : public SandboxedUserTest {
 protected:
  std::string folder() const { return home_.home() + "/Documents/My Tidewell"; }

  TestHttpServer server_;
};

TEST_F(NativeHostTest, SubscribingSendsTheListThenWhatOthersChange) {
  server_.Serve("/a", 200, "<html>a</html>");
  server_.Serve("/b", 200, "<html>b</html>");
  ASSERT_TRUE(AddPageAtOnce(server_.Url("/a"), "First"));
  HostProcess host;

  const Json info = host.Request(7, "app.info");
  ASSERT_TRUE(info.contains("result")) << info;
  EXPECT_EQ(info["result"]["setting"], "sidebar");

  // The reply comes first, then loading and the pages (while the host is still loading its list,
  // a page may follow the checking state).
  ASSERT_TRUE(host.SendText(R"({"id": "s", "method": "events.subscribe"})"));
  const std::optional<Json> reply = host.Next();
  ASSERT_TRUE(reply);
  EXPECT_EQ(*reply, Json({{"id", "s"}, {"result", Json::object()}}));
  const std::optional<Json> loading = host.Next();
  ASSERT_TRUE(loading);
  EXPECT_EQ((*loading)["event"], "loading");
  EXPECT_TRUE(host.WaitForEvent("page", [](const Json& d) { return IsPage(d, "added", "First"); }));

  // A page added by another process reaches the host through the page folder.
  ASSERT_EQ(RunTidewell({"add", server_.Url("/b"), "Second"}).status, 0);
  EXPECT_TRUE(
      host.WaitForEvent("page", [](const Json& d) { return IsPage(d, "added", "Second"); }));

  // Subscribing again starts over: loading, every page, then the checking state, in that order.
  ASSERT_TRUE(host.SendText(R"({"id": 8, "method": "events.subscribe"})"));
  std::vector<Json> messages;
  while (messages.size() < 5) {
    std::optional<Json> message = host.Next();
    ASSERT_TRUE(message);
    if (message->contains("id") || (*message)["event"] == "loading" || !messages.empty()) {
      messages.push_back(*message);  // what came before the reply belongs to the first list
    }
  }
  EXPECT_EQ(messages[0], Json({{"id", 8}, {"result", Json::object()}}));
  EXPECT_EQ(messages[1]["event"], "loading");
  std::set<std::string> titles;
  for (size_t i : {2, 3}) {
    EXPECT_EQ(messages[i]["event"], "page");
    titles.insert(messages[i]["data"]["page"]["title"].get<std::string>());
  }
  EXPECT_EQ(titles, (std::set<std::string>{"First", "Second"}));
  EXPECT_EQ(messages[4]["event"], "checking");

  host.CloseInput();
  EXPECT_EQ(host.Wait(), 0);
}

TEST_F(NativeHostTest, BadMessagesGetErrorsAndChangeNothing) {
  ASSERT_TRUE(AddPageAtOnce(server_.Url("/a"), "Kept"));
  HostProcess host;

  ASSERT_TRUE(host.SendText("{not json"));
  std::optional<Json> reply = host.Next();
  ASSERT_TRUE(reply);
  EXPECT_TRUE((*reply)["id"].is_null());
  EXPECT_EQ((*reply)["error"]["code"], "invalid-request");
  EXPECT_EQ((*reply)["error"]["message"],
            "An internal error occurred, try restarting the web browser.");

  // JSON that is no request: the error carries the id, so that the client can match it.
  ASSERT_TRUE(host.SendText(R"({"id": 41, "params": {}})"));
  reply = host.Next();
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)["id"], 41);
  EXPECT_EQ((*reply)["error"]["code"], "invalid-request");

  const Json unknown = host.Request(42, "pages.destroyEverything");
  EXPECT_EQ(unknown["error"]["code"], "unknown-method") << unknown;

  const Json wrong = host.Request(43, "pages.delete", {{"title", 5}});
  EXPECT_EQ(wrong["error"]["code"], "invalid-params") << wrong;

  // An empty message is no request either.
  ASSERT_TRUE(host.SendText(""));
  reply = host.Next();
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)["error"]["code"], "invalid-request");

  // The host reads on, and nothing changed (once it has loaded the folder).
  Json list;
  EXPECT_TRUE(test::WaitFor([&] {
    list = host.Request(44, "pages.list");
    return list.contains("result") && list["result"]["pages"].size() == 1;
  })) << list;
  EXPECT_EQ(list["result"]["pages"][0]["title"], "Kept");
  host.CloseInput();
  EXPECT_EQ(host.Wait(), 0);
}

TEST_F(NativeHostTest, ALengthPastTheLimitIsAnsweredAndEndsTheHost) {
  HostProcess host;
  const Json list = host.Request(1, "pages.list");
  ASSERT_TRUE(list.contains("result")) << list;
  // Only the length is sent: the host must not wait for, or make room for, 64 MiB and more.
  const uint32_t too_long = 64 * 1024 * 1024 + 1;
  ASSERT_TRUE(host.WriteRaw(std::string(reinterpret_cast<const char*>(&too_long), 4)));
  const std::optional<Json> reply = host.Next();
  ASSERT_TRUE(reply);
  EXPECT_TRUE((*reply)["id"].is_null());
  EXPECT_EQ((*reply)["error"]["code"], "too-large");
  EXPECT_EQ(host.Wait(), 1);
}

TEST_F(NativeHostTest, ALargeRequestIsReadAndATooLargeReplyIsNeverSent) {
  // A vCard text of about 2.5 MB: more than one browser message may carry out, and far less
  // than what one may carry in. Its contacts would make a reply of more than 1 MB.
  std::string cards;
  for (int i = 0; cards.size() < 2'500'000; ++i) {
    cards += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Friend number " + std::to_string(i) +
             "\r\nEMAIL:friend" + std::to_string(i) + "@example.org\r\nEND:VCARD\r\n";
  }
  HostProcess host;
  const Json reply = host.Request(5, "friend.importVCard", {{"text", cards}});
  ASSERT_TRUE(reply.contains("error")) << reply.dump().substr(0, 300);
  EXPECT_EQ(reply["error"]["code"], "too-large");
  for (size_t size : host.frame_sizes()) EXPECT_LE(size, kBrowserLimit);

  // A smaller one goes through whole.
  const Json small = host.Request(6, "friend.importVCard", {{"text", cards.substr(0, 2000)}});
  ASSERT_TRUE(small.contains("result")) << small;
  EXPECT_EQ(small["result"]["contacts"][0]["name"], "Friend number 0");
  host.CloseInput();
  EXPECT_EQ(host.Wait(), 0);
}

TEST_F(NativeHostTest, ClosingThePortInTheMiddleOfACheckEndsCleanly) {
  server_.On("/slow", [this](const httplib::Request&, httplib::Response& response) {
    server_.Pause(std::chrono::seconds(60));
    response.set_content("late", "text/html");
  });
  HostProcess host;
  ASSERT_TRUE(host.Request(1, "events.subscribe").contains("result"));
  // A page added meanwhile is checked at once, by the host.
  ASSERT_TRUE(AddPageAtOnce(server_.Url("/slow"), "Slow"));
  ASSERT_TRUE(host.WaitForEvent("checking", [](const Json& d) { return d["running"] == true; }));
  ASSERT_TRUE(WaitFor([&] { return server_.request_count() > 0; }));
  EXPECT_TRUE(*IsFileInUse(folder() + "/lock"));

  host.CloseInput();
  EXPECT_EQ(host.Wait(), 0);
  EXPECT_FALSE(*IsFileInUse(folder() + "/lock"));
  const RunResult list = RunTidewell({"list"});
  EXPECT_NE(list.out.find("Slow"), std::string::npos);
}

TEST_F(NativeHostTest, SigtermEndsTheHostCleanly) {
  HostProcess host;
  ASSERT_TRUE(host.Request(1, "events.subscribe").contains("result"));
  ASSERT_TRUE(host.WaitForEvent("checking"));
  host.Kill(SIGTERM);
  EXPECT_EQ(host.Wait(), 0);
}

TEST_F(NativeHostTest, AHostAndTheServiceShareThePageFolder) {
  server_.Serve("/a", 200, "<html>a</html>");
  server_.Serve("/b", 200, "<html>b</html>");
  ServiceProcess service;
  EventStream window(service.port(), service.secret());
  HostProcess host;
  ASSERT_TRUE(host.Request(1, "events.subscribe").contains("result"));

  // Added in the side panel, seen in the service's window...
  const Json added =
      host.Request(2, "pages.add", {{"title", "From Panel"}, {"address", server_.Url("/a")}});
  ASSERT_TRUE(added.contains("result")) << added;
  EXPECT_TRUE(window.WaitFor("page", [](const Json& d) {
    return IsPage(d, "added", "From Panel");
  })) << window.Dump();
  // ...and the other way round.
  service.Call("pages.add", {{"title", "From Window"}, {"address", server_.Url("/b")}});
  EXPECT_TRUE(
      host.WaitForEvent("page", [](const Json& d) { return IsPage(d, "added", "From Window"); }));
  // A change written by one is seen by the other.
  service.Call("pages.rename", {{"title", "From Panel"}, {"newTitle", "Renamed"}});
  EXPECT_TRUE(
      host.WaitForEvent("page", [](const Json& d) { return IsPage(d, "added", "Renamed"); }));

  host.CloseInput();
  EXPECT_EQ(host.Wait(), 0);
  // The service goes on without the host.
  EXPECT_EQ(service.Call("pages.list")["pages"].size(), 2u);
}

TEST_F(NativeHostTest, TheBrowsersStartTheProgramWithTheirOwnArguments) {
  // Chromium names the calling extension; Firefox the manifest and the extension's id.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"chrome-extension://dcknjfnokgfijfcfkagcfcldjjglmiji/"},
        std::vector<std::string>{
            home_.home() + "/.mozilla/native-messaging-hosts/org.tidewell.native_host.json",
            "tidewell@tidewell.org"}}) {
    HostProcess host(args);
    const Json info = host.Request(1, "app.info");
    EXPECT_EQ(info["result"]["setting"], "sidebar") << info;
    host.CloseInput();
    EXPECT_EQ(host.Wait(), 0);
  }
}

}  // namespace
}  // namespace tw::test
