// Smart History's calls (the proposal dialog, the Page Setup Wizard's detection, the options
// page's state and reset, and the navigations the browser reports) and the Import wizard's trees.
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "api/method_groups.h"
#include "app/messages.h"
#include "resources/strings.h"

namespace tw::api {
namespace {

// A detection that has not ended by then is stopped and reported as failed.
constexpr std::chrono::seconds kDetectionLimit{120};

constexpr std::string_view kFavorites = "favorites";
constexpr std::string_view kHistory = "history";

Json ProposedJson(const app::ProposedPage& page) {
  return {{"title", page.title}, {"address", page.address}};
}

Json ProposedListJson(const std::vector<app::ProposedPage>& pages) {
  Json list = Json::array();
  for (const app::ProposedPage& page : pages) list.push_back(ProposedJson(page));
  return list;
}

// The pages of a list field, [{"title", "address"}]; problems are recorded in `params`.
std::vector<app::ProposedPage> ProposedFromJson(std::string_view name, Params& params) {
  std::vector<app::ProposedPage> pages;
  const Json* list = params.Raw(name);
  if (!list) return pages;
  if (!list->is_array()) {
    params.Fail("params." + std::string(name) + " must be an array");
    return pages;
  }
  for (const Json& item : *list) {
    Params page(item);
    if (!item.is_object()) {
      params.Fail("params." + std::string(name) + " must hold objects");
      break;
    }
    app::ProposedPage proposed{page.String("title"), page.String("address")};
    if (page.problem()) {
      params.Fail("params." + std::string(name) + "[]: " + *page.problem());
      break;
    }
    pages.push_back(std::move(proposed));
  }
  return pages;
}

// The addresses a dialog listed; nothing when the field is left out.
std::optional<std::vector<std::string>> AddressesFromJson(std::string_view name, Params& params) {
  const Json* list = params.Raw(name);
  if (!list) return std::nullopt;
  std::vector<std::string> addresses;
  if (!list->is_array()) {
    params.Fail("params." + std::string(name) + " must be an array");
    return addresses;
  }
  for (const Json& item : *list) {
    if (!item.is_string()) {
      params.Fail("params." + std::string(name) + " must hold texts");
      break;
    }
    addresses.push_back(item.get<std::string>());
  }
  return addresses;
}

std::optional<app::AutoSh> AutoShFromJson(Params& params) {
  const std::optional<int64_t> value = params.OptionalInteger("autoSH");
  if (!value) return std::nullopt;
  if (*value < 0 || *value > 2) {
    params.Fail("params.autoSH must be 0, 1 or 2");
    return std::nullopt;
  }
  return static_cast<app::AutoSh>(*value);
}

std::string_view CheckStateName(app::CheckState state) {
  switch (state) {
    case app::CheckState::kNone:
      break;
    case app::CheckState::kNotChecked:
      return "notChecked";
    case app::CheckState::kChecked:
      return "checked";
    case app::CheckState::kAdded:
      return "added";
  }
  return "none";
}

Json EntryJson(const app::ImportEntry& entry) {
  Json json = {{"id", entry.id},
               {"text", entry.text},
               {"folder", entry.is_folder},
               {"state", CheckStateName(entry.state)}};
  if (!entry.address.empty()) json["address"] = entry.address;
  if (!entry.children.empty()) {
    Json children = Json::array();
    for (const app::ImportEntry& child : entry.children) children.push_back(EntryJson(child));
    json["children"] = std::move(children);
  }
  return json;
}

std::optional<app::ImportSource> SourceFromJson(Params& params) {
  const std::string source = params.String("source");
  if (params.problem()) return std::nullopt;
  if (source == kFavorites) return app::ImportSource::kFavorites;
  if (source == kHistory) return app::ImportSource::kHistory;
  params.Fail("params.source must be favorites or history");
  return std::nullopt;
}

std::vector<uint32_t> IdsFromJson(std::string_view name, Params& params) {
  std::vector<uint32_t> ids;
  const Json* list = params.Raw(name);
  if (!list || !list->is_array()) {
    params.Fail("params." + std::string(name) + " must be an array of entry ids");
    return ids;
  }
  for (const Json& item : *list) {
    if (!item.is_number_unsigned() || item.get<uint64_t>() > UINT32_MAX) {
      params.Fail("params." + std::string(name) + " must be an array of entry ids");
      break;
    }
    ids.push_back(item.get<uint32_t>());
  }
  return ids;
}

// What the Smart History window of the Page Setup Wizard is told: the candidates in the order
// delivered, then how the detection ended.
class DetectionResult {
 public:
  app::Application::DetectionHandler Handler() {
    return [this](app::DetectionReport report, std::optional<app::HistoryCandidate> candidate) {
      std::lock_guard lock(mutex_);
      if (report == app::DetectionReport::kCandidate && candidate) {
        pages_.push_back(ProposedJson({candidate->title, candidate->address}));
        pages_.back()["hits"] = candidate->hits;
        pages_.back()["lastVisit"] = TimeJson(candidate->last_access);
      } else if (report != app::DetectionReport::kStarted &&
                 report != app::DetectionReport::kCandidate) {
        end_ = report;
        ended_.notify_all();
      }
    };
  }

