// HttpService: the API and the web UI over HTTP on 127.0.0.1 (docs/api.md, HTTP transport), on
// cpp-httplib. Requests pass the guard (guard.h) and go to the dispatcher; each event stream is an
// EventFeed written out as Server-Sent Events, and counts as an open window of the application
// while it lasts.
//
// The HTTP library serves each connection on a thread of a fixed pool, and an event stream keeps
// its thread for as long as it is open: streams are capped at kMaxEventStreams, below the pool,
// so that they never starve ordinary requests.
//
// Threads: Start and Stop on one thread (the service's main thread); the hooks are called on the
// server's threads. Stop ends every stream, lets running requests finish and joins every thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "api/dispatcher.h"
#include "app/application.h"
#include "platform/error.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace tw::service {

class HttpService {
 public:
  static constexpr size_t kThreads = 12;
  static constexpr size_t kMaxEventStreams = 8;
  static constexpr size_t kMaxRequestBody = 16 * 1024 * 1024;
  // An idle event stream is sent a comment this often. It is also how a client that went away is
  // found: the write after the one its system refused fails. A closed window may hold the Updated
  // Pages dialog, which goes to another window only once it is found gone, so this is short.
  static constexpr std::chrono::seconds kHeartbeat{2};

  HttpService(app::Application& app, api::Dispatcher& dispatcher);
  ~HttpService();
  HttpService(const HttpService&) = delete;
  HttpService& operator=(const HttpService&) = delete;

  // Listens on 127.0.0.1:port (0: a free port) and serves on threads of its own; the port bound.
  // Fails with 183 (in use) or the socket's error.
  Result<int> Start(int port, std::string secret);
  void Stop();

  // Called on a server thread whenever an event stream opens or closes, with the count open.
  void SetStreamsChanged(std::function<void(size_t open)> hook);
  size_t open_streams() const;

 private:
  struct Stream;
  void Route();
  bool Guard(const httplib::Request& request, httplib::Response& response) const;
  void Call(const httplib::Request& request, httplib::Response& response);
  void OpenStream(httplib::Response& response);
  void ServeUi(const httplib::Request& request, httplib::Response& response) const;
  enum class StreamChange { kOpened, kClosed };
  // Keeps or forgets the stream and tells the streams-changed hook how many are open.
  void ChangeStreams(const std::shared_ptr<Stream>& stream, StreamChange change);

  app::Application& app_;
  api::Dispatcher& dispatcher_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  std::atomic<bool> loop_ended_{false};  // the server's accept loop has returned
  int port_ = 0;
  std::string secret_;
  std::atomic<bool> stopping_{false};

  mutable std::mutex mutex_;
  std::set<std::shared_ptr<Stream>> streams_;
  std::function<void(size_t)> streams_changed_;
};

}  // namespace tw::service
