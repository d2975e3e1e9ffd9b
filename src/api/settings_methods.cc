// app.info and the user settings: settings.get, settings.set, startup.set.
#include "api/method_groups.h"

namespace tw::api {

void AddSettingsMethods(Dispatcher& dispatcher, app::Application& app,
                        const DispatcherConfig& config) {
  dispatcher.Add("app.info", [&app, &config](const Json&) {
    Json info = {{"version", config.version},
                 {"setting", WindowSettingName(config.setting)},
                 {"firstRun", app.IsFirstRun()}};
    app::Outcome<std::vector<SettingsValue>> settings = app.GetSettings();
    if (!settings.ok()) return Reply::Failed(settings.message());
    for (const SettingsValue& value : *settings) {
      if (value.name == "PDB") info["pageFolder"] = value.text;
    }
    return Reply::Ok(std::move(info));
  });
  dispatcher.Add("settings.get", [&app](const Json&) {
    app::Outcome<std::vector<SettingsValue>> values = app.GetSettings();
    if (!values.ok()) return Reply::Failed(values.message());
    return Reply::Ok({{"values", SettingsJson(*values)},
                      {"schema", SettingsSchemaJson()},
                      {"runOnStartup", app.IsRunOnStartup()}});
  });
  dispatcher.Add("settings.set", [&app, &config](const Json& json) {
    Params params(json);
    const std::string setting =
        params.OptionalString("setting").value_or(std::string(WindowSettingName(config.setting)));
    if (setting != "host" && setting != "sidebar")
      params.Fail("params.setting must be host or sidebar");
    const Json* raw = params.Raw("values");
    if (!raw) params.Fail("params.values is missing");
    std::optional<std::vector<SettingsValue>> values;
    if (raw) values = SettingsFromJson(*raw, params);
    if (params.problem()) return Reply::BadParams(params);
    return Done(app.SetSettings(
        setting == "sidebar" ? WindowSetting::kSideBar : WindowSetting::kHost, std::move(*values)));
  });
  dispatcher.Add("startup.set", [&app](const Json& json) {
    Params params(json);
    const bool enabled = params.Bool("enabled");
    const std::optional<bool> for_all_users = params.OptionalBool("removeForAllUsers");
    if (params.problem()) return Reply::BadParams(params);
    app::Outcome<app::StartupChange> change = app.SetRunOnStartup(enabled, for_all_users);
    if (!change.ok()) return Reply::Failed(change.message());
    if (!change->question) return Reply::Ok();
    Json question = {{"message", change->question->text}, {"icon", "question"}};
    if (change->question->string_id) question["stringId"] = *change->question->string_id;
    return Reply::Ok({{"question", std::move(question)}});
  });
}

}  // namespace tw::api
