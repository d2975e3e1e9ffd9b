// RequestThread against real servers on loopback.
#include "checking/request_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

#include "pagedb/error_log.h"
#include "pagefile/page_record.h"
#include "platform/http_headers.h"
#include "support/http_test_server.h"
#include "support/raw_http_server.h"
#include "support/sandbox.h"

namespace tw {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using test::HttpDate;
using test::RawConnection;
using test::RawHttpServer;
using test::TestHttpServer;

class RequestThreadTest : public testing::Test {
 protected:
  RequestThreadTest() {
    auto context = std::make_shared<RequestContext>();
    context->user_agent = "Tidewell test agent";
    context_ = context;
  }

  void UseCookies(const std::string& cookies_txt) {
    auto context = std::make_shared<RequestContext>(*context_);
    context->cookies = std::make_shared<CookieJar>(CookieJar::Sources{cookies_txt, {}});
    context_ = context;
  }

  // Posts a request and waits for its outcome.
  void Fetch(RequestThread& thread, const std::string& url, bool head_only = false,
             bool library_cookies = false) {
    ASSERT_TRUE(thread.PostRequest(url, head_only, library_cookies).ok());
    ASSERT_TRUE(thread.done_event().Wait(seconds(60)));
  }

  std::shared_ptr<const RequestContext> context_;
};

TEST_F(RequestThreadTest, FetchesThePageAsAddressedWithItsBodyAndTimes) {
  TestHttpServer server;
  server.Serve("/Dir/Page.HTML", 200, "<html>page</html>",
               {{"Last-Modified", "Sun, 06 Nov 1994 08:49:37 GMT"}});
  RequestThread thread(context_);
  const std::string url = server.Url("/Dir/Page.HTML?Q=Upper");
  Fetch(thread, "HTTP://127.0.0.1" + url.substr(url.find(':', 6)));
  EXPECT_EQ(thread.result(), kRequestSuccess);
  EXPECT_EQ(thread.status(), 200);
  EXPECT_EQ(thread.address(), url);  // scheme lowered, path and query as given
  EXPECT_FALSE(thread.last_modified().IsZero());
  EXPECT_TRUE(thread.expires().IsZero());
  EXPECT_EQ(thread.TakeBody(), "<html>page</html>");
  EXPECT_FALSE(thread.TakeBody());
  thread.CloseRequest();
  EXPECT_EQ(thread.result(), kRequestFailure);

  const test::RecordedRequest sent = server.requests().at(0);
  EXPECT_EQ(sent.target, "/Dir/Page.HTML?Q=Upper");
  EXPECT_EQ(sent.Header("User-Agent"), "Tidewell test agent");
  EXPECT_EQ(sent.Header("Pragma"), "no-cache");
  EXPECT_EQ(sent.Header("Cache-Control"), "no-cache");
  EXPECT_FALSE(sent.Header("Cookie"));
}

TEST_F(RequestThreadTest, ErrorStatusesEndAsHttpErrorsWithoutBody) {
  TestHttpServer server;
  server.Serve("/teapot", 418, "short and stout");
  server.Serve("/temporary", 307, "moved", {{"Location", "/elsewhere"}});
  RequestThread thread(context_);
  Fetch(thread, server.Url("/missing"));
  EXPECT_EQ(thread.result(), kRequestHttpError);
  EXPECT_EQ(thread.code(), 404u);
  EXPECT_EQ(*PageErrorText(StatusHttpError, thread.code()), "Object not found");
  EXPECT_FALSE(thread.TakeBody());
  thread.CloseRequest();
  Fetch(thread, server.Url("/teapot"));
  EXPECT_EQ(thread.code(), 418u);
  EXPECT_FALSE(PageErrorText(StatusHttpError, thread.code()).ok());  // a status with no text
  thread.CloseRequest();
  Fetch(thread, server.Url("/temporary"));
  EXPECT_EQ(thread.result(), kRequestHttpError);
  EXPECT_EQ(thread.code(), 307u);
  EXPECT_EQ(server.request_count(), 3u);  // a 307 is not followed
}

TEST_F(RequestThreadTest, FollowsSixRedirectsAndFailsOnTheSeventh) {
  TestHttpServer server;
  for (int i = 0; i < 7; ++i) {
    // Relative and absolute targets by turns.
    const std::string next = "/r" + std::to_string(i + 1);
    server.Redirect("/r" + std::to_string(i), i % 2 ? 302 : 303, i % 2 ? next : server.Url(next));
  }
  server.Serve("/r6", 200, "end of six");
  RequestThread thread(context_);
  Fetch(thread, server.Url("/r0"));
  EXPECT_EQ(thread.result(), kRequestSuccess);
  EXPECT_EQ(thread.redirect_count(), 6u);
  EXPECT_EQ(thread.redirect_kind(), RedirectKind::kTemporary);
  EXPECT_EQ(thread.TakeBody(), "end of six");
  thread.CloseRequest();

  server.Redirect("/r6", 302, "/r7");
  Fetch(thread, server.Url("/r0"));
  EXPECT_EQ(thread.result(), kRequestFailure);
  EXPECT_EQ(thread.code(), err::kInternetItemNotFound);
}

TEST_F(RequestThreadTest, APermanentMoveSurvivesATemporaryOneLaterInTheChain) {
  TestHttpServer server;
  server.Redirect("/start", 301, "/a");
  server.Redirect("/a", 302, server.Url("/b"));
  server.Redirect("/b", 301, "/c");
  server.Serve("/c", 200, "arrived");
  RequestThread thread(context_);
  Fetch(thread, server.Url("/start"));
  EXPECT_EQ(thread.result(), kRequestSuccess);
  EXPECT_EQ(thread.redirect_kind(), RedirectKind::kPermanent);
  EXPECT_EQ(thread.TakePermanentAddress(), server.Url("/a"));
  EXPECT_FALSE(thread.TakePermanentAddress());
}

TEST_F(RequestThreadTest, HeadBringsStatusAndTimesButNeverABody) {
  TestHttpServer server;
  const FileTime now = Now();
  server.Serve("/page", 200, std::string(5000, 'b'),
               {{"Expires", HttpDate(AddSeconds(now, 3600))}});
  RequestThread thread(context_);
  Fetch(thread, server.Url("/page"), /*head_only=*/true);
  EXPECT_EQ(thread.result(), kRequestSuccess);
  EXPECT_EQ(thread.status(), 200);
  EXPECT_FALSE(thread.expires().IsZero());
  EXPECT_EQ(thread.body_length(), 0u);
  EXPECT_FALSE(thread.TakeBody());
  EXPECT_EQ(server.requests().at(0).method, "HEAD");
}

TEST_F(RequestThreadTest, ShortBodiesFailOnlyWhenALengthWasAnnounced) {
  RawHttpServer server([](RawConnection& c) {
    const std::string head = c.ReadRequest();
    const bool announced = head.find("/announced") != std::string::npos;
    c.Send(std::string("HTTP/1.1 200 OK\r\n") +
           (announced ? "Content-Length: 1000\r\n" : "Connection: close\r\n") + "\r\n" +
           std::string(600, 'x'));
  });
  RequestThread thread(context_);
  Fetch(thread, server.Url("/announced"));
  EXPECT_EQ(thread.result(), kRequestFailure);
  EXPECT_EQ(thread.code(), err::kInsufficientBuffer);
  EXPECT_FALSE(thread.TakeBody());
  thread.CloseRequest();
  Fetch(thread, server.Url("/unannounced"));
  EXPECT_EQ(thread.result(), kRequestSuccess);
  EXPECT_EQ(thread.body_length(), 600u);
}

TEST_F(RequestThreadTest, SlowAndEndlessServersFailWithoutHangingOrExhaustingMemory) {
  RawHttpServer server([](RawConnection& c) {
    const std::string head = c.ReadRequest();
    if (head.find("/slow") != std::string::npos) {
      c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nstart");
      c.WaitForPeerClose(milliseconds(60000));
      return;
    }
    if (!c.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n")) return;
    const std::string chunk = "10000\r\n" + std::string(0x10000, 'z') + "\r\n";
    while (c.Send(chunk)) {
    }
  });
  RequestThread thread(context_);
  thread.set_timeout_ms(300);
  Fetch(thread, server.Url("/slow"));
  EXPECT_EQ(thread.result(), kRequestFailure);
  EXPECT_EQ(thread.code(), err::kInternetTimeout);
  thread.CloseRequest();
  Fetch(thread, server.Url("/endless"));
  EXPECT_EQ(thread.result(), kRequestFailure);
  EXPECT_EQ(thread.code(), err::kNotEnoughMemory);
  EXPECT_FALSE(thread.TakeBody());
}

TEST_F(RequestThreadTest, TheDeadlineBoundsTheWholeRequestItsRedirectsIncluded) {
  // Every answer takes 300 ms, well within the time-out; six redirects and the page take two.
  TestHttpServer server;
  for (int i = 0; i < 7; ++i) {
    server.On("/r" + std::to_string(i),
              [&server, i](const httplib::Request&, httplib::Response& res) {
                server.Pause(milliseconds(300));
                if (i < 6) {
                  res.status = 302;
                  res.set_header("Location", "/r" + std::to_string(i + 1));
                } else {
                  res.set_content("arrived", "text/plain");
                }
              });
  }
  auto context = std::make_shared<RequestContext>(*context_);
  context->request_deadline = milliseconds(1000);
  RequestThread hurried(context);
  hurried.set_timeout_ms(1000);
  Fetch(hurried, server.Url("/r0"));
  EXPECT_EQ(hurried.result(), kRequestFailure);
  EXPECT_EQ(hurried.code(), err::kInternetTimeout);
  EXPECT_GE(hurried.redirect_count(), 1u);
  EXPECT_LT(hurried.redirect_count(), 6u);
  EXPECT_FALSE(hurried.TakeBody());

  context->request_deadline = milliseconds(10000);
  RequestThread patient(context);
  patient.set_timeout_ms(1000);
  Fetch(patient, server.Url("/r0"));
  EXPECT_EQ(patient.result(), kRequestSuccess);
  EXPECT_EQ(patient.TakeBody(), "arrived");
}

TEST_F(RequestThreadTest, ExplicitCookiesAreTheLookupsAndLibraryCookiesTheEngines) {
  test::Sandbox sandbox;
  test::WriteFileBytes(sandbox.Sub("cookies.txt"),
                       "127.0.0.1\tFALSE\t/\tFALSE\t0\tsession\tabc\n"
                       "127.0.0.1\tFALSE\t/\tTRUE\t0\tsecure\tnever-over-http\n"
                       "127.0.0.1\tFALSE\t/nocookies/\tFALSE\t1\texpired\tlong-ago\n");
  UseCookies(sandbox.Sub("cookies.txt"));
  TestHttpServer server;
  server.On("/hop", [](const httplib::Request&, httplib::Response& res) {
    res.status = 302;
    res.set_header("Location", "/landing");
    res.set_header("Set-Cookie", "hop=1; Path=/");
  });
  server.Serve("/landing", 200, "here");
  RequestThread thread(context_);
  Fetch(thread, server.Url("/hop"), false, /*library_cookies=*/false);
  ASSERT_EQ(thread.result(), kRequestSuccess);
  thread.CloseRequest();
  Fetch(thread, server.Url("/hop"), false, /*library_cookies=*/true);
  ASSERT_EQ(thread.result(), kRequestSuccess);
  thread.CloseRequest();
  Fetch(thread, server.Url("/landing"), false, /*library_cookies=*/false);
  thread.CloseRequest();

  const std::vector<test::RecordedRequest> seen = server.requests();
  ASSERT_EQ(seen.size(), 5u);
  // Explicit: the lookup's cookies on both turns, and nothing the first response set.
  EXPECT_EQ(seen[0].Header("Cookie"), "session=abc");
  EXPECT_EQ(seen[1].Header("Cookie"), "session=abc");
  // Library: the engine's cookies, and on the second turn what the first response set.
  EXPECT_EQ(seen[2].Header("Cookie"), "session=abc");
  EXPECT_EQ(seen[3].Header("Cookie"), "session=abc; hop=1");
  // Back to explicit: what the engine had learned is not sent.
  EXPECT_EQ(seen[4].Header("Cookie"), "session=abc");
  thread.CloseRequest();

  // Over TLS the secure cookie goes out in both modes.
  test::TestCertificate certificate(sandbox);
  TestHttpServer secure_server(certificate);
  secure_server.Serve("/", 200, "tls");
  test::ScopedEnv trust("CURL_CA_BUNDLE", certificate.cert_path());
  Fetch(thread, secure_server.Url("/"), false, false);
  thread.CloseRequest();
  Fetch(thread, secure_server.Url("/"), false, true);
  thread.CloseRequest();
  ASSERT_EQ(secure_server.request_count(), 2u);
  for (const test::RecordedRequest& r : secure_server.requests()) {
    EXPECT_EQ(r.Header("Cookie"), "session=abc; secure=never-over-http");
  }

  // No entry for the page: no Cookie header at all.
  test::WriteFileBytes(sandbox.Sub("cookies.txt"), "other.org\tFALSE\t/\tFALSE\t0\tx\ty\n");
  Fetch(thread, server.Url("/landing"));
  EXPECT_FALSE(server.requests().back().Header("Cookie"));
}

TEST_F(RequestThreadTest, CancelEndsARunningRequestAtOnce) {
  RawHttpServer silent([](RawConnection& c) {
    c.ReadRequest();
    c.WaitForPeerClose(milliseconds(60000));
  });
  TestHttpServer server;
  server.Serve("/", 200, "fine");
  RequestThread thread(context_);
  thread.set_timeout_ms(60000);
  ASSERT_TRUE(thread.PostRequest(silent.Url("/"), false, false).ok());
  ASSERT_TRUE(test::WaitFor([&] { return silent.requests().size() == 1; }));
  EXPECT_FALSE(thread.IsDone());
  EXPECT_EQ(thread.PostRequest(server.Url("/"), false, false).code(), err::kBusy);
  std::thread([&] { thread.Cancel(); }).join();
  ASSERT_TRUE(thread.done_event().Wait(seconds(10)));
  EXPECT_EQ(thread.result(), kRequestFailure);
  EXPECT_EQ(thread.code(), err::kInternetOperationCancelled);
  thread.CloseRequest();

  Fetch(thread, server.Url("/"));  // the same thread and handle serve the next request
  EXPECT_EQ(thread.result(), kRequestSuccess);
  thread.CloseRequest();

  // Closing the root cuts a running request short and ends the thread; posting starts afresh.
  ASSERT_TRUE(thread.PostRequest(silent.Url("/"), false, false).ok());
  ASSERT_TRUE(test::WaitFor([&] { return silent.requests().size() == 2; }));
  thread.CloseRequest({.end_thread = true});
  EXPECT_FALSE(thread.HasThread());
  EXPECT_TRUE(thread.IsDone());
  EXPECT_EQ(thread.result(), kRequestFailure);
  Fetch(thread, server.Url("/"));
  EXPECT_EQ(thread.result(), kRequestSuccess);
}

TEST_F(RequestThreadTest, AThreadEndedOnAFailureIsRestartedByTheNextRequest) {
  TestHttpServer server;
  server.Serve("/", 200, "back");
  RequestThread thread(context_);
  Fetch(thread, "");
  EXPECT_EQ(thread.result(), kRequestFailure);
  EXPECT_EQ(thread.code(), err::kInternetInvalidUrl);
  ASSERT_TRUE(thread.ended_event().Wait(seconds(10)));
  thread.CloseRequest();
  Fetch(thread, server.Url("/"));
  EXPECT_EQ(thread.result(), kRequestSuccess);
  EXPECT_EQ(thread.TakeBody(), "back");
}

}  // namespace
}  // namespace tw
