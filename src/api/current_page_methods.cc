// pages.addCurrent.
#include <new>

#include "api/method_groups.h"
#include "app/messages.h"

namespace tw::api {
namespace {

Json DialogJson(const app::CurrentPageAdd& add) {
  Json dialog = {{"mode", add.mode == app::AddPageMode::kCurrentPage ? "currentPage" : "plain"},
                 {"title", add.title},
                 {"address", add.address}};
  if (!add.caption.empty()) dialog["caption"] = add.caption;
  if (!add.note.empty()) dialog["note"] = add.note;
  if (add.problem) dialog["problem"] = ErrorJson(*add.problem);
  return dialog;
}

}  // namespace

void AddCurrentPageMethods(Dispatcher& dispatcher, app::Application& app) {
  dispatcher.Add("pages.addCurrent", [&app](const Json& json) {
    try {
      Params params(json);
      app::CurrentPage page;
      page.title = params.OptionalString("title").value_or("");
      page.address = params.String("address");
      if (params.problem()) return Reply::BadParams(params);
      app::Outcome<app::CurrentPageAdd> add = app.AddCurrentPage(page);
      if (!add.ok()) return Reply::Failed(add.message());
      if (add->added) return Reply::Ok(AddedPageJson(*add->added));
      return Reply::Ok({{"dialog", DialogJson(*add)}});
    } catch (const std::bad_alloc&) {
      return Reply::Failed(app::NotEnoughMemoryMessage());
    }
  });
}

}  // namespace tw::api
