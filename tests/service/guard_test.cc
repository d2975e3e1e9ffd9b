// The guard of `tidewell serve`, against the real service over HTTP: what a stranger sends is
// refused with a clear status and changes nothing.
#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "service/guard.h"
#include "service/instance.h"
#include "service/service_fixture.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"
#include "support/sandboxed_user.h"

namespace tw::test {
namespace {

class GuardTest : public SandboxedUserTest {
 protected:
  ServiceProcess service_;

  std::string AddBody() const {
    return Json{{"id", 1}, {"method", "pages.add"}, {"params", {{"address", "example.org"}}}}
        .dump();
  }
  int Post(const httplib::Headers& headers, const std::string& body,
           const std::string& type = "application/json") {
    httplib::Result result = service_.Client().Post("/api", headers, body, type);
    return result ? result->status : -1;
  }
  int Get(const std::string& path, const httplib::Headers& headers) {
    httplib::Result result = service_.Client().Get(path, headers);
    return result ? result->status : -1;
  }
  httplib::Headers With(httplib::Headers headers, const std::string& name,
                        const std::string& value) {
    headers.erase(name);
    headers.emplace(name, value);
    return headers;
  }
};

TEST_F(GuardTest, StrangersAreRefusedAndChangeNothing) {
  const httplib::Headers good = service_.Authorized();
  const std::string bearer = "Bearer " + service_.secret();

  EXPECT_EQ(Post({{"Origin", service_.origin()}}, AddBody()), 401);  // no secret
  EXPECT_EQ(Post(With(good, "Authorization", "Bearer " + std::string(64, 'a')), AddBody()), 401);
  EXPECT_EQ(Post(With(good, "Authorization", "Bearer"), AddBody()), 401);
  // DNS rebinding: a name of the attacker's that points at 127.0.0.1.
  EXPECT_EQ(Post(With(good, "Host", "evil.example:" + std::to_string(service_.port())), AddBody()),
            403);
  EXPECT_EQ(Post(With(good, "Host", "127.0.0.1:1"), AddBody()), 403);
  // Another site's page.
  EXPECT_EQ(Post(With(good, "Origin", "http://evil.example"), AddBody()), 403);
  EXPECT_EQ(Post(With(good, "Origin", "null"), AddBody()), 403);
  // The cookie alone, as a browser sends it cross-site without an Origin, is not enough.
  EXPECT_EQ(
      Post({{"Cookie", "tidewell-" + std::to_string(service_.port()) + "=" + service_.secret()}},
           AddBody()),
      403);
  EXPECT_EQ(Post(good, AddBody(), "text/plain"), 415);
  EXPECT_EQ(Post(good, "{\"id\": 1, \"method\": ", "application/json"), 400);
  EXPECT_EQ(Post(good, "[1, 2]"), 400);
  EXPECT_EQ(Post(good, std::string(64, '[') + std::string(64, ']')), 400);
  const std::string huge(17 * 1024 * 1024, ' ');
  EXPECT_EQ(
      Post(good, "{\"method\": \"pages.add\", \"params\": {\"address\": \"example.org\"}}" + huge),
      413);

  EXPECT_EQ(Get("/api/events", {}), 401);
  EXPECT_EQ(Get("/", {}), 401);
  EXPECT_EQ(Get("/", {{"Authorization", bearer}, {"Host", "localhost.evil.example"}}), 403);
  EXPECT_EQ(Get("/api", {{"Authorization", bearer}}), 405);
  EXPECT_EQ(Get("/api/nothing", {{"Authorization", bearer}}), 404);

  // Nothing of it reached the pages.
  EXPECT_TRUE(service_.Call("pages.list")["pages"].empty());
  const std::string folder = home_.home() + "/Documents/My Tidewell";
  Result<std::vector<FoundFile>> files = FindFiles(folder, ".twp");
  ASSERT_TRUE(files.ok());
  EXPECT_TRUE(files->empty());
}

TEST_F(GuardTest, TheOpenedAddressGivesThePageItsCookie) {
  httplib::Client client = service_.Client();
  httplib::Result wrong = client.Get("/open?token=" + std::string(64, '0'));
  ASSERT_TRUE(wrong);
  EXPECT_EQ(wrong->status, 401);
  EXPECT_FALSE(wrong->has_header("Set-Cookie"));

  httplib::Result opened = client.Get(service_.address().substr(service_.origin().size()));
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened->status, 303);
  EXPECT_EQ(opened->get_header_value("Location"), "/");
  const std::string cookie = opened->get_header_value("Set-Cookie");
  const std::string name = "tidewell-" + std::to_string(service_.port());
  EXPECT_EQ(cookie.rfind(name + "=" + service_.secret() + ";", 0), 0u) << cookie;
  EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
  EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos);

