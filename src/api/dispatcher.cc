#include "api/dispatcher.h"

#include "api/method_groups.h"
#include "app/messages.h"

namespace tw::api {

Reply Reply::BadParams(const Params& params) {
  Json error = ErrorJson(app::InternalErrorMessage());
  error["code"] = "invalid-params";
  error["detail"] = *params.problem();
  return Reply{nullptr, std::move(error), {}};
}

Reply Done(const app::Outcome<app::Done>& outcome) {
  return outcome.ok() ? Reply::Ok() : Reply::Failed(outcome.message());
}

std::string_view WindowSettingName(WindowSetting setting) {
  return setting == WindowSetting::kSideBar ? "sidebar" : "host";
}

Dispatcher::Dispatcher(app::Application& app, DispatcherConfig config)
    : app_(app), config_(std::move(config)) {
  AddSettingsMethods(*this, app_, config_);
  AddPageMethods(*this, app_, config_);
  AddCheckingMethods(*this, app_);
  AddScheduleMethods(*this, app_);
  AddFolderMethods(*this, app_);
  AddNotificationMethods(*this, app_);
  AddVersionMethods(*this, app_);
  AddTellAFriendMethods(*this, app_);
  AddHistoryMethods(*this, app_);
  AddCurrentPageMethods(*this, app_);
}

void Dispatcher::Add(std::string name, Method method) {
  methods_[std::move(name)] = std::move(method);
}

bool Dispatcher::Has(std::string_view name) const { return methods_.find(name) != methods_.end(); }

Json Dispatcher::InvalidRequest(const Json& id, std::string detail) {
  Json error = ErrorJson(app::InternalErrorMessage());
  error["code"] = "invalid-request";
  error["detail"] = std::move(detail);
  return {{"id", id}, {"error", std::move(error)}};
}

std::string Dispatcher::Handle(const Request& request) const {
  const auto method = methods_.find(request.method);
  if (method == methods_.end()) {
    Json error = ErrorJson(app::InternalErrorMessage());
    error["code"] = "unknown-method";
    error["detail"] = "there is no method named " + request.method;
    return Serialize({{"id", request.id}, {"error", std::move(error)}});
  }
  Reply reply = method->second(request.params);
  if (reply.error) return Serialize({{"id", request.id}, {"error", std::move(*reply.error)}});
  if (reply.result_text.empty()) {
    return Serialize({{"id", request.id}, {"result", std::move(reply.result)}});
  }
  // The envelope around the text, as Serialize writes it: "id" sorts before "result".
  std::string text = std::move(reply.result_text);
  text.insert(0, "{\"id\":" + Serialize(request.id) + ",\"result\":");
  text += '}';
  return text;
}

}  // namespace tw::api
