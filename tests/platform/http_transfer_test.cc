#include "platform/http_transfer.h"

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <openssl/x509_vfy.h>

#include <chrono>

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

TEST(HttpTransferTest, TheTimeOutMeasuresInactivityNotTheWholeTransfer) {
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
  HttpTransfer transfer;
  EXPECT_EQ(FailureOf(transfer.Perform(Get(stalling.Url("/"), milliseconds(300)), nullptr)),
            err::kInternetTimeout);
  Result<HttpResponse> slow = transfer.Perform(Get(trickling.Url("/"), milliseconds(400)), nullptr);
  ASSERT_TRUE(slow.ok()) << FailureOf(slow);
  EXPECT_EQ(slow->body, "xxxxxxxxxx");
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
