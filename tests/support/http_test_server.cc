#include "support/http_test_server.h"

#include <ctime>

#include <stdlib.h>

#include <stdexcept>

#include "support/child_process.h"

namespace tw::test {
namespace {

// Idle keep-alive connections hold up the server's end for this long at most.
constexpr time_t kKeepAliveSeconds = 1;

// Requests to loopback never go through a proxy the environment may name.
void BypassProxiesForLoopback() {
  for (const char* name : {"no_proxy", "NO_PROXY"}) {
    const char* value = std::getenv(name);
    std::string list = value ? value : "";
    if (list.find("127.0.0.1") != std::string::npos) continue;
    list = list.empty() ? "127.0.0.1,localhost" : list + ",127.0.0.1,localhost";
    ::setenv(name, list.c_str(), 1);
  }
}

}  // namespace

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)) {
  if (const char* old = std::getenv(name_.c_str())) saved_ = old;
  if (value) {
    ::setenv(name_.c_str(), value->c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

ScopedEnv::~ScopedEnv() {
  if (saved_) {
    ::setenv(name_.c_str(), saved_->c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

TestCertificate::TestCertificate(const Sandbox& sandbox, const std::string& names)
    : cert_path_(sandbox.Sub("cert.pem")), key_path_(sandbox.Sub("key.pem")) {
  ChildProcess openssl = ChildProcess::Spawn(
      {"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
       "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key_path_, "-out", cert_path_, "-days",
       "2", "-subj", "/CN=Tidewell test", "-addext", "subjectAltName=" + names});
  if (openssl.Wait() != 0) throw std::runtime_error("openssl could not make a certificate");
}

std::optional<std::string> RecordedRequest::Header(const std::string& name) const {
  const auto it = headers.find(name);
  if (it == headers.end()) return std::nullopt;
  return it->second;
}

TestHttpServer::TestHttpServer() : server_(std::make_unique<httplib::Server>()), scheme_("http") {
  Start();
}

TestHttpServer::TestHttpServer(const TestCertificate& certificate)
    : server_(std::make_unique<httplib::SSLServer>(certificate.cert_path().c_str(),
                                                   certificate.key_path().c_str())),
      scheme_("https") {
  if (!server_->is_valid()) throw std::runtime_error("the HTTPS test server cannot start");
  Start();
}

void TestHttpServer::Start() {
  BypassProxiesForLoopback();
  server_->set_keep_alive_timeout(kKeepAliveSeconds);
  const auto dispatch = [this](const httplib::Request& request, httplib::Response& response) {
    Dispatch(request, response);
  };
  server_->Get(".*", dispatch);  // HEAD comes here too
  server_->Post(".*", dispatch);
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("the test server cannot bind");
  // The socket listens from here on; connections wait in its backlog until the loop runs.
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // A stop that comes before the loop runs is lost, and the loop then waits in accept for good:
  // the server is ready only once it runs.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!server_->is_running()) {
    if (std::chrono::steady_clock::now() > deadline) {
      throw std::runtime_error("the test server does not start");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

TestHttpServer::~TestHttpServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stopping_cv_.notify_all();
  server_->stop();
  thread_.join();
}

std::string TestHttpServer::Url(const std::string& path_and_query) const {
  return scheme_ + "://127.0.0.1:" + std::to_string(port_) + path_and_query;
}

void TestHttpServer::On(const std::string& path, Handler handler) {
  std::lock_guard lock(mutex_);
  handlers_[path] = std::move(handler);
}

void TestHttpServer::Serve(const std::string& path, int status, const std::string& body,
                           const std::multimap<std::string, std::string>& headers) {
  On(path, [status, body, headers](const httplib::Request&, httplib::Response& response) {
    response.status = status;
    for (const auto& [name, value] : headers) response.set_header(name.c_str(), value);
    response.set_content(body, "text/html");
  });
}

void TestHttpServer::Redirect(const std::string& path, int status, const std::string& location) {
  On(path, [status, location](const httplib::Request&, httplib::Response& response) {
    response.status = status;
    response.set_header("Location", location);
  });
}

std::vector<RecordedRequest> TestHttpServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

size_t TestHttpServer::request_count() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

bool TestHttpServer::Pause(std::chrono::milliseconds duration) {
  std::unique_lock lock(mutex_);
  return !stopping_cv_.wait_for(lock, duration, [this] { return stopping_; });
}

void TestHttpServer::Dispatch(const httplib::Request& request, httplib::Response& response) {
  Handler handler;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(
        RecordedRequest{request.method, request.target, request.path, request.headers});
    const auto it = handlers_.find(request.path);
    if (it != handlers_.end()) handler = it->second;
  }
  if (handler) {
    handler(request, response);
  } else {
    response.status = 404;
    response.set_content("not found", "text/plain");
  }
}

std::string HttpDate(FileTime time) {
  const time_t since_epoch = static_cast<time_t>(time.ToUnixSeconds());
  tm utc{};
  gmtime_r(&since_epoch, &utc);
  char text[64];
  strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
  return text;
}

}  // namespace tw::test
