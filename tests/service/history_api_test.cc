// Smart History and Import through a real `tidewell serve`, in a home of the test's own whose
// Firefox profile holds a places.sqlite in the browser's schema, and a local HTTP server for the
// pages that get added.
#include <gtest/gtest.h>

#include <latch>
#include <mutex>
#include <thread>

#include "browser/browser_fixtures.h"
#include "cli/run_tidewell.h"
#include "platform/file_system.h"
#include "service/service_fixture.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"
#include "support/sandboxed_user.h"

namespace tw::test {
namespace {

class HistoryApiTest : public SandboxedUserTest {
 protected:
  HistoryApiTest() {
    for (const char* path : {"/often", "/daily", "/weekly", "/news", "/mail"}) {
      server_.Serve(path, 200, "<html><body>x</body></html>");
    }
    BrowserDatabase places(MakeFirefoxProfile(home_.home()) + "/places.sqlite",
                           BrowserSchema::kFirefoxPlaces);
    places.AddFirefoxPageVisitedDaily(server_.Url("/often"), "Often", 3, Now());
    places.AddFirefoxPageVisitedDaily(server_.Url("/daily"), "Daily", 5, Now());
    places.AddFirefoxPageVisitedDaily(server_.Url("/weekly"), "Weekly", 1, Now());
    places.AddFirefoxBookmark(3, "Mail", server_.Url("/mail"));
    places.AddFirefoxBookmark(3, "News", server_.Url("/news"));
  }

  std::string firefox() const { return home_.home() + "/.mozilla/firefox"; }

  // Waits for a `proposals` event after the `from`-th event that names the address.
  bool Proposed(EventStream& events, const std::string& address, size_t from) {
    return events
        .WaitFor(
            "proposals",
            [&](const Json& data) {
              for (const Json& page : data["pages"]) {
                if (page["address"] == address) return true;
              }
              return false;
            },
            std::chrono::seconds(20), from)
        .has_value();
  }

