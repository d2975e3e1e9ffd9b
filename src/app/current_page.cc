// Add Current Page: the page the browser shows, added at once or through the Add Page dialog.
#include <algorithm>

#include "app/application.h"
#include "app/application_internal.h"
#include "app/messages.h"
#include "app/page_rules.h"
#include "resources/strings.h"
#include "settings/checking_options.h"
#include "settings/user_settings.h"

namespace tw::app {
namespace {

// Whether Add Current Page asks first; when the settings cannot be read it asks, which loses
// nothing.
bool ConfirmsAdd(const Result<std::vector<SettingsValue>>& settings) {
  if (!settings.ok()) return true;
  const auto value = std::find_if(settings->begin(), settings->end(), [](const SettingsValue& v) {
    return v.name == setting::kConfirmAC && v.type == SettingsType::kDword;
  });
  return value == settings->end() || value->dword != 0;
}

// The refusals of the dialog's own checks, which the dialog lets the user correct.
bool IsDialogCheck(Problem problem) {
  switch (problem) {
    case Problem::kAddressRequired:
    case Problem::kInvalidAddress:
    case Problem::kNotHttp:
    case Problem::kInvalidTitle:
    case Problem::kTitleTaken:
    case Problem::kTooLong:
      return true;
    default:
      return false;
  }
}

}  // namespace

Outcome<CurrentPageAdd> Application::AddCurrentPage(const CurrentPage& page) {
  if (page.address.empty()) return BrowserFailedMessage();
  std::string folder;
  {
    Core::DatabaseAccess db(*core_);
    if (!db) return InternalErrorMessage();
    folder = db->page_folder();
  }
  CurrentPageAdd answer;
  answer.address = page.address;
  answer.title = CurrentPageTitle(page.title, page.address, tw::MaxTitleLength(folder));

  if (!ConfirmsAdd(core_->SettingsInForce())) {
    Outcome<AddedPage> added = AddPage(NewPage{answer.title, answer.address});
    if (added.ok()) {
      answer.title = added->title;
      answer.address = added->address;
      answer.added = std::move(*added);
      return answer;
    }
    if (!IsDialogCheck(added.message().problem)) return added.message();
    answer.mode = AddPageMode::kPlain;
    answer.problem = added.message();
    return answer;
  }
  answer.mode = AddPageMode::kCurrentPage;
  answer.caption = std::string(LoadString(str::kAddCurrentPageCaption));
  answer.note = std::string(LoadString(str::kAddCurrentPageNote));
  return answer;
}

}  // namespace tw::app
