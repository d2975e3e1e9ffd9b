// Local HTTP and HTTPS servers for tests, so that no test touches the real network.
//
// TestHttpServer: cpp-httplib on 127.0.0.1 at a free port, listening from construction to
// destruction. Handlers are set per path (the query is not part of it) at any time, also while
// requests arrive; a path without a handler answers 404. Every request is recorded.
//
//   TestHttpServer server;
//   server.On("/page", [](const httplib::Request&, httplib::Response& res) {
//     res.set_content("<html>hello</html>", "text/html");
//   });
//   Fetch(server.Url("/page"));
//   EXPECT_EQ(server.requests().at(0).headers.find("User-Agent")->second, "...");
//
// HEAD requests reach the GET handler (res.set_content still sets Content-Length; the body is not
// sent). A handler that must wait (a slow server) calls server.Pause(duration), which returns
// early, false, when the server is being destroyed, so a test never hangs on a sleeping handler.
// For HTTPS, make a TestCertificate and trust it by pointing CURL_CA_BUNDLE at it:
//
//   TestCertificate cert(sandbox);                       // for 127.0.0.1 and localhost
//   TestHttpServer server(cert);                         // https://127.0.0.1:PORT
//   ScopedEnv trust("CURL_CA_BUNDLE", cert.cert_path());
//
// RawHttpServer (raw_http_server.h) serves peers that misbehave below HTTP: short bodies, bodies
// that never end, resets, garbage.
#pragma once

#include "platform/file_time.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/sandbox.h"

namespace tw::test {

// Sets an environment variable (or removes it, with nullopt) for the life of the object. Tests
// that set variables must not run requests on other threads of their own meanwhile.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

// A self-signed certificate and its key, made with the openssl tool in the sandbox. The default
// names are 127.0.0.1 and localhost; `names` takes openssl's subjectAltName syntax.
class TestCertificate {
 public:
  explicit TestCertificate(const Sandbox& sandbox,
                           const std::string& names = "IP:127.0.0.1,DNS:localhost");
  const std::string& cert_path() const { return cert_path_; }
  const std::string& key_path() const { return key_path_; }

 private:
  std::string cert_path_;
  std::string key_path_;
};

struct RecordedRequest {
  std::string method;        // "GET", "HEAD", ...
  std::string target;        // path and query as sent
  std::string path;          // without the query
  httplib::Headers headers;  // names compare without regard to case

  // The value of the header, or nullopt when the request had none.
  std::optional<std::string> Header(const std::string& name) const;
};

class TestHttpServer {
 public:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  TestHttpServer();                                             // http://127.0.0.1:PORT
  explicit TestHttpServer(const TestCertificate& certificate);  // https://127.0.0.1:PORT
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  int port() const { return port_; }
  // scheme://127.0.0.1:PORT + path_and_query
  std::string Url(const std::string& path_and_query) const;

  void On(const std::string& path, Handler handler);
  // Answers the path with this status and body (text/html), optionally with extra headers.
  void Serve(const std::string& path, int status, const std::string& body,
             const std::multimap<std::string, std::string>& headers = {});
  // Answers the path with a redirect of this status to `location`.
  void Redirect(const std::string& path, int status, const std::string& location);

  std::vector<RecordedRequest> requests() const;
  size_t request_count() const;
  // Sleeps in a handler; false when the server is being destroyed meanwhile.
  bool Pause(std::chrono::milliseconds duration);

 private:
  void Start();
  void Dispatch(const httplib::Request& request, httplib::Response& response);

  std::unique_ptr<httplib::Server> server_;
  std::string scheme_;
  int port_ = -1;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable stopping_cv_;
  bool stopping_ = false;
  std::map<std::string, Handler> handlers_;
  std::vector<RecordedRequest> requests_;
};

// The time as an HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT"), in whole seconds.
std::string HttpDate(FileTime time);

}  // namespace tw::test
