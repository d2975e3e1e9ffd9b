// folders.list: what the folder picker shows, and the file picker (the Import wizard's bookmarks
// file), which sees the files of the kinds it asks for as well.
#include "api/method_groups.h"

namespace tw::api {

void AddFolderMethods(Dispatcher& dispatcher, app::Application& app) {
  dispatcher.Add("folders.list", [&app](const Json& json) {
    Params params(json);
    app::FolderQuery query;
    query.path = params.OptionalString("path").value_or("");
    query.file_suffixes = params.OptionalStrings("fileSuffixes");
    if (params.problem()) return Reply::BadParams(params);
    app::Outcome<app::FolderListing> listing = app.ListFolders(query);
    if (!listing.ok()) return Reply::Failed(listing.message());
    Json reply = {{"path", listing->path},
                  {"parent", listing->parent ? Json(*listing->parent) : Json(nullptr)},
                  {"folders", listing->folders}};
    if (listing->files) reply["files"] = *listing->files;
    return Reply::Ok(std::move(reply));
  });
}

}  // namespace tw::api
