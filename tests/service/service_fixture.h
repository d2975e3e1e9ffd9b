// A real `tidewell serve` for tests, run in the test's own home, and clients that talk to it over
// HTTP as the web UI does: API calls, and an event stream read on a thread of its own.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"

namespace tw::test {

using Json = nlohmann::json;

class ServiceProcess {
 public:
  // Starts `tidewell serve --port 0 ARGS...` and reads the address it prints.
  explicit ServiceProcess(const std::vector<std::string>& args = {});
  // Ends it with SIGTERM if it still runs.
  ~ServiceProcess();

  const std::string& address() const { return address_; }
  int port() const { return port_; }
  const std::string& secret() const { return secret_; }
  std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }
  ChildProcess& process() { return process_; }

  // Ends the service with the signal and returns its exit status.
  int Stop(int signal_number = SIGTERM);

  // An API call with the secret and the page's own Origin: the reply envelope.
  Json Envelope(const std::string& method, const Json& params = Json::object());
  // The result of a call that must succeed (a failed test otherwise, and null).
  Json Call(const std::string& method, const Json& params = Json::object());
  // The error of a call that must fail.
  Json CallError(const std::string& method, const Json& params = Json::object());

  // A client for requests of the test's own making.
  httplib::Client Client() const;
  httplib::Headers Authorized() const;

 private:
  ChildProcess process_;
  std::string address_;
  std::string secret_;
  int port_ = 0;
};

// An event stream of a service, read on a thread of its own; every event is kept.
class EventStream {
 public:
  struct Event {
    std::string name;
    Json data;
  };

  // Connects, and returns once the service has sent the whole list (or refused the stream).
  EventStream(int port, const std::string& secret);
  ~EventStream();
  EventStream(const EventStream&) = delete;
  EventStream& operator=(const EventStream&) = delete;

  // Waits for an event of that name that matches, after the `from`-th event; its data.
  std::optional<Json> WaitFor(const std::string& name,
                              const std::function<bool(const Json&)>& match = nullptr,
                              std::chrono::milliseconds timeout = std::chrono::seconds(30),
                              size_t from = 0);
  // Waits for a check pass to begin and end after the `from`-th event.
  bool WaitForCheckPass(size_t from = 0,
                        std::chrono::milliseconds timeout = std::chrono::seconds(30));
  std::vector<Event> Events() const;
  size_t size() const;
  // Every event so far, one a line, for a failure's message.
  std::string Dump() const;
  // Whether the service ended the stream.
  bool ended() const { return ended_; }
  int status() const { return status_; }
  void Close();

 private:
  void Parse(std::string_view chunk);

  httplib::Client client_;
  std::thread thread_;
  std::atomic<bool> closing_{false};
  std::atomic<bool> ended_{false};
  std::atomic<int> status_{0};
  mutable std::mutex mutex_;
  std::string pending_;
  std::vector<Event> events_;
};

// The page with this title in a list of pages, or null.
Json FindPage(const Json& pages, const std::string& title);

}  // namespace tw::test
