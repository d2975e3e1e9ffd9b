// What is dropped on the page list, through a real `tidewell serve`: Internet shortcuts, page
// files handed over as bytes, addresses and paths as text, and where a drop stops.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "cli/run_tidewell.h"
#include "pagefile/page_file.h"
#include "pagefile/title.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "service/service_fixture.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"
#include "support/sandboxed_user.h"

namespace tw::test {
namespace {

// Encoded by OpenSSL, not by the service's own code that decodes it.
std::string Base64(std::string_view bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                                reinterpret_cast<const unsigned char*>(bytes.data()),
                                static_cast<int>(bytes.size()));
  text.resize(static_cast<size_t>(n));
  return text;
}

Json File(const std::string& name, std::string_view bytes) {
  return {{"name", name}, {"contentBase64", Base64(bytes)}};
}

class DropTest : public SandboxedUserTest {
 protected:
  std::string folder() const { return home_.home() + "/Documents/My Tidewell"; }
  // A page file made elsewhere, as the user would drag it from a file manager.
  std::string PageFileBytes(const std::string& title, const std::string& address) {
    const std::string elsewhere = sandbox_.Sub("elsewhere", true);
    PageSummary page;
    page.SetAddress(address);
    EXPECT_FALSE(CreatePageFile(elsewhere, title, page));
    return ReadFileBytes(PagePath(elsewhere, title));
  }
  std::vector<std::string> Titles() {
    std::vector<std::string> titles;
    const Json list = service_.Call("pages.list");
    for (const Json& page : list["pages"]) titles.push_back(page["title"].get<std::string>());
    std::sort(titles.begin(), titles.end());
    return titles;
  }

  ServiceProcess service_;
  EventStream events_{service_.port(), service_.secret()};
};

TEST_F(DropTest, FilesAreTakenInOrderUntilOneCanNotBe) {
  const Json reply = service_.Call(
      "pages.drop",
      {{"files",
        {File("Harbour webcam.url",
              "[Other]\nURL=http://127.0.0.1:9/wrong\n[InternetShortcut]\r\n url = "
              "\"http://127.0.0.1:9/cam\" \r\n"),
         File("notes.txt", "not a page"),
         File("Tide table.twp", PageFileBytes("Tide table", "http://127.0.0.1:9/tides")),
         File("Empty.url", "[InternetShortcut]\nURL=x\n"),
         File("After the stop.url", "[InternetShortcut]\nURL=http://127.0.0.1:9/after\n")}}});
  ASSERT_EQ(reply["added"].size(), 1u);
  EXPECT_EQ(reply["added"][0]["title"], "Harbour webcam");
  ASSERT_EQ(reply["imports"].size(), 1u);
  EXPECT_EQ(reply["imports"][0]["name"], "Tide table.twp");
  EXPECT_EQ(reply["stoppedAt"], "Empty.url");
  EXPECT_FALSE(reply.contains("failure"));

  // The import is known by the dropped file's name, and its bytes are not left behind.
  const uint64_t request = reply["imports"][0]["requestId"];
  const std::optional<Json> done =
      events_.WaitFor("requestDone", [&](const Json& d) { return d["requestId"] == request; });
  ASSERT_TRUE(done) << events_.Dump();
  EXPECT_EQ((*done)["name"], "Tide table.twp");
  EXPECT_TRUE((*done)["ok"]);
  EXPECT_TRUE(WaitFor([&] { return Titles().size() == 2; }));
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Harbour webcam", "Tide table"}));
  EXPECT_EQ(service_.Call("pages.get", {{"title", "Harbour webcam"}})["address"],
            "http://127.0.0.1:9/cam");
  EXPECT_EQ(service_.Call("pages.get", {{"title", "Tide table"}})["address"],
            "http://127.0.0.1:9/tides");
  const std::string dropped = sandbox_.Sub("run") + "/tidewell/dropped";
  EXPECT_TRUE(WaitFor([&] {
    const Result<std::vector<std::string>> staged = ListSubfolders(dropped);
    return !staged.ok() || staged->empty();
  }));

  // A page file whose title is taken is not imported, and says so.
  const Json again = service_.Call(
      "pages.drop",
      {{"files", {File("Tide table.twp", PageFileBytes("Tide table", "http://127.0.0.1:9/x"))}}});
  const uint64_t second = again["imports"][0]["requestId"];
  const std::optional<Json> failed =
      events_.WaitFor("requestDone", [&](const Json& d) { return d["requestId"] == second; });
  ASSERT_TRUE(failed);
  EXPECT_FALSE((*failed)["ok"]);
  EXPECT_EQ(service_.Call("pages.get", {{"title", "Tide table"}})["address"],
            "http://127.0.0.1:9/tides");

  // A shortcut whose address is too long for a page is not lost: the Add Page dialog gets it.
  const Json too_long = service_.Call(
      "pages.drop", {{"files",
                      {File("Long.url", "[InternetShortcut]\nURL=http://127.0.0.1:9/" +
                                            std::string(3000, 'a') + "\n")}}});
  EXPECT_FALSE(too_long.contains("stoppedAt")) << too_long.dump();
  ASSERT_EQ(too_long["added"].size(), 1u) << too_long.dump();
  EXPECT_EQ(too_long["added"][0]["needsDialog"], true);
  EXPECT_EQ(too_long["added"][0]["title"], "Long");
}

TEST_F(DropTest, TextIsAnAddressOrAPageFilesPath) {
  Json reply = service_.Call("pages.drop", {{"text", " http://127.0.0.1:9/surf \n"}});
  ASSERT_EQ(reply["added"].size(), 1u);
  EXPECT_TRUE(WaitFor([&] { return Titles().size() == 1; }));

  // Text that is no web address adds nothing and is no failure.
  reply = service_.Call("pages.drop", {{"text", "ftp://127.0.0.1:9/file"}});
  EXPECT_TRUE(reply["added"].empty());
  EXPECT_FALSE(reply.contains("stoppedAt"));

  const std::string elsewhere = sandbox_.Sub("mine", true);
  PageSummary page;
  page.SetAddress("http://127.0.0.1:9/ferry");
  ASSERT_FALSE(CreatePageFile(elsewhere, "Ferry", page));
  reply = service_.Call("pages.drop", {{"text", PagePath(elsewhere, "Ferry")}});
  ASSERT_EQ(reply["imports"].size(), 1u);
  EXPECT_TRUE(WaitFor([&] { return Titles().size() == 2; }));
  // The dropped path is copied, not moved.
  EXPECT_TRUE(PathExists(PagePath(elsewhere, "Ferry")));
}

TEST_F(DropTest, BadFilesAreRefusedBeforeAnythingIsAdded) {
  Json error = service_.CallError(
      "pages.drop", {{"files",
                      {File("a.url", "[InternetShortcut]\nURL=http://127.0.0.1:9/a\n"),
                       {{"name", "b.url"}, {"contentBase64", "not base64!"}}}}});
  EXPECT_EQ(error["code"], "invalid-params");
  error = service_.CallError("pages.drop", Json::object());
  EXPECT_EQ(error["code"], "invalid-params");
  EXPECT_TRUE(Titles().empty());
}

}  // namespace
}  // namespace tw::test
