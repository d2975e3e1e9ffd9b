// pages.versions and pages.changes.
#include "api/method_groups.h"

namespace tw::api {
namespace {

Json VersionJson(const app::PageVersion& version) {
  return {{"id", version.id},
          {"address", version.address},
          {"foundTime", TimeJson(version.found_time)},
          {"replacedTime", TimeJson(version.replaced_time)},
          {"size", version.size}};
}

std::string_view KindName(DiffKind kind) {
  switch (kind) {
    case DiffKind::kSame:
      return "same";
    case DiffKind::kRemoved:
      return "removed";
    case DiffKind::kAdded:
      return "added";
  }
  return "same";
}

Json DocumentJson(const DocumentDiff& document) {
  Json text = Json::array();
  for (const DiffRun& run : document.text) {
    text.push_back({{"kind", KindName(run.kind)}, {"text", run.text}});
  }
  return {{"address", document.address},
          {"changed", document.changed},
          {"text", std::move(text)},
          {"html", document.html}};
}

}  // namespace

void AddVersionMethods(Dispatcher& dispatcher, app::Application& app) {
  dispatcher.Add("pages.versions", [&app](const Json& json) {
    Params params(json);
    const std::string title = params.String("title");
    if (params.problem()) return Reply::BadParams(params);
    app::Outcome<std::vector<app::PageVersion>> versions = app.ListPageVersions(title);
    if (!versions.ok()) return Reply::Failed(versions.message());
    Json list = Json::array();
    for (const app::PageVersion& version : *versions) list.push_back(VersionJson(version));
    return Reply::Ok({{"versions", std::move(list)}});
  });
  dispatcher.Add("pages.changes", [&app](const Json& json) {
    Params params(json);
    const std::string title = params.String("title");
    const std::optional<int64_t> version = params.OptionalInteger("version");
    if (params.problem()) return Reply::BadParams(params);
    app::Outcome<app::PageChanges> changes = app.ShowChanges(title, version);
    if (!changes.ok()) return Reply::Failed(changes.message());
    Json documents = Json::array();
    for (const DocumentDiff& document : changes->documents) {
      documents.push_back(DocumentJson(document));
    }
    return Reply::Ok({{"title", changes->title},
                      {"address", changes->address},
                      {"version", VersionJson(changes->version)},
                      {"documents", std::move(documents)}});
  });
}

}  // namespace tw::api
