#include "service/service_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/sandbox.h"

namespace tw::test {

ServiceProcess::ServiceProcess(const std::vector<std::string>& args)
    : process_([&] {
        std::vector<std::string> argv{TW_TIDEWELL_PROGRAM, "serve", "--port", "0"};
        argv.insert(argv.end(), args.begin(), args.end());
        return ChildProcess::Spawn(argv);
      }()) {
  const std::optional<std::string> line = process_.ReadLine(std::chrono::seconds(20));
  if (!line) {
    ADD_FAILURE() << "tidewell serve printed no address";
    return;
  }
  address_ = *line;
  const size_t colon = address_.rfind(':');
  const size_t slash = address_.find('/', colon);
  port_ = std::stoi(address_.substr(colon + 1, slash - colon - 1));
  secret_ = address_.substr(address_.find("token=") + 6);
}

ServiceProcess::~ServiceProcess() {
  if (process_.pid() > 0) (void)Stop();
}

int ServiceProcess::Stop(int signal_number) {
  // A service ends within seconds of a signal, a check under way included; one still running
  // long after is hung, and the test says so instead of running into the suite's time-out.
  constexpr auto kLongestEnd = std::chrono::seconds(60);
  process_.Kill(signal_number);
  if (const std::optional<int> status = process_.Wait(kLongestEnd)) return *status;
  ADD_FAILURE() << "tidewell serve was still running " << kLongestEnd.count() << " s after signal "
                << signal_number;
  process_.Kill(SIGKILL);
  return process_.Wait();
}

httplib::Client ServiceProcess::Client() const {
  httplib::Client client("127.0.0.1", port_);
  client.set_read_timeout(std::chrono::seconds(30));
  return client;
}

httplib::Headers ServiceProcess::Authorized() const {
  return {{"Authorization", "Bearer " + secret_}, {"Origin", origin()}};
}

Json ServiceProcess::Envelope(const std::string& method, const Json& params) {
  httplib::Client client = Client();
  const Json request = {{"id", 1}, {"method", method}, {"params", params}};
  httplib::Result result = client.Post("/api", Authorized(), request.dump(), "application/json");
  if (!result) {
    ADD_FAILURE() << method << ": no answer";
    return nullptr;
  }
  EXPECT_EQ(result->status, 200) << method << ": " << result->body;
  return Json::parse(result->body, nullptr, false);
}

Json ServiceProcess::Call(const std::string& method, const Json& params) {
  const Json reply = Envelope(method, params);
  if (!reply.is_object() || !reply.contains("result")) {
    ADD_FAILURE() << method << " failed: " << reply.dump();
    return nullptr;
  }
  return reply["result"];
}

Json ServiceProcess::CallError(const std::string& method, const Json& params) {
  const Json reply = Envelope(method, params);
  if (!reply.is_object() || !reply.contains("error")) {
    ADD_FAILURE() << method << " did not fail: " << reply.dump();
    return nullptr;
  }
  return reply["error"];
}

EventStream::EventStream(int port, const std::string& secret) : client_("127.0.0.1", port) {
  client_.set_read_timeout(std::chrono::seconds(60));
  thread_ = std::thread([this, secret] {
    httplib::Result result = client_.Get(
        "/api/events", {{"Authorization", "Bearer " + secret}},
        [this](const httplib::Response& response) {
          status_ = response.status;
          return response.status == 200;
        },
        [this](const char* data, size_t length) {
          Parse(std::string_view(data, length));
          return !closing_.load();
        });
    ended_ = true;
  });
  // Subscribed once the whole list has come (it ends with the checking state): what happens
  // after this reaches the stream.
  test::WaitFor(
      [&] {
        std::lock_guard lock(mutex_);
        return ended_ || std::any_of(events_.begin(), events_.end(),
                                     [](const Event& e) { return e.name == "checking"; });
      },
      std::chrono::seconds(20));
}

EventStream::~EventStream() { Close(); }

void EventStream::Close() {
  closing_ = true;
  client_.stop();
  if (thread_.joinable()) thread_.join();
}

void EventStream::Parse(std::string_view chunk) {
  std::lock_guard lock(mutex_);
  pending_ += chunk;
  for (size_t end; (end = pending_.find("\n\n")) != std::string::npos;) {
    const std::string block = pending_.substr(0, end);
    pending_.erase(0, end + 2);
    Event event;
    std::string data;
    size_t start = 0;
    while (start <= block.size()) {
      const size_t line_end = std::min(block.find('\n', start), block.size());
      const std::string line = block.substr(start, line_end - start);
      if (line.rfind("event: ", 0) == 0) event.name = line.substr(7);
      if (line.rfind("data: ", 0) == 0) data += line.substr(6);
      start = line_end + 1;
    }
    if (event.name.empty()) continue;  // a comment
    event.data = Json::parse(data, nullptr, false);
    events_.push_back(std::move(event));
  }
}

std::optional<Json> EventStream::WaitFor(const std::string& name,
                                         const std::function<bool(const Json&)>& match,
                                         std::chrono::milliseconds timeout, size_t from) {
  std::optional<Json> found;
  test::WaitFor(
      [&] {
        std::lock_guard lock(mutex_);
        for (size_t i = from; i < events_.size(); ++i) {
          if (events_[i].name == name && (!match || match(events_[i].data))) {
            found = events_[i].data;
            return true;
          }
        }
        return false;
      },
      timeout);
  return found;
}

bool EventStream::WaitForCheckPass(size_t from, std::chrono::milliseconds timeout) {
  return test::WaitFor(
      [&] {
        std::lock_guard lock(mutex_);
        bool began = false;
        for (size_t i = from; i < events_.size(); ++i) {
          if (events_[i].name != "checking") continue;
          if (events_[i].data["running"] == true) began = true;
          if (began && events_[i].data["running"] == false) return true;
        }
        return false;
      },
      timeout);
}

std::vector<EventStream::Event> EventStream::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

size_t EventStream::size() const {
  std::lock_guard lock(mutex_);
  return events_.size();
}

std::string EventStream::Dump() const {
  std::lock_guard lock(mutex_);
  std::string text;
  for (const Event& event : events_) text += event.name + " " + event.data.dump() + "\n";
  return text;
}

Json FindPage(const Json& pages, const std::string& title) {
  for (const Json& page : pages) {
    if (page.value("title", "") == title) return page;
  }
  return nullptr;
}

}  // namespace tw::test
