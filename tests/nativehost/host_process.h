// A real `tidewell native-host` for tests, started as a browser starts it: its standard input
// and output are pipes carrying native-messaging frames (a 4-byte length in the machine's byte
// order, then JSON). The test plays the browser: it sends requests and reads replies and events.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace tw::test {

using Json = nlohmann::json;

class HostProcess {
 public:
  // Starts the tidewell program with the arguments (by default `native-host`), in the test's
  // environment.
  explicit HostProcess(const std::vector<std::string>& args = {"native-host"});
  // Kills it if it still runs.
  ~HostProcess();
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  pid_t pid() const { return pid_; }

  // Writes bytes to the host's standard input as they are; false when it has gone.
  bool WriteRaw(const std::string& bytes);
  // Writes one frame holding `text`.
  bool SendText(const std::string& text);
  // Sends {"id", "method", "params"} and returns the reply with that id (events read on the way
  // are kept); null after the time-out or the end of the output.
  Json Request(int id, const std::string& method, const Json& params = Json::object(),
               std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // The next message the host sends (an event read here is taken), or nothing after the time-out
  // or at the end of its output.
  std::optional<Json> Next(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // Waits for the first event of that name whose data matches and that no earlier wait took, so
  // that events of one kind are taken in the order they came; its data, or nothing after the
  // time-out.
  std::optional<Json> WaitForEvent(const std::string& name,
                                   const std::function<bool(const Json&)>& match = nullptr,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(30));
  // Every event read so far, in order, as {"event", "data"}.
  const std::vector<Json>& events() const { return events_; }
  // The frame lengths as read, to check the browsers' limit.
  const std::vector<size_t>& frame_sizes() const { return frame_sizes_; }

  // Closes the host's standard input, as a browser closing the port does.
  void CloseInput();
  // Its exit status (128 + signal), or nothing while it still runs after the time-out.
  std::optional<int> Wait(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  void Kill(int signal_number);

 private:
  std::optional<Json> ReadFrame(std::chrono::steady_clock::time_point deadline);
  bool Fill(size_t size, std::chrono::steady_clock::time_point deadline);

  pid_t pid_ = -1;
  int to_host_ = -1;
  int from_host_ = -1;
  int pid_fd_ = -1;  // readable once the host has ended
  bool output_ended_ = false;
  std::string buffered_;
  std::vector<Json> events_;
  std::vector<bool> taken_;  // by a wait, beside events_
  std::vector<size_t> frame_sizes_;
  std::optional<int> status_;
};

// A native-messaging frame: the length in the machine's byte order, then the text.
std::string Frame(const std::string& text);

}  // namespace tw::test
