// schedule.get and schedule.set: the offline schedule.
#include "api/method_groups.h"

namespace tw::api {
namespace {

std::string_view SchedulerName(SchedulerKind kind) {
  switch (kind) {
    case SchedulerKind::kSystemd:
      return "systemd";
    case SchedulerKind::kCron:
      return "cron";
    case SchedulerKind::kNone:
      break;
  }
  return "none";
}

}  // namespace

void AddScheduleMethods(Dispatcher& dispatcher, app::Application& app) {
  dispatcher.Add("schedule.get", [&app](const Json&) {
    app::Outcome<app::ScheduleState> state = app.GetOfflineSchedule();
    if (!state.ok()) return Reply::Failed(state.message());
    return Reply::Ok(
        {{"kind", SchedulerName(state->kind)},
         {"schedule", state->schedule ? ScheduleJson(*state->schedule) : Json(nullptr)},
         {"status", state->status},
         {"nextRunTime", state->next_run ? TimeJson(*state->next_run) : Json(nullptr)}});
  });
  dispatcher.Add("schedule.set", [&app](const Json& json) {
    Params params(json);
    const Json* raw = params.Raw("schedule");
    ScheduleRequest request = raw ? ScheduleFromJson(*raw, params) : ScheduleRequest{};
    if (params.problem()) return Reply::BadParams(params);
    if (request.message) return Reply::Failed(*request.message);
    return Done(app.SetOfflineSchedule(request.schedule));
  });
}

}  // namespace tw::api
