#include "browser/browser_settings.h"

#include <algorithm>

#include "browser/json_input.h"
#include "platform/file_system.h"
#include "platform/foreign_file.h"

namespace tw {
namespace {

// Firefox shows its own home when none is set.
constexpr std::string_view kFirefoxDefaultHome = "about:home";
constexpr std::string_view kChromiumNewTab = "chrome://newtab/";
// Chromium removes visits older than this; it has no setting for it.
constexpr uint32_t kChromiumHistoryDays = 90;
// Chromium's "open a specific page or set of pages" start-up choice.
constexpr int64_t kChromiumRestoreUrls = 4;
constexpr size_t kMaxStartPages = 100;

std::optional<FirefoxPrefs> ReadFirefoxPrefs(const std::string& folder) {
  FirefoxPrefs prefs;
  bool any = false;
  // user.js is applied over prefs.js each time the browser starts.
  for (const char* name : {"prefs.js", "user.js"}) {
    Result<std::string> text = ReadForeignFile(JoinPath(folder, name), kMaxPrefsFileBytes);
    if (!text.ok()) continue;
    prefs.Read(*text);
    any = true;
  }
  if (!any) return std::nullopt;
  return prefs;
}

std::optional<nlohmann::json> ReadChromiumPreferences(const std::string& folder) {
  Result<std::string> text = ReadForeignFile(JoinPath(folder, "Preferences"), kMaxPrefsFileBytes);
  if (!text.ok()) return std::nullopt;
  Result<nlohmann::json> document = ParseJsonInput(*text);
  if (!document.ok() || !document->is_object()) return std::nullopt;
  return std::move(*document);
}

// The member at a dotted path of objects ("session.startup_urls"), or nullptr.
const nlohmann::json* Member(const nlohmann::json& root, std::string_view path) {
  const nlohmann::json* node = &root;
  while (!path.empty()) {
    const size_t dot = path.find('.');
    const std::string key(path.substr(0, dot));
    path.remove_prefix(dot == std::string_view::npos ? path.size() : dot + 1);
    if (!node->is_object()) return nullptr;
    const auto it = node->find(key);
    if (it == node->end()) return nullptr;
    node = &*it;
  }
  return node;
}

bool FlagAt(const nlohmann::json& root, std::string_view path, bool fallback) {
  const nlohmann::json* node = Member(root, path);
  return node && node->is_boolean() ? node->get<bool>() : fallback;
}

}  // namespace

std::vector<std::string> FirefoxStartPages(const FirefoxPrefs& prefs) {
  const std::string home =
      prefs.Text("browser.startup.homepage").value_or(std::string(kFirefoxDefaultHome));
  // Several home pages are kept in one value, separated by "|".
  std::vector<std::string> pages;
  std::string_view rest = home;
  while (!rest.empty() && pages.size() < kMaxStartPages) {
    const size_t bar = rest.find('|');
    if (bar != 0) pages.emplace_back(rest.substr(0, bar));
    rest.remove_prefix(bar == std::string_view::npos ? rest.size() : bar + 1);
  }
  return pages;
}

std::optional<uint32_t> FirefoxHistoryDays(const FirefoxPrefs& prefs) {
  if (prefs.Flag("places.history.enabled") == false) return 0;
  if (prefs.Flag("browser.privatebrowsing.autostart") == true) return 0;
  if (prefs.Flag("privacy.sanitize.sanitizeOnShutdown") == true &&
      (prefs.Flag("privacy.clearOnShutdown.history") == true ||
       prefs.Flag("privacy.clearOnShutdown_v2.historyFormDataAndDownloads") == true ||
       prefs.Flag("privacy.clearOnShutdown_v2.browsingHistoryAndDownloads") == true)) {
    return 0;
  }
  // Older versions kept history by age; newer ones by size, and say nothing of days.
  if (std::optional<int64_t> days = prefs.Number("browser.history_expire_days")) {
    return static_cast<uint32_t>(std::clamp<int64_t>(*days, 0, UINT32_MAX));
  }
  return std::nullopt;
}

std::vector<std::string> ChromiumStartPages(const nlohmann::json& preferences) {
  std::vector<std::string> pages;
  const std::string_view home = JsonText(preferences, "homepage");
  const bool new_tab = FlagAt(preferences, "homepage_is_newtabpage", true);
  pages.emplace_back(new_tab || home.empty() ? kChromiumNewTab : home);
  const nlohmann::json* restore = Member(preferences, "session.restore_on_startup");
  const nlohmann::json* urls = Member(preferences, "session.startup_urls");
  if (restore && restore->is_number_integer() && restore->get<int64_t>() == kChromiumRestoreUrls &&
      urls && urls->is_array()) {
    for (const nlohmann::json& url : *urls) {
      if (pages.size() == kMaxStartPages) break;
      if (url.is_string()) pages.push_back(url.get<std::string>());
    }
  }
  return pages;
}

std::optional<uint32_t> ChromiumHistoryDays(const nlohmann::json& preferences) {
  if (FlagAt(preferences, "history.saving_disabled", false)) return 0;
  return kChromiumHistoryDays;
}

std::vector<std::string> StartPages(const BrowserProfile& profile) {
  if (profile.family == BrowserFamily::kFirefox) {
    std::optional<FirefoxPrefs> prefs = ReadFirefoxPrefs(profile.folder);
    return prefs ? FirefoxStartPages(*prefs) : std::vector<std::string>{};
  }
  std::optional<nlohmann::json> preferences = ReadChromiumPreferences(profile.folder);
  return preferences ? ChromiumStartPages(*preferences) : std::vector<std::string>{};
}

std::optional<uint32_t> HistoryDays(const BrowserProfile& profile) {
  if (profile.family == BrowserFamily::kFirefox) {
    std::optional<FirefoxPrefs> prefs = ReadFirefoxPrefs(profile.folder);
    return prefs ? FirefoxHistoryDays(*prefs) : std::nullopt;
  }
  std::optional<nlohmann::json> preferences = ReadChromiumPreferences(profile.folder);
  return preferences ? ChromiumHistoryDays(*preferences) : std::nullopt;
}

std::vector<std::string> UserStartPages() {
  std::vector<std::string> pages;
  for (const BrowserProfile& profile : FindBrowserProfiles()) {
    std::vector<std::string> more = StartPages(profile);
    pages.insert(pages.end(), std::make_move_iterator(more.begin()),
                 std::make_move_iterator(more.end()));
  }
  return pages;
}

std::optional<uint32_t> UserHistoryDays() {
  std::optional<uint32_t> longest;
  for (const BrowserProfile& profile : FindBrowserProfiles()) {
    const std::optional<uint32_t> days = HistoryDays(profile);
    if (days && (!longest || *days > *longest)) longest = days;
  }
  return longest;
}

}  // namespace tw
