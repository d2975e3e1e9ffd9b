#include "api/dispatcher.h"

#include "api/method_groups.h"
#include "app/messages.h"
#include "resources/strings.h"

namespace tw::api {
namespace {

constexpr std::string_view kConfirmAddCurrentPage = "ConfirmAC";

std::string_view SettingName(WindowSetting setting) {
  return setting == WindowSetting::kSideBar ? "sidebar" : "host";
}

Json InvalidParams(const std::string& detail) {
  Json error = ErrorJson(app::InternalErrorMessage());
  error["code"] = "invalid-params";
  error["detail"] = detail;
  return error;
}

Reply FromParams(const Params& params) { return Reply{nullptr, InvalidParams(*params.problem())}; }

Reply Done(const app::Outcome<app::Done>& outcome) {
  return outcome.ok() ? Reply::Ok() : Reply::Failed(outcome.message());
}

Json AddedJson(const app::AddedPage& added) {
  return {{"requestId", added.request_id},
          {"title", added.title},
          {"address", added.address},
          {"placeholder", PageJson(added.placeholder)}};
}

Json QuietAddJson(const app::QuietAdd& quiet) {
  if (quiet.added) return AddedJson(*quiet.added);
  return {{"needsDialog", true}, {"title", quiet.title}, {"address", quiet.address}};
}

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

Reply Reply::BadParams(const Params& params) { return FromParams(params); }

Dispatcher::Dispatcher(app::Application& app, DispatcherConfig config)
    : app_(app), config_(std::move(config)) {
  AddFacadeMethods();
  AddVersionMethods(*this, app_);
  AddTellAFriendMethods(*this, app_);
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

Json Dispatcher::Handle(const Request& request) const {
  const auto method = methods_.find(request.method);
  if (method == methods_.end()) {
    Json error = ErrorJson(app::InternalErrorMessage());
    error["code"] = "unknown-method";
    error["detail"] = "there is no method named " + request.method;
    return {{"id", request.id}, {"error", std::move(error)}};
  }
  Reply reply = method->second(request.params);
  if (reply.error) return {{"id", request.id}, {"error", std::move(*reply.error)}};
  return {{"id", request.id}, {"result", std::move(reply.result)}};
}

void Dispatcher::AddFacadeMethods() {
  app::Application& app = app_;
  const DispatcherConfig& config = config_;

  // --- Application ---
  Add("app.info", [&app, &config](const Json&) {
    Json info = {{"version", config.version},
                 {"setting", SettingName(config.setting)},
                 {"firstRun", app.IsFirstRun()}};
    app::Outcome<std::vector<SettingsValue>> settings = app.GetSettings();
    if (!settings.ok()) return Reply::Failed(settings.message());
    for (const SettingsValue& value : *settings) {
      if (value.name == "PDB") info["pageFolder"] = value.text;
    }
    return Reply::Ok(std::move(info));
  });

  // --- Pages ---
  Add("pages.list", [&app](const Json&) {
    app::Outcome<app::PageList> list = app.ListPages();
    if (!list.ok()) return Reply::Failed(list.message());
    Json pages = Json::array();
    for (const app::Page& page : list->pages) pages.push_back(PageJson(page));
    return Reply::Ok({{"pages", std::move(pages)},
                      {"folder", list->folder},
                      {"maxTitleLength", list->max_title_length}});
  });
  Add("pages.get", [&app](const Json& json) {
    Params params(json);
    const std::string title = params.String("title");
    if (params.problem()) return FromParams(params);
    app::Outcome<app::Page> page = app.GetPage(title);
    if (!page.ok()) return Reply::Failed(page.message());
    return Reply::Ok(PageJson(*page));
  });
  Add("pages.add", [&app, &config](const Json& json) {
    Params params(json);
    app::NewPage page;
    page.title = params.OptionalString("title").value_or("");
    page.address = params.OptionalString("address").value_or("");
    const std::string mode = params.OptionalString("mode").value_or("plain");
    const bool do_not_ask_again = params.OptionalBool("doNotAskAgain").value_or(false);
    if (mode != "plain" && mode != "currentPage" && mode != "smartHistory") {
      params.Fail("params.mode must be plain, currentPage or smartHistory");
    }
    if (params.problem()) return FromParams(params);
    app::Outcome<app::AddedPage> added = app.AddPage(page);
    if (!added.ok()) return Reply::Failed(added.message());
    if (mode == "currentPage" && do_not_ask_again) {
      app::Outcome<app::Done> saved = app.SetSettings(
          config.setting, {SettingsValue::Dword(std::string(kConfirmAddCurrentPage), 0)});
      if (!saved.ok()) return Reply::Failed(saved.message());
    }
    return Reply::Ok(AddedJson(*added));
  });
  Add("pages.addQuietly", [&app](const Json& json) {
    Params params(json);
    const std::string title = params.OptionalString("title").value_or("");
    const std::string address = params.String("address");
    if (params.problem()) return FromParams(params);
    app::Outcome<app::QuietAdd> quiet = app.AddPageQuietly(title, address);
    if (!quiet.ok()) return Reply::Failed(quiet.message());
    return Reply::Ok(QuietAddJson(*quiet));
  });
  Add("pages.drop", [&app](const Json& json) {
    Params params(json);
    const Json* files = params.Raw("files");
    const std::optional<std::string> text = params.OptionalString("text");
    std::vector<app::DroppedFile> dropped;
    if (files && !files->is_array()) params.Fail("params.files must be an array");
    if (!files && !text) params.Fail("params.files or params.text is needed");
    for (const Json& file : files && files->is_array() ? *files : Json::array()) {
      Params fields(file);
      app::DroppedFile one;
      one.name = fields.String("name");
      const std::string content = fields.String("contentBase64");
      std::optional<std::string> bytes = DecodeBase64(content, app::kMaxDroppedFile);
      if (fields.problem()) params.Fail("files: " + *fields.problem());
      if (!bytes) params.Fail("files: " + one.name + " is not Base64 of at most 4 MiB");
      if (params.problem()) break;
      one.bytes = std::move(*bytes);
      dropped.push_back(std::move(one));
    }
    if (params.problem()) return FromParams(params);
    app::Outcome<app::DropResult> result = files ? app.DropFiles(dropped) : app.DropText(*text);
    if (!result.ok()) return Reply::Failed(result.message());
    Json added = Json::array();
    for (const app::QuietAdd& quiet : result->added) added.push_back(QuietAddJson(quiet));
    Json imports = Json::array();
    for (const app::ImportedFile& file : result->imports) {
      imports.push_back({{"requestId", file.request_id}, {"name", file.name}});
    }
    Json reply = {{"added", std::move(added)}, {"imports", std::move(imports)}};
    if (result->stopped_at) reply["stoppedAt"] = *result->stopped_at;
    if (result->failure) reply["failure"] = ErrorJson(*result->failure);
    return Reply::Ok(std::move(reply));
  });
  Add("pages.import", [&app](const Json& json) {
    Params params(json);
    const std::string path = params.String("path");
    if (params.problem()) return FromParams(params);
    app::Outcome<uint64_t> id = app.ImportPageFile(path);
    if (!id.ok()) return Reply::Failed(id.message());
    return Reply::Ok({{"requestId", *id}});
  });
  Add("pages.rename", [&app](const Json& json) {
    Params params(json);
    const std::string title = params.String("title");
    const std::string new_title = params.String("newTitle");
    if (params.problem()) return FromParams(params);
    return Done(app.RenamePage(title, new_title));
  });
  Add("pages.delete", [&app](const Json& json) {
    Params params(json);
    const std::string title = params.String("title");
    const bool permanent = params.OptionalBool("permanent").value_or(false);
    if (params.problem()) return FromParams(params);
    return Done(app.DeletePage(
        title, permanent ? app::DeleteMode::kPermanently : app::DeleteMode::kToTrash));
  });
  Add("pages.reset", [&app](const Json& json) {
    Params params(json);
    const std::string title = params.String("title");
    if (params.problem()) return FromParams(params);
    return Done(app.ResetPage(title));
  });
  Add("pages.setProperties", [&app](const Json& json) {
    Params params(json);
    app::PageProperties change;
    change.title = params.String("title");
    change.new_title = params.OptionalString("newTitle").value_or(change.title);
    change.address = params.OptionalString("address").value_or("");
    change.smart_update = params.Bool("smartUpdate");
    change.check_count = params.OptionalInteger("checkCount").value_or(0);
    change.wait_minutes = params.OptionalInteger("waitMinutes").value_or(0);
    change.ignore_last_modified = params.Bool("ignoreLastModified");
    change.ignore_expires = params.Bool("ignoreExpires");
    if (params.problem()) return FromParams(params);
    return Done(app.SetPageProperties(change));
  });
  Add("pages.smartUpdateWizard", [&app](const Json& json) {
    Params params(json);
    const std::string title = params.String("title");
    const std::string answer = params.String("answer");
    const int64_t wait_minutes = params.OptionalInteger("waitMinutes").value_or(0);
    if (!params.problem() && answer != "updating" && answer != "notUpdating") {
      params.Fail("params.answer must be updating or notUpdating");
    }
    if (params.problem()) return FromParams(params);
    return Done(app.RunSmartUpdateWizard(
        title,
        answer == "updating" ? app::WizardAnswer::kUpdating : app::WizardAnswer::kNotUpdating,
        wait_minutes));
  });
  Add("pages.clearUpdated", [&app](const Json& json) {
    Params params(json);
    const std::string title = params.String("title");
    if (params.problem()) return FromParams(params);
    return Done(app.ClearUpdated(title));
  });
  Add("pages.open", [&app](const Json& json) {
    Params params(json);
    const std::string title = params.String("title");
    if (params.problem()) return FromParams(params);
    return Done(app.OpenPage(title));
  });

  // --- Checking ---
  Add("checking.refresh", [&app](const Json&) { return Done(app.CheckNow()); });
  Add("checking.stop", [&app](const Json&) { return Done(app.StopChecking()); });
  Add("checking.state", [&app](const Json&) { return Reply::Ok({{"running", app.IsChecking()}}); });

  // --- Settings ---
  Add("settings.get", [&app](const Json&) {
    app::Outcome<std::vector<SettingsValue>> values = app.GetSettings();
    if (!values.ok()) return Reply::Failed(values.message());
    return Reply::Ok({{"values", SettingsJson(*values)},
                      {"schema", SettingsSchemaJson()},
                      {"runOnStartup", app.IsRunOnStartup()}});
  });
  Add("settings.set", [&app, &config](const Json& json) {
    Params params(json);
    const std::string setting =
        params.OptionalString("setting").value_or(std::string(SettingName(config.setting)));
    if (setting != "host" && setting != "sidebar")
      params.Fail("params.setting must be host or sidebar");
    const Json* raw = params.Raw("values");
    if (!raw) params.Fail("params.values is missing");
    std::optional<std::vector<SettingsValue>> values;
    if (raw) values = SettingsFromJson(*raw, params);
    if (params.problem()) return FromParams(params);
    return Done(app.SetSettings(
        setting == "sidebar" ? WindowSetting::kSideBar : WindowSetting::kHost, std::move(*values)));
  });
  Add("startup.set", [&app](const Json& json) {
    Params params(json);
    const bool enabled = params.Bool("enabled");
    const std::optional<bool> for_all_users = params.OptionalBool("removeForAllUsers");
    if (params.problem()) return FromParams(params);
    app::Outcome<app::StartupChange> change = app.SetRunOnStartup(enabled, for_all_users);
    if (!change.ok()) return Reply::Failed(change.message());
    if (!change->question) return Reply::Ok();
    Json question = {{"message", change->question->text}, {"icon", "question"}};
    if (change->question->string_id) question["stringId"] = *change->question->string_id;
    return Reply::Ok({{"question", std::move(question)}});
  });

  // --- Offline schedule ---
  Add("schedule.get", [&app](const Json&) {
    app::Outcome<app::ScheduleState> state = app.GetOfflineSchedule();
    if (!state.ok()) return Reply::Failed(state.message());
    return Reply::Ok(
        {{"kind", SchedulerName(state->kind)},
         {"schedule", state->schedule ? ScheduleJson(*state->schedule) : Json(nullptr)},
         {"status", state->status},
         {"nextRunTime", state->next_run ? TimeJson(*state->next_run) : Json(nullptr)}});
  });
  Add("schedule.set", [&app](const Json& json) {
    Params params(json);
    const Json* raw = params.Raw("schedule");
    ScheduleRequest request = raw ? ScheduleFromJson(*raw, params) : ScheduleRequest{};
    if (params.problem()) return FromParams(params);
    if (request.message) return Reply::Failed(*request.message);
    return Done(app.SetOfflineSchedule(request.schedule));
  });

  // --- Folders ---
  Add("folders.list", [&app](const Json& json) {
    Params params(json);
    const std::string path = params.OptionalString("path").value_or("");
    if (params.problem()) return FromParams(params);
    app::Outcome<app::FolderListing> listing = app.ListFolders(path);
    if (!listing.ok()) return Reply::Failed(listing.message());
    return Reply::Ok({{"path", listing->path},
                      {"parent", listing->parent ? Json(*listing->parent) : Json(nullptr)},
                      {"folders", listing->folders}});
  });

  // --- Notification ---
  Add("notify.answer", [&app](const Json& json) {
    Params params(json);
    const int64_t id = params.Integer("id");
    const std::optional<std::string> chosen = params.OptionalString("chosenTitle");
    const bool do_not_show_again = params.OptionalBool("doNotShowAgain").value_or(false);
    if (params.problem()) return FromParams(params);
    return Done(app.AnswerNotification(static_cast<uint64_t>(id), chosen, do_not_show_again));
  });
}

}  // namespace tw::api