  // An address that names a page's changes leads on to the UI with the page named, and with
  // nothing else from the query (the secret stays out of the page's address).
  opened = client.Get(service_.address().substr(service_.origin().size()) +
                      "&changes=Tide%20%26%20Times%3F");
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened->status, 303);
  // (The client hands the Location header back decoded.)
  EXPECT_EQ(opened->get_header_value("Location"), "/?changes=Tide & Times?");
  EXPECT_EQ(service::UiStartQuery({"Tide & Times?"}), "?changes=Tide%20%26%20Times%3F");
  EXPECT_EQ(service::UiStartQuery({std::nullopt, true}), "?smartHistory=1");

  // What the page then sends: the cookie, and its own Origin on every call.
  const httplib::Headers page = {{"Cookie", "other=1; " + name + "=" + service_.secret()},
                                 {"Origin", "http://localhost:" + std::to_string(service_.port())},
                                 {"Host", "localhost:" + std::to_string(service_.port())}};
  httplib::Result call = client.Post("/api", page, R"({"id": "a", "method": "checking.state"})",
                                     "application/json; charset=utf-8");
  ASSERT_TRUE(call);
  EXPECT_EQ(call->status, 200);
  EXPECT_EQ(Json::parse(call->body), (Json{{"id", "a"}, {"result", {{"running", false}}}}));

  httplib::Result index = client.Get("/", page);
  ASSERT_TRUE(index);
  EXPECT_EQ(index->status, 200);
  EXPECT_NE(index->get_header_value("Content-Security-Policy").find("default-src 'self'"),
            std::string::npos);
  EXPECT_EQ(index->get_header_value("X-Content-Type-Options"), "nosniff");
}

TEST(GuardRulesTest, HeadersAreReadStrictly) {
  using namespace tw::service;
  EXPECT_TRUE(IsOwnHost("127.0.0.1:8080", 8080));
  EXPECT_TRUE(IsOwnHost("LOCALHOST:8080", 8080));
  EXPECT_FALSE(IsOwnHost("127.0.0.1:80801", 8080));
  EXPECT_FALSE(IsOwnHost("127.0.0.1", 8080));
  EXPECT_FALSE(IsOwnHost("127.0.0.1.evil:8080", 8080));
  EXPECT_TRUE(IsOwnOrigin("http://127.0.0.1:8080", 8080));
  EXPECT_FALSE(IsOwnOrigin("https://127.0.0.1:8080", 8080));
  EXPECT_FALSE(IsOwnOrigin("http://127.0.0.1:8080/", 8080));

  EXPECT_EQ(CookieValue("a=1; tidewell-1=\"s\" ;b=2", "tidewell-1"), "s");
  EXPECT_EQ(CookieValue("xtidewell-1=s", "tidewell-1"), std::nullopt);
  EXPECT_EQ(BearerToken("bearer  abc "), "abc");
  EXPECT_EQ(BearerToken("Basic abc"), std::nullopt);

  EXPECT_TRUE(SameSecret("abc", "abc"));
  EXPECT_FALSE(SameSecret("abd", "abc"));
  EXPECT_FALSE(SameSecret("abcd", "abc"));
  EXPECT_FALSE(SameSecret("", ""));
  EXPECT_TRUE(IsJsonContentType("Application/JSON ; charset=utf-8"));
  EXPECT_FALSE(IsJsonContentType("application/json-patch"));
}

}  // namespace
}  // namespace tw::test
