// notify.answer: what the user chose in a notification a window showed.
#include "api/method_groups.h"

namespace tw::api {

void AddNotificationMethods(Dispatcher& dispatcher, app::Application& app) {
  dispatcher.Add("notify.answer", [&app](const Json& json) {
    Params params(json);
    const int64_t id = params.Integer("id");
    const std::optional<std::string> chosen = params.OptionalString("chosenTitle");
    const bool do_not_show_again = params.OptionalBool("doNotShowAgain").value_or(false);
    if (params.problem()) return Reply::BadParams(params);
    return Done(app.AnswerNotification(static_cast<uint64_t>(id), chosen, do_not_show_again));
  });
}

}  // namespace tw::api
