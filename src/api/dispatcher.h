// Dispatcher: the API's requests (docs/api.md) carried out on the application facade, knowing
// nothing of the transport that brought them. One envelope in, one envelope out.
//
// Methods are looked up by name in a table; subsystems that come later add theirs with Add().
// Every failure the facade reports becomes an `error` reply with the exact message to show; a
// request that names no method, or whose parameters are missing or of the wrong JSON type, gets
// "unknown-method" or "invalid-params".
//
// Threads: Handle may be called from any thread, by several at once (the facade's operations
// may be); Add only before the first Handle.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "api/json_values.h"
#include "app/application.h"

namespace tw::api {

struct DispatcherConfig {
  WindowSetting setting = WindowSetting::kHost;  // which window the transport serves
  std::string version;
};

// A method's answer: its result, or the message of its failure.
struct Reply {
  Json result = Json::object();
  std::optional<Json> error;
  // The result written as JSON text already (a long list), in place of `result` when not empty.
  std::string result_text;

  static Reply Ok(Json result = Json::object()) {
    return Reply{std::move(result), std::nullopt, {}};
  }
  static Reply OkText(std::string result_text) {
    return Reply{nullptr, std::nullopt, std::move(result_text)};
  }
  static Reply Failed(const app::UserMessage& message) {
    return Reply{nullptr, ErrorJson(message), {}};
  }
  // "invalid-params", with the first problem that `params` recorded.
  static Reply BadParams(const Params& params);
};

class Dispatcher {
 public:
  using Method = std::function<Reply(const Json& params)>;

  Dispatcher(app::Application& app, DispatcherConfig config);
  Dispatcher(const Dispatcher&) = delete;
  Dispatcher& operator=(const Dispatcher&) = delete;

  void Add(std::string name, Method method);
  bool Has(std::string_view name) const;

  // The reply envelope for a request envelope, as JSON text.
  std::string Handle(const Request& request) const;

  // The error reply for a request the transport could not even read.
  static Json InvalidRequest(const Json& id, std::string detail);

 private:
  app::Application& app_;
  const DispatcherConfig config_;
  std::map<std::string, Method, std::less<>> methods_;
};

}  // namespace tw::api