  TestHttpServer server_;
  std::optional<ServiceProcess> service_;
};

TEST_F(HistoryApiTest, ProposalsAreAnsweredForgottenAndReset) {
  service_.emplace();
  EventStream events(service_->port(), service_->secret());
  const std::string often = server_.Url("/often");
  const std::string daily = server_.Url("/daily");

  // Seen once, an address is not proposed; visited on three days, it is.
  ASSERT_TRUE(
      service_->Call("smartHistory.navigated", {{"address", server_.Url("/weekly")}}).is_object());
  service_->Call("smartHistory.navigated", {{"address", often}, {"title", "Often"}});
  service_->Call("smartHistory.navigated", {{"address", daily}, {"title", "Daily"}});
  ASSERT_TRUE(Proposed(events, daily, 0)) << events.Dump();
  Json state = service_->Call("smartHistory.state");
  EXPECT_EQ(state["autoSH"], 0);
  EXPECT_EQ(state["historyKeptShort"], false);
  EXPECT_EQ(state["proposals"], (Json{{{"title", "Often"}, {"address", often}},
                                      {{"title", "Daily"}, {"address", daily}}}));

  // OK with Often checked: Often is added, Daily stays known.
  Json answer =
      service_->Call("smartHistory.answer",
                     {{"checked", Json::array({{{"title", "Often"}, {"address", often}}})}});
  ASSERT_EQ(answer["added"].size(), 1u) << answer.dump();
  EXPECT_EQ(answer["added"][0]["title"], "Often");
  EXPECT_FALSE(answer.contains("needsDialog"));
  EXPECT_TRUE(events.WaitFor("page", [](const Json& d) { return d["page"]["title"] == "Often"; }));
  EXPECT_EQ(service_->Call("smartHistory.state")["proposals"], Json::array());

  // After a reset, Daily is proposed again; the page stays known.
  ASSERT_TRUE(service_->Call("smartHistory.reset").is_object());
  const size_t before = events.size();
  service_->Call("smartHistory.navigated", {{"address", daily}, {"title", "Daily"}});
  service_->Call("smartHistory.navigated", {{"address", often}, {"title", "Often"}});
  ASSERT_TRUE(Proposed(events, daily, before)) << events.Dump();
  EXPECT_EQ(service_->Call("smartHistory.state")["proposals"],
            (Json{{{"title", "Daily"}, {"address", daily}}}));
}

TEST_F(HistoryApiTest, AProposalThatArrivedAfterTheDialogsListWaitsForTheNextDialog) {
  service_.emplace();
  EventStream events(service_->port(), service_->secret());
  const Json often = {{"title", "Often"}, {"address", server_.Url("/often")}};
  const Json daily = {{"title", "Daily"}, {"address", server_.Url("/daily")}};
  service_->Call("smartHistory.navigated", often);
  service_->Call("smartHistory.navigated", daily);
  ASSERT_TRUE(Proposed(events, daily["address"], 0)) << events.Dump();

  // The dialog listed only Often when the user pressed OK: Daily is still waiting, and windows
  // are told so again.
  const size_t before = events.size();
  Json answer = service_->Call("smartHistory.answer", {{"checked", Json::array()},
                                                       {"shown", Json::array({often["address"]})}});
  EXPECT_EQ(answer["added"], Json::array());
  EXPECT_EQ(service_->Call("smartHistory.state")["proposals"], Json::array({daily}));
  EXPECT_TRUE(Proposed(events, daily["address"], before)) << events.Dump();

  // A list of addresses that are no texts changes nothing.
  Json error = service_->CallError("smartHistory.answer",
                                   {{"checked", Json::array()}, {"shown", Json::array({1})}});
  EXPECT_EQ(error["code"], "invalid-params");
  EXPECT_EQ(service_->Call("smartHistory.state")["proposals"], Json::array({daily}));

  answer = service_->Call("smartHistory.answer",
                          {{"checked", Json::array()}, {"shown", Json::array({daily["address"]})}});
  EXPECT_EQ(service_->Call("smartHistory.state")["proposals"], Json::array());
}

TEST_F(HistoryApiTest, ATakenTitleHandsThePageToTheAddPageDialog) {
  ASSERT_EQ(RunTidewell({"add", server_.Url("/news"), "Daily"}).status, 0);
  service_.emplace();
  EventStream events(service_->port(), service_->secret());
  const Json daily = {{"title", "Daily"}, {"address", server_.Url("/daily")}};
  const Json often = {{"title", "Often"}, {"address", server_.Url("/often")}};
  service_->Call("smartHistory.navigated", daily);
  ASSERT_TRUE(Proposed(events, server_.Url("/daily"), 0));

  Json answer = service_->Call("smartHistory.answer", {{"checked", Json::array({daily, often})}});
  EXPECT_EQ(answer["added"], Json::array());
  EXPECT_EQ(answer["needsDialog"], daily);
  EXPECT_EQ(answer["remaining"], Json::array({often}));
  EXPECT_EQ(service_->Call("settings.get")["values"]["AutoSH"], 0);  // no choice given

  // The dialog is cancelled: the address is forgotten, so it is proposed again.
  service_->Call("smartHistory.forget", {{"address", server_.Url("/daily")}});
  const size_t before = events.size();
  service_->Call("smartHistory.navigated", daily);
  EXPECT_TRUE(Proposed(events, server_.Url("/daily"), before)) << events.Dump();

  // The choice of what Smart History does from now on is stored with an answer.
  answer = service_->Call("smartHistory.answer", {{"checked", Json::array()}, {"autoSH", 2}});
  EXPECT_EQ(answer["added"], Json::array());
  EXPECT_EQ(service_->Call("settings.get")["values"]["AutoSH"], 2);
  EXPECT_EQ(service_->Call("smartHistory.state")["autoSH"], 2);

  Json error =
      service_->CallError("smartHistory.answer", {{"checked", Json::array({{{"title", "x"}}})}});
  EXPECT_EQ(error["code"], "invalid-params");
  error = service_->CallError("smartHistory.answer", {{"checked", Json::array()}, {"autoSH", 3}});
  EXPECT_EQ(error["code"], "invalid-params");
  error = service_->CallError("smartHistory.navigated", Json::object());
  EXPECT_EQ(error["code"], "invalid-params");
}

TEST_F(HistoryApiTest, DetectionFindsPagesVisitedOnFourDays) {
  service_.emplace();
  const Json found = service_->Call("smartHistory.detect");
  EXPECT_EQ(found["status"], "found");
  EXPECT_EQ(found["message"],
            "Based on your browsing history, the following pages appear to be frequently visited.");
  // Often has three History items (repeats 2) and is dropped; Daily has five.
  ASSERT_EQ(found["pages"].size(), 1u) << found.dump();
  EXPECT_EQ(found["pages"][0]["title"], "Daily");
  EXPECT_EQ(found["pages"][0]["address"], server_.Url("/daily"));
  EXPECT_EQ(found["historyKeptShort"], false);
}

TEST_F(HistoryApiTest, NothingFoundInAHistoryKeptShort) {
  // Another profile, whose browser runs, keeps ten days and has nothing yet.
  WriteFileBytes(firefox() + "/profiles.ini", "[Profile0]\nPath=q\n");
  ASSERT_TRUE(CreateDirectories(firefox() + "/q").ok());
  WriteFileBytes(firefox() + "/q/prefs.js", "user_pref(\"browser.history_expire_days\", 10);\n");
  BrowserDatabase running(firefox() + "/q/places.sqlite", BrowserSchema::kFirefoxPlaces);
  service_.emplace();
  const Json nothing = service_->Call("smartHistory.detect");
  EXPECT_EQ(nothing["status"], "nothingFound");
  EXPECT_EQ(nothing["message"], "Could not find any frequently visited pages.");
  EXPECT_EQ(nothing["pages"], Json::array());
  EXPECT_EQ(nothing["historyKeptShort"], true);
  EXPECT_EQ(service_->Call("smartHistory.state")["historyKeptShort"], true);
}

// The first entry of the tree with this text, depth first.
const Json* Find(const Json& entry, const std::string& text) {
  if (entry["text"] == text) return &entry;
  const auto children = entry.find("children");
  if (children == entry.end()) return nullptr;
  for (const Json& child : *children) {
    if (const Json* found = Find(child, text)) return found;
  }
  return nullptr;
}

TEST_F(HistoryApiTest, ImportAddsTheCheckedFavoritesOnceAndSaysWhyOneFailed) {
  ASSERT_EQ(RunTidewell({"add", server_.Url("/weekly"), "News"}).status, 0);
  ASSERT_EQ(RunTidewell({"add", server_.Url("/often"), "Often"}).status, 0);
  service_.emplace();
  EventStream events(service_->port(), service_->secret());
  const Json fill = service_->Call("import.fill", {{"source", "favorites"}});
  EXPECT_FALSE(fill.contains("error")) << fill.dump();
  const Json& root = fill["tree"];
  EXPECT_EQ(root["text"], "Favorites");
  EXPECT_EQ(root["state"], "none");
  const Json* mail = Find(root, "Mail");
  const Json* news = Find(root, "News");
  ASSERT_TRUE(mail && news) << root.dump();
  EXPECT_EQ((*mail)["state"], "notChecked");
  EXPECT_EQ((*mail)["address"], server_.Url("/mail"));

  Json added = service_->Call(
      "import.add",
      {{"token", fill["token"]}, {"checked", Json::array({(*mail)["id"], (*news)["id"]})}});
  EXPECT_EQ(added["added"], 1);
  EXPECT_EQ(added["addError"]["message"], "A page with this title already exists.");
  EXPECT_EQ(added["error"]["message"],
            "An error occurred while adding the favorite pages you selected.");
  EXPECT_EQ(added["error"]["stringId"], 129);
  EXPECT_EQ((*Find(added["tree"], "Mail"))["state"], "added");
  EXPECT_EQ((*Find(added["tree"], "News"))["state"], "checked");
  EXPECT_TRUE(events.WaitFor("page", [](const Json& d) { return d["page"]["title"] == "Mail"; }));
  // Back and on again: Mail is not added twice.
  added = service_->Call("import.add",
                         {{"token", fill["token"]}, {"checked", Json::array({(*mail)["id"]})}});
  EXPECT_EQ(added["added"], 0);
  EXPECT_FALSE(added.contains("error"));

  // The History tree: an address that is already a page has no check box.
  const Json history = service_->Call("import.fill", {{"source", "history"}})["tree"];
  EXPECT_EQ(history["text"], "History");
  const Json* often = Find(history, "Often");
  const Json* daily = Find(history, "Daily");
  ASSERT_TRUE(often && daily) << history.dump();
  EXPECT_EQ((*often)["state"], "none");
  EXPECT_EQ((*daily)["state"], "notChecked");
  EXPECT_EQ(history["children"][0]["folder"], true);

  // A "bookmarks file" that cannot be read (a folder): the tree keeps the browsers' bookmarks and
  // says so.
  const Json unreadable = service_->Call(
      "import.fill", {{"source", "favorites"},
                      {"bookmarkFiles", Json::array({sandbox_.Sub("bookmarks.html", true)})}});
  ASSERT_TRUE(unreadable.contains("error")) << unreadable.dump();
  EXPECT_EQ(unreadable["error"]["message"],
            "An error occurred while loading your list of favorite web pages.");
  EXPECT_TRUE(Find(unreadable["tree"], "Mail"));

  EXPECT_EQ(service_->CallError("import.fill", {{"source", "cookies"}})["code"], "invalid-params");
  EXPECT_EQ(
      service_->CallError("import.add", {{"token", fill["token"]}, {"checked", "all"}})["code"],
      "invalid-params");
  EXPECT_EQ(service_->CallError("import.add", {{"checked", Json::array()}})["code"],
            "invalid-params");
  EXPECT_EQ(service_->CallError("import.add", {{"token", 999}, {"checked", Json::array()}})["code"],
            "internal");
}

// Two windows import at once, each from a tree of its own: the ids of one tree never reach into
// the other's, however the fills and adds interleave.
TEST_F(HistoryApiTest, TwoWindowsImportingAtOnceEachAddFromTheirOwnTree) {
  const auto shortcuts = [&](const std::string& folder, const std::string& title) {
    WriteFileBytes(sandbox_.Sub(folder, true) + "/" + title + ".url",
                   "[InternetShortcut]\nURL=" + server_.Url("/" + title) + "\n");
    server_.Serve("/" + title, 200, "<html><body>x</body></html>");
    return Json{{"source", "favorites"}, {"shortcutFolders", {sandbox_.Sub(folder)}}};
  };
  service_.emplace();
  EventStream events(service_->port(), service_->secret());
  const auto added = [&](const std::string& title) {
    return events.WaitFor("page", [&](const Json& d) { return d["page"]["title"] == title; })
        .has_value();
  };

  // The first fills with a folder of shortcuts, the second without; the first then adds from the
  // end of its tree, where the second's has nothing.
  const Json first = service_->Call("import.fill", shortcuts("first", "Harbour"));
  const Json second = service_->Call("import.fill", {{"source", "favorites"}});
  ASSERT_NE(first["token"], second["token"]);
  const Json* harbour = Find(first["tree"], "Harbour");
  ASSERT_TRUE(harbour) << first.dump();
  ASSERT_FALSE(Find(second["tree"], "Harbour"));
  Json result = service_->Call(
      "import.add", {{"token", first["token"]}, {"checked", Json::array({(*harbour)["id"]})}});
  EXPECT_EQ(result["added"], 1) << result.dump();
  EXPECT_TRUE(added("Harbour"));
  // The second adds Mail by its own id; its tree knows nothing of the first's adds.
  const Json* mail = Find(second["tree"], "Mail");
  ASSERT_TRUE(mail);
  result = service_->Call("import.add",
                          {{"token", second["token"]}, {"checked", Json::array({(*mail)["id"]})}});
  EXPECT_EQ(result["added"], 1) << result.dump();
  EXPECT_FALSE(Find(result["tree"], "Harbour"));

  // Both at the same moment, on two connections: both trees are filled before either adds.
  const Json request_a = shortcuts("a", "Ferry");
  const Json request_b = shortcuts("b", "Lighthouse");
  std::latch filled(2);
  std::vector<std::string> failures;
  std::mutex failures_mutex;
  const auto import = [&](const Json& request, const std::string& title) {
    const Json fill = service_->Call("import.fill", request);
    filled.arrive_and_wait();
    const Json* entry = Find(fill["tree"], title);
    const Json reply =
        entry ? service_->Call("import.add", {{"token", fill["token"]},
                                              {"checked", Json::array({(*entry)["id"]})}})
              : Json();
    const Json* after = entry ? Find(reply["tree"], title) : nullptr;
    if (!after || (*after)["state"] != "added" || reply["added"] != 1) {
      std::lock_guard lock(failures_mutex);
      failures.push_back(title + ": " + reply.dump());
    }
  };
  std::thread a(import, request_a, "Ferry");
  std::thread b(import, request_b, "Lighthouse");
  a.join();
  b.join();
  EXPECT_TRUE(failures.empty()) << failures.front();
  EXPECT_TRUE(added("Ferry"));
  EXPECT_TRUE(added("Lighthouse"));
}

}  // namespace
}  // namespace tw::test
