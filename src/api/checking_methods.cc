// checking.refresh, checking.stop and checking.state.
#include "api/method_groups.h"

namespace tw::api {

void AddCheckingMethods(Dispatcher& dispatcher, app::Application& app) {
  dispatcher.Add("checking.refresh", [&app](const Json&) { return Done(app.CheckNow()); });
  dispatcher.Add("checking.stop", [&app](const Json&) { return Done(app.StopChecking()); });
  dispatcher.Add("checking.state", [&app](const Json&) {
    return Reply::Ok({{"running", app.IsChecking()}});
  });
}

}  // namespace tw::api
