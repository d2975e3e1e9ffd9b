// The operations on the page list: pages.list, pages.add, pages.drop, pages.rename and the rest.
#include "api/method_groups.h"

namespace tw::api {
namespace {

constexpr std::string_view kConfirmAddCurrentPage = "ConfirmAC";

Json QuietAddJson(const app::QuietAdd& quiet) {
  if (quiet.added) return AddedPageJson(*quiet.added);
  return {{"needsDialog", true}, {"title", quiet.title}, {"address", quiet.address}};
}

}  // namespace

void AddPageMethods(Dispatcher& dispatcher, app::Application& app, const DispatcherConfig& config) {
  dispatcher.Add("pages.list", [&app](const Json&) {
    app::Outcome<app::PageList> list = app.ListPages();
    if (!list.ok()) return Reply::Failed(list.message());
    return Reply::OkText(PageListJson(*list));
  });
  dispatcher.Add("pages.get", [&app](const Json& json) {
    Params params(json);
    const std::string title = params.String("title");
    if (params.problem()) return Reply::BadParams(params);
    app::Outcome<app::Page> page = app.GetPage(title);
    if (!page.ok()) return Reply::Failed(page.message());
    return Reply::Ok(PageJson(*page));
  });
  dispatcher.Add("pages.add", [&app, &config](const Json& json) {
    Params params(json);
    app::NewPage page;
    page.title = params.OptionalString("title").value_or("");
    page.address = params.OptionalString("address").value_or("");
    const std::string mode = params.OptionalString("mode").value_or("plain");
    const bool do_not_ask_again = params.OptionalBool("doNotAskAgain").value_or(false);
    if (mode != "plain" && mode != "currentPage" && mode != "smartHistory") {
      params.Fail("params.mode must be plain, currentPage or smartHistory");
    }
    if (params.problem()) return Reply::BadParams(params);
    app::Outcome<app::AddedPage> added = app.AddPage(page);
    if (!added.ok()) return Reply::Failed(added.message());
    if (mode == "currentPage" && do_not_ask_again) {
      app::Outcome<app::Done> saved = app.SetSettings(
          config.setting, {SettingsValue::Dword(std::string(kConfirmAddCurrentPage), 0)});
      if (!saved.ok()) return Reply::Failed(saved.message());
    }
    return Reply::Ok(AddedPageJson(*added));
  });
  dispatcher.Add("pages.addQuietly", [&app](const Json& json) {
    Params params(json);
    const std::string title = params.OptionalString("title").value_or("");
    const std::string address = params.String("address");
    if (params.problem()) return Reply::BadParams(params);
    app::Outcome<app::QuietAdd> quiet = app.AddPageQuietly(title, address);
    if (!quiet.ok()) return Reply::Failed(quiet.message());
    return Reply::Ok(QuietAddJson(*quiet));
  });
  dispatcher.Add("pages.drop", [&app](const Json& json) {
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
    if (params.problem()) return Reply::BadParams(params);
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
  dispatcher.Add("pages.import", [&app](const Json& json) {
    Params params(json);
    const std::string path = params.String("path");
    if (params.problem()) return Reply::BadParams(params);
    app::Outcome<uint64_t> id = app.ImportPageFile(path);
    if (!id.ok()) return Reply::Failed(id.message());
    return Reply::Ok({{"requestId", *id}});
  });
  dispatcher.Add("pages.rename", [&app](const Json& json) {
    Params params(json);
    const std::string title = params.String("title");
    const std::string new_title = params.String("newTitle");
    if (params.problem()) return Reply::BadParams(params);
    return Done(app.RenamePage(title, new_title));
  });
  dispatcher.Add("pages.delete", [&app](const Json& json) {
    Params params(json);
    const std::string title = params.String("title");
    const bool permanent = params.OptionalBool("permanent").value_or(false);
    if (params.problem()) return Reply::BadParams(params);
    return Done(app.DeletePage(
        title, permanent ? app::DeleteMode::kPermanently : app::DeleteMode::kToTrash));
  });
  dispatcher.Add("pages.reset", [&app](const Json& json) {
    Params params(json);
    const std::string title = params.String("title");
    if (params.problem()) return Reply::BadParams(params);
    return Done(app.ResetPage(title));
  });
  dispatcher.Add("pages.setProperties", [&app](const Json& json) {
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
    if (params.problem()) return Reply::BadParams(params);
    return Done(app.SetPageProperties(change));
  });
  dispatcher.Add("pages.smartUpdateWizard", [&app](const Json& json) {
    Params params(json);
    const std::string title = params.String("title");
    const std::string answer = params.String("answer");
    const int64_t wait_minutes = params.OptionalInteger("waitMinutes").value_or(0);
    if (!params.problem() && answer != "updating" && answer != "notUpdating") {
      params.Fail("params.answer must be updating or notUpdating");
    }
    if (params.problem()) return Reply::BadParams(params);
    return Done(app.RunSmartUpdateWizard(
        title,
        answer == "updating" ? app::WizardAnswer::kUpdating : app::WizardAnswer::kNotUpdating,
        wait_minutes));
  });
  dispatcher.Add("pages.clearUpdated", [&app](const Json& json) {
    Params params(json);
    const std::string title = params.String("title");
    if (params.problem()) return Reply::BadParams(params);
    return Done(app.ClearUpdated(title));
  });
  dispatcher.Add("pages.open", [&app](const Json& json) {
    Params params(json);
    const std::string title = params.String("title");
    if (params.problem()) return Reply::BadParams(params);
    return Done(app.OpenPage(title));
  });
}

}  // namespace tw::api