  // How it ended, or nothing when it did not end in time.
  std::optional<app::DetectionReport> WaitForEnd() {
    std::unique_lock lock(mutex_);
    ended_.wait_for(lock, kDetectionLimit, [this] { return end_.has_value(); });
    return end_;
  }

  Json Pages() {
    std::lock_guard lock(mutex_);
    return pages_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ended_;
  Json pages_ = Json::array();
  std::optional<app::DetectionReport> end_;
};

Reply Detect(app::Application& app) {
  DetectionResult result;
  std::optional<app::DetectionReport> end;
  {
    app::Application::Detection detection = app.StartDetection(result.Handler());
    end = result.WaitForEnd();
  }  // stopped and joined here, so nothing reports into `result` any more
  Json reply = {{"historyKeptShort", app.HistoryKeptShort()}, {"pages", result.Pages()}};
  if (end == app::DetectionReport::kFound) {
    reply["status"] = "found";
    reply["message"] = text::kSmartHistoryFound;
  } else if (end == app::DetectionReport::kNothingFound) {
    reply["status"] = "nothingFound";
    reply["message"] = text::kSmartHistoryNothingFound;
  } else {
    reply["status"] = "failed";
    reply["message"] = LoadString(str::kSmartHistoryLoadError);
  }
  return Reply::Ok(std::move(reply));
}

}  // namespace

void AddHistoryMethods(Dispatcher& dispatcher, app::Application& app) {
  // --- Smart History ---
  dispatcher.Add("smartHistory.navigated", [&app](const Json& json) {
    Params params(json);
    const std::string address = params.String("address");
    const std::string title = params.OptionalString("title").value_or("");
    if (params.problem()) return Reply::BadParams(params);
    return Done(app.NavigatedTo(address, title));
  });
  dispatcher.Add("smartHistory.state", [&app](const Json&) {
    return Reply::Ok({{"autoSH", static_cast<uint32_t>(app.SmartHistoryMode())},
                      {"historyKeptShort", app.HistoryKeptShort()},
                      {"proposals", ProposedListJson(app.SmartHistoryProposals())}});
  });
  dispatcher.Add("smartHistory.answer", [&app](const Json& json) {
    Params params(json);
    app::ProposalAnswer answer;
    answer.checked = ProposedFromJson("checked", params);
    answer.auto_sh = AutoShFromJson(params);
    answer.shown = AddressesFromJson("shown", params);
    if (params.problem()) return Reply::BadParams(params);
    app::Outcome<app::ProposalResult> result = app.AnswerSmartHistoryProposals(answer);
    if (!result.ok()) return Reply::Failed(result.message());
    Json added = Json::array();
    for (const app::AddedPage& page : result->added) added.push_back(AddedPageJson(page));
    Json reply = {{"added", std::move(added)}, {"remaining", ProposedListJson(result->remaining)}};
    if (result->needs_dialog) reply["needsDialog"] = ProposedJson(*result->needs_dialog);
    return Reply::Ok(std::move(reply));
  });
  dispatcher.Add("smartHistory.forget", [&app](const Json& json) {
    Params params(json);
    const std::string address = params.String("address");
    if (params.problem()) return Reply::BadParams(params);
    return Done(app.ForgetProposedPage(address));
  });
  dispatcher.Add("smartHistory.reset",
                 [&app](const Json&) { return Done(app.ResetSmartHistory()); });
  dispatcher.Add("smartHistory.runPass",
                 [&app](const Json&) { return Done(app.RunSmartHistoryPass()); });
  dispatcher.Add("smartHistory.detect", [&app](const Json&) { return Detect(app); });

  // --- Import ---
  dispatcher.Add("import.fill", [&app](const Json& json) {
    Params params(json);
    const std::optional<app::ImportSource> source = SourceFromJson(params);
    app::AddedFavorites added;
    added.shortcut_folders =
        params.OptionalStrings("shortcutFolders").value_or(std::vector<std::string>{});
    added.bookmark_files =
        params.OptionalStrings("bookmarkFiles").value_or(std::vector<std::string>{});
    if (params.problem()) return Reply::BadParams(params);
    const app::FilledImportTree filled = app.FillImportTree(*source, added);
    Json reply = {{"token", filled.token}, {"tree", EntryJson(filled.tree.root)}};
    if (filled.tree.fill_error) {
      reply["error"] = ErrorJson(app::StringMessage(*filled.tree.fill_error));
    }
    return Reply::Ok(std::move(reply));
  });
  dispatcher.Add("import.add", [&app](const Json& json) {
    Params params(json);
    const int64_t token = params.Integer("token");
    const std::vector<uint32_t> checked = IdsFromJson("checked", params);
    if (params.problem()) return Reply::BadParams(params);
    app::Outcome<app::ImportAddResult> result =
        app.AddImportEntries(static_cast<uint64_t>(token), checked);
    if (!result.ok()) return Reply::Failed(result.message());
    Json reply = {{"tree", EntryJson(result->tree.root)}, {"added", result->added}};
    if (result->error) reply["error"] = ErrorJson(*result->error);
    if (result->add_error) reply["addError"] = ErrorJson(*result->add_error);
    return Reply::Ok(std::move(reply));
  });
}

}  // namespace tw::api
