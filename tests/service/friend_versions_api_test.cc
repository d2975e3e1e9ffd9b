// Page versions and Tell a Friend through a real `tidewell serve`: the versions a check kept in
// the page folder, what changed since one of them, and the Tell a Friend dialog's calls.
#include <gtest/gtest.h>

#include "cli/run_tidewell.h"
#include "pagefile/page_record.h"
#include "pagefile/page_versions.h"
#include "service/service_fixture.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"
#include "support/sandboxed_user.h"

namespace tw::test {
namespace {

class FriendVersionsApiTest : public SandboxedUserTest {
 protected:
  std::string folder() const { return home_.home() + "/Documents/My Tidewell"; }
  // A version of the page as a check keeps it when it finds the page changed.
  void KeepVersion(const std::string& title, const std::string& content) {
    PageRecord record;
    record.title = title;
    record.SetAddress("http://example.org/news");
    record.SetContent(content);
    ASSERT_TRUE(PageVersions::Open(folder())->Keep(record, Now(), kDefaultKeptVersions).ok());
  }

  ServiceProcess service_;
};

TEST_F(FriendVersionsApiTest, VersionsAndTheChangesSinceOne) {
  ASSERT_EQ(RunTidewell({"add", "http://127.0.0.1:9/news", "News"}).status, 0);
  Json error = service_.CallError("pages.changes", {{"title", "News"}});
  EXPECT_EQ(error["code"], "no-earlier-version");
  EXPECT_EQ(service_.Call("pages.versions", {{"title", "News"}})["versions"], Json::array());

  KeepVersion("News", "<html><body><p>Rain in the morning.</p></body></html>");
  KeepVersion("News", "<html><body><p>Sun all day.</p></body></html>");
  const Json versions = service_.Call("pages.versions", {{"title", "News"}})["versions"];
  ASSERT_EQ(versions.size(), 2u);
  EXPECT_GT(versions[0]["id"], versions[1]["id"]);  // newest first
  EXPECT_EQ(versions[0]["address"], "http://example.org/news");
  EXPECT_TRUE(versions[0]["replacedTime"].is_string());

  // The page itself holds no content yet: everything of the version was removed.
  const Json changes =
      service_.Call("pages.changes", {{"title", "News"}, {"version", versions[1]["id"]}});
  EXPECT_EQ(changes["title"], "News");
  EXPECT_EQ(changes["address"], "http://127.0.0.1:9/news");
  EXPECT_EQ(changes["version"]["id"], versions[1]["id"]);
  ASSERT_EQ(changes["documents"].size(), 1u);
  const Json& page = changes["documents"][0];
  EXPECT_TRUE(page["changed"]);
  std::string removed;
  for (const Json& run : page["text"]) {
    EXPECT_NE(run["kind"], "added");
    if (run["kind"] == "removed") removed += run["text"].get<std::string>();
  }
  EXPECT_NE(removed.find("Rain in the morning."), std::string::npos) << page.dump();
  EXPECT_FALSE(page["html"].empty());

  error = service_.CallError("pages.changes", {{"title", "News"}, {"version", "newest"}});
  EXPECT_EQ(error["code"], "invalid-params");
  error = service_.CallError("pages.versions", {{"title", "Nobody"}});
  EXPECT_EQ(error["code"], "no-such-page");
}

TEST_F(FriendVersionsApiTest, TellAFriendChecksSendsAndRemembers) {
  Json opened = service_.Call("friend.open");
  EXPECT_EQ(opened, (Json{{"toName", ""},
                          {"toAddress", ""},
                          {"fromName", ""},
                          {"fromAddress", ""},
                          {"format", "html"}}));

  Json message = {{"toName", "Ann"},       {"toAddress", "ann@example"},
                  {"fromName", "Carol"},   {"fromAddress", "carol@example.org"},
                  {"format", "plainText"}, {"open", false}};
  Json error = service_.CallError("friend.send", message);
  EXPECT_EQ(error["code"], "mail-address");
  EXPECT_EQ(error["field"], "toAddress");
  EXPECT_EQ(error["stringId"], 214);
  message["toAddress"] = "ann@example.org";
  message["format"] = "rich";
  EXPECT_EQ(service_.CallError("friend.send", message)["code"], "invalid-params");
  message["format"] = "plainText";
  const Json sent = service_.Call("friend.send", message);
  EXPECT_EQ(sent["address"].get<std::string>().rfind("mailto:ann@example.org?", 0), 0u) << sent;
  EXPECT_EQ(sent["opened"], false);
  opened = service_.Call("friend.open");
  EXPECT_EQ(opened["fromName"], "Carol");
  EXPECT_EQ(opened["fromAddress"], "carol@example.org");
  EXPECT_EQ(opened["toName"], "");

  const Json contacts = service_.Call(
      "friend.importVCard",
      {{"text", "BEGIN:VCARD\nVERSION:3.0\nFN:Jo\nEMAIL:jo@example.org\nEND:VCARD\n"}});
  EXPECT_EQ(contacts["contacts"], (Json::array({{{"name", "Jo"}, {"address", "jo@example.org"}}})));
  EXPECT_EQ(service_.CallError("friend.importVCard", Json::object())["code"], "invalid-params");
  error = service_.CallError("friend.importVCard", {{"path", sandbox_.Sub("none.vcf")}});
  EXPECT_EQ(error["code"], "address-book");
  EXPECT_EQ(error["message"], "An error occurred while accessing the Address Book.");
  // No mail program in this HOME.
  EXPECT_EQ(service_.CallError("friend.importAddressBook")["code"], "address-book");
}

}  // namespace
}  // namespace tw::test
