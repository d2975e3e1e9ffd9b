// folders.list: the folders the folder picker shows.
#include "api/method_groups.h"

namespace tw::api {

void AddFolderMethods(Dispatcher& dispatcher, app::Application& app) {
  dispatcher.Add("folders.list", [&app](const Json& json) {
    Params params(json);
    const std::string path = params.OptionalString("path").value_or("");
    if (params.problem()) return Reply::BadParams(params);
    app::Outcome<app::FolderListing> listing = app.ListFolders(path);
    if (!listing.ok()) return Reply::Failed(listing.message());
    return Reply::Ok({{"path", listing->path},
                      {"parent", listing->parent ? Json(*listing->parent) : Json(nullptr)},
                      {"folders", listing->folders}});
  });
}

}  // namespace tw::api
