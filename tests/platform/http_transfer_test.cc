#include "platform/http_transfer.h"

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <openssl/x509_vfy.h>

#include <chrono>
#include <thread>

#include "support/http_test_server.h"
#include "support/raw_http_server.h"
#include "support/sandbox.h"

namespace tw {
namespace {

using std::chrono::milliseconds;
using test::RawConnection;
using test::RawHttpServer;
using test::TestHttpServer;

HttpTransferRequest Get(const std::string& url, milliseconds timeout = milliseconds(10000)) {
  HttpTransferRequest request;
  request.url = url;
  request.user_agent = "test agent";
  request.timeout = timeout;
  return request;
}

uint32_t FailureOf(const Result<HttpResponse>& response) {
  return response.ok() ? 0 : response.error().code();
}

TEST(HttpTransferTest, SendsTheRequestAsGivenAndReadsTheResponse) {
  RawHttpServer server([](RawConnection& c) {
    while (!c.ReadRequest().empty()) {
      c.Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nX-Twice: a\r\nx-twice: b\r\n\r\nhello");
    }
  });
  HttpTransfer transfer;
  HttpTransferRequest request = Get(server.Url("/Dir/Page.HTML?Q=X"));
  request.headers = {"Pragma: no-cache", "Accept:"};
  Result<HttpResponse> response = transfer.Perform(request, nullptr);
  ASSERT_TRUE(response.ok()) << FailureOf(response);
  EXPECT_EQ(response->status, 200);
  EXPECT_EQ(response->body, "hello");
  EXPECT_EQ(response->headers.Find("X-TWICE"), "a");
  EXPECT_FALSE(response->received.IsZero());

  request.head_only = true;
  response = transfer.Perform(request, nullptr);
  ASSERT_TRUE(response.ok()) << FailureOf(response);
  EXPECT_TRUE(response->body.empty());

  const std::vector<std::string> heads = server.requests();
  ASSERT_EQ(heads.size(), 2u);
  EXPECT_EQ(heads[0].substr(0, heads[0].find("\r\n")), "GET /Dir/Page.HTML?Q=X HTTP/1.1");
  EXPECT_NE(heads[0].find("\r\nUser-Agent: test agent\r\n"), std::string::npos);
  EXPECT_NE(heads[0].find("\r\nPragma: no-cache\r\n"), std::string::npos);
  EXPECT_EQ(heads[0].find("Accept"), std::string::npos);  // neither Accept nor Accept-Encoding
  EXPECT_EQ(heads[0].find("Cookie"), std::string::npos);
  EXPECT_EQ(heads[1].substr(0, 5), "HEAD ");
  EXPECT_EQ(server.connection_count(), 1u);  // the connection was kept for the second request
}

// How long a failing transfer took.
template <typename F>
milliseconds Timed(F&& perform) {
  const auto start = std::chrono::steady_clock::now();
  perform();
  return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
}

TEST(HttpTransferTest, TheTimeOutMeasuresInactivityAndTheDeadlineTheWholeTransfer) {
  RawHttpServer stalling([](RawConnection& c) {
    c.ReadRequest();
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc");
    c.WaitForPeerClose(milliseconds(20000));
  });
  // Ten pieces 100 ms apart: a second in all, never 400 ms without a byte.
  RawHttpServer trickling([](RawConnection& c) {
    c.ReadRequest();
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n");
    for (int i = 0; i < 10; ++i) {
      if (!c.Pause(milliseconds(100)) || !c.Send("x")) return;
    }
  });
  // A byte every 100 ms for as long as anyone listens: into the body, or into a header line that
  // never ends.
  RawHttpServer endless([](RawConnection& c) {
    const std::string head = c.ReadRequest();
    c.Send(head.find("/header") != std::string::npos
               ? "HTTP/1.1 200 OK\r\nX-Slow: "
               : "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
    while (c.Pause(milliseconds(100)) && c.Send("x")) {
    }
  });
  HttpTransfer transfer;
  EXPECT_EQ(FailureOf(transfer.Perform(Get(stalling.Url("/"), milliseconds(300)), nullptr)),
            err::kInternetTimeout);

  HttpTransferRequest slow = Get(trickling.Url("/"), milliseconds(400));
  slow.deadline = milliseconds(3000);
  Result<HttpResponse> steady = transfer.Perform(slow, nullptr);
  ASSERT_TRUE(steady.ok()) << FailureOf(steady);
  EXPECT_EQ(steady->body, "xxxxxxxxxx");

  // The body never stops coming, so only the deadline ends it. A header line is no progress
  // until it ends, so one that never does is a stall as well.
  for (const std::string path : {"/body", "/header"}) {
    HttpTransferRequest request = Get(endless.Url(path), milliseconds(400));
    request.deadline = milliseconds(1000);
    uint32_t failure = 0;
    const milliseconds took =
        Timed([&] { failure = FailureOf(transfer.Perform(request, nullptr)); });
    EXPECT_EQ(failure, err::kInternetTimeout) << path;
    if (path == "/body") {
      EXPECT_GE(took, milliseconds(1000));
    }
    EXPECT_LT(took, milliseconds(6000)) << path;
  }
}

TEST(HttpTransferTest, CancelEndsATransferAtOnceWhileBytesKeepComing) {
  RawHttpServer endless([](RawConnection& c) {
    c.ReadRequest();
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
    while (c.Pause(milliseconds(50)) && c.Send("x")) {
    }
  });
  Event cancel(EventReset::kManual);
  std::thread canceller([&] {
    if (test::WaitFor([&] { return endless.requests().size() == 1; })) {
      std::this_thread::sleep_for(milliseconds(200));  // well into the body
    }
    cancel.Set();
  });
  HttpTransferRequest request = Get(endless.Url("/"), milliseconds(30000));
  request.deadline = milliseconds(60000);
  HttpTransfer transfer;
  uint32_t failure = 0;
  const milliseconds took = Timed([&] { failure = FailureOf(transfer.Perform(request, &cancel)); });
  canceller.join();
  EXPECT_EQ(failure, err::kInternetOperationCancelled);
  EXPECT_LT(took, milliseconds(10000));
}

// Whatever a server sends, one transfer holds no more than its caps, and what goes past them is
// an invalid response (or, for the body, the out-of-memory failure).
TEST(HttpTransferTest, ServersThatSwellTheResponseAreCutOffAtTheCaps) {
  RawHttpServer swelling([](RawConnection& c) {
    const std::string head = c.ReadRequest();
    auto asked = [&](const char* path) {
      return head.find(std::string(" ") + path + " ") != std::string::npos;
    };
    if (asked("/fields")) {
      if (!c.Send("HTTP/1.1 200 OK\r\n")) return;
      for (int i = 0;
           c.Send("X-Field-" + std::to_string(i) + ": " + std::string(1000, 'v') + "\r\n"); ++i) {
      }
    } else if (asked("/line")) {
      if (!c.Send("HTTP/1.1 200 OK\r\nX-Long: ")) return;
      while (c.Send(std::string(4096, 'a'))) {
      }
    } else if (asked("/interim")) {
      while (c.Send("HTTP/1.1 100 Continue\r\nX-More: yes\r\n\r\n")) {
      }
    } else {
      // In two pieces, so that the body has to grow once it has begun.
      const size_t length = asked("/at-cap") ? 1000 : 1001;
      if (!c.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n" +
                  std::string(600, 'b')) ||
          !c.Pause(milliseconds(50))) {
        return;
      }
      c.Send(std::string(length - 600, 'b'));
    }
  });
  HttpTransfer transfer;
  for (const char* path : {"/fields", "/line", "/interim"}) {
    EXPECT_EQ(FailureOf(transfer.Perform(Get(swelling.Url(path)), nullptr)),
              err::kHttpInvalidServerResponse)
        << path;
  }
  HttpTransferRequest request = Get(swelling.Url("/at-cap"));
  request.max_body = 1000;
  Result<HttpResponse> at_cap = transfer.Perform(request, nullptr);
  ASSERT_TRUE(at_cap.ok()) << FailureOf(at_cap);
  EXPECT_EQ(at_cap->body.size(), 1000u);
  EXPECT_LE(at_cap->body.capacity(), 1000u);  // grown to the cap, not past it
  request.url = swelling.Url("/past-cap");
  EXPECT_EQ(FailureOf(transfer.Perform(request, nullptr)), err::kNotEnoughMemory);
}

TEST(HttpTransferTest, ServersThatNeverAnswerTimeOutWhileConnectingOrWaiting) {
  // Takes what comes (a request, or a TLS client hello) and says nothing.
  RawHttpServer mute([](RawConnection& c) { c.WaitForPeerClose(milliseconds(20000)); });
  HttpTransfer transfer;
  for (const std::string& url :
       {mute.Url("/"), "https://127.0.0.1:" + std::to_string(mute.port()) + "/"}) {
    uint32_t failure = 0;
    const milliseconds took =
        Timed([&] { failure = FailureOf(transfer.Perform(Get(url, milliseconds(300)), nullptr)); });
    EXPECT_EQ(failure, err::kInternetTimeout) << url;
    EXPECT_LT(took, milliseconds(5000)) << url;
  }
  EXPECT_EQ(mute.connection_count(), 2u);
}

TEST(HttpTransferTest, BrokenPeersGiveTheNetworkErrorNumbers) {
  RawHttpServer resetting([](RawConnection& c) {
    c.ReadRequest();
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nabc");
    c.Pause(milliseconds(50));
    c.Reset();
  });
  RawHttpServer silent_close([](RawConnection& c) { c.ReadRequest(); });
  RawHttpServer garbage([](RawConnection& c) {
    c.ReadRequest();
    c.Send("this is not HTTP at all\r\n\r\n");
  });
  HttpTransfer transfer;
  EXPECT_EQ(FailureOf(transfer.Perform(Get(resetting.Url("/")), nullptr)),
            err::kInternetConnectionAborted);
  EXPECT_EQ(FailureOf(transfer.Perform(Get(silent_close.Url("/")), nullptr)),
            err::kHttpInvalidServerResponse);
  EXPECT_EQ(FailureOf(transfer.Perform(Get(garbage.Url("/")), nullptr)),
            err::kHttpInvalidServerResponse);

  int closed_port = 0;
  {
    RawHttpServer gone([](RawConnection&) {});
    closed_port = gone.port();
  }
  EXPECT_EQ(FailureOf(transfer.Perform(Get("http://127.0.0.1:" + std::to_string(closed_port) + "/"),
                                       nullptr)),
            err::kInternetCannotConnect);
  EXPECT_EQ(FailureOf(transfer.Perform(Get("http://no-such-host.invalid/"), nullptr)),
            err::kInternetNameNotResolved);
  // Only HTTP is spoken: a page address can never make us read a local file.
  EXPECT_EQ(FailureOf(transfer.Perform(Get("file:///etc/passwd"), nullptr)),
            err::kInternetUnrecognizedScheme);
}

TEST(HttpTransferTest, GoesThroughTheProxyTheEnvironmentNames) {
  RawHttpServer proxy([](RawConnection& c) {
    c.ReadRequest();
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\nproxied");
  });
  test::ScopedEnv via("http_proxy", proxy.Url(""));
  HttpTransfer transfer;
  Result<HttpResponse> response = transfer.Perform(Get("http://far-away.invalid/x"), nullptr);
  ASSERT_TRUE(response.ok()) << FailureOf(response);
  EXPECT_EQ(response->body, "proxied");
  const std::string head = proxy.requests().at(0);
  EXPECT_EQ(head.substr(0, head.find("\r\n")), "GET http://far-away.invalid/x HTTP/1.1");
}

TEST(HttpTransferTest, TlsIsVerifiedAgainstTheTrustedBundle) {
  test::Sandbox sandbox;
  test::TestCertificate certificate(sandbox);
  TestHttpServer server(certificate);
  server.Serve("/", 200, "secret");
  HttpTransfer transfer;
  {
    test::ScopedEnv untrusted("CURL_CA_BUNDLE", std::nullopt);
    EXPECT_EQ(FailureOf(transfer.Perform(Get(server.Url("/")), nullptr)), err::kInternetInvalidCa);
  }
  test::ScopedEnv trusted("CURL_CA_BUNDLE", certificate.cert_path());
  Result<HttpResponse> response = transfer.Perform(Get(server.Url("/")), nullptr);
  ASSERT_TRUE(response.ok()) << FailureOf(response);
  EXPECT_EQ(response->body, "secret");

  test::Sandbox other;
  test::TestCertificate wrong_name(other, "DNS:elsewhere.test");
  TestHttpServer misnamed(wrong_name);
  test::ScopedEnv trust_it("CURL_CA_BUNDLE", wrong_name.cert_path());
  EXPECT_EQ(FailureOf(transfer.Perform(Get(misnamed.Url("/")), nullptr)),
            err::kInternetSecCertCnInvalid);
}

TEST(HttpTransferTest, MapsEveryFailureInOnePlace) {
  EXPECT_TRUE(MapCurlFailure(CURLE_OK, 0).ok());
  EXPECT_EQ(MapCurlFailure(CURLE_OPERATION_TIMEDOUT, 0).code(), err::kInternetTimeout);
  EXPECT_EQ(MapCurlFailure(CURLE_PARTIAL_FILE, 0).code(), err::kInsufficientBuffer);
  EXPECT_EQ(MapCurlFailure(CURLE_FILESIZE_EXCEEDED, 0).code(), err::kNotEnoughMemory);
  EXPECT_EQ(MapCurlFailure(CURLE_SSL_CONNECT_ERROR, 0).code(), err::kInternetSecurityChannelError);
  EXPECT_EQ(MapCurlFailure(CURLE_PEER_FAILED_VERIFICATION, X509_V_ERR_CERT_HAS_EXPIRED).code(),
            err::kInternetSecCertDateInvalid);
  EXPECT_EQ(MapCurlFailure(CURLE_PEER_FAILED_VERIFICATION, X509_V_ERR_CERT_REVOKED).code(),
            err::kInternetSecCertRevoked);
  EXPECT_EQ(
      MapCurlFailure(CURLE_PEER_FAILED_VERIFICATION, X509_V_ERR_CERT_SIGNATURE_FAILURE).code(),
      err::kInternetSecInvalidCert);
  EXPECT_EQ(MapCurlFailure(CURLE_UNRECOVERABLE_POLL, 0).code(), err::kInternetInternalError);
}

}  // namespace
}  // namespace tw
