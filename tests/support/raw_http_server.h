// RawHttpServer: a bare TCP server on 127.0.0.1 for peers that misbehave below HTTP, where a real
// server library would not: bodies shorter than announced, bodies that never end, stalls, resets,
// garbage, silence.
//
// Every accepted connection runs the script on a thread of its own:
//
//   RawHttpServer server([](RawConnection& c) {
//     c.ReadRequest();
//     c.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(600, 'x'));
//   });                                  // the connection is closed when the script returns
//   Fetch(server.Url("/"));
//
// Every wait of a script (ReadRequest, Send, Pause) returns false or "" once the server is being
// destroyed, so scripts that loop ("while (c.Send(chunk)) {}") end by themselves. The destructor
// stops accepting, wakes every script and joins its thread.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "foundation/event.h"

namespace tw::test {

class RawHttpServer;

class RawConnection {
 public:
  RawConnection(RawHttpServer& server, int fd) : server_(server), fd_(fd) {}
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  // Reads one request head (up to its blank line) and records it; "" when the peer closed first
  // or the server stops.
  std::string ReadRequest();
  // Sends all the bytes; false when the peer is gone or the server stops.
  bool Send(std::string_view bytes);
  // Waits; false when the server stops meanwhile.
  bool Pause(std::chrono::milliseconds duration);
  // Waits until the peer closes its side (or the server stops, or the time-out passes); true when
  // the peer closed.
  bool WaitForPeerClose(std::chrono::milliseconds timeout);
  // Closes with a TCP reset instead of an orderly close.
  void Reset();

 private:
  // Waits for the socket to become readable or writable; false when the server stops first or
  // the time-out passes.
  bool WaitFor(short events, std::chrono::milliseconds timeout);

  RawHttpServer& server_;
  int fd_;
  std::string buffered_;
};

class RawHttpServer {
 public:
  using Script = std::function<void(RawConnection&)>;

  explicit RawHttpServer(Script script);
  ~RawHttpServer();
  RawHttpServer(const RawHttpServer&) = delete;
  RawHttpServer& operator=(const RawHttpServer&) = delete;

  int port() const { return port_; }
  // http://127.0.0.1:PORT + path_and_query
  std::string Url(const std::string& path_and_query) const;
  // The request heads read so far, in order.
  std::vector<std::string> requests() const;
  size_t connection_count() const { return connections_.load(); }

 private:
  friend class RawConnection;
  void AcceptLoop();
  void Record(std::string request);

  Script script_;
  int listen_fd_ = -1;
  int port_ = -1;
  Event stop_{EventReset::kManual};
  std::atomic<size_t> connections_{0};
  std::thread accept_thread_;
  mutable std::mutex mutex_;
  std::vector<std::thread> connection_threads_;
  std::vector<std::string> requests_;
};

}  // namespace tw::test
