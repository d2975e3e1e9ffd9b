#include "browser/profiles.h"

#include <algorithm>
#include <set>

#include "browser/firefox_profiles.h"
#include "browser/json_input.h"
#include "platform/file_system.h"
#include "platform/folder_listing.h"
#include "platform/foreign_file.h"
#include "platform/user_dirs.h"

namespace tw {
namespace {

constexpr uint64_t kMaxProfilesIniBytes = 1 << 20;
constexpr uint64_t kMaxLocalStateBytes = 16 << 20;
// A user data folder holds a few dozen entries; past this it is not one.
constexpr size_t kMaxUserDataEntries = 10000;

enum class Base { kHome, kConfigHome };

struct Home {
  BrowserFamily family;
  const char* browser;
  const char* secret_application;
  Base base;
  const char* path;
};

// Native packages first, then snap and flatpak ones, for each browser.
constexpr Home kHomes[] = {
    {BrowserFamily::kFirefox, "Firefox", "", Base::kConfigHome, "mozilla/firefox"},
    {BrowserFamily::kFirefox, "Firefox", "", Base::kHome, ".mozilla/firefox"},
    {BrowserFamily::kFirefox, "Firefox", "", Base::kHome, "snap/firefox/common/.mozilla/firefox"},
    {BrowserFamily::kFirefox, "Firefox", "", Base::kHome,
     ".var/app/org.mozilla.firefox/config/mozilla/firefox"},
    {BrowserFamily::kFirefox, "Firefox", "", Base::kHome,
     ".var/app/org.mozilla.firefox/.mozilla/firefox"},
    {BrowserFamily::kFirefox, "LibreWolf", "", Base::kHome, ".librewolf"},
    {BrowserFamily::kFirefox, "LibreWolf", "", Base::kHome,
     ".var/app/io.gitlab.librewolf-community/.librewolf"},
    {BrowserFamily::kChromium, "Chromium", "chromium", Base::kConfigHome, "chromium"},
    {BrowserFamily::kChromium, "Chromium", "chromium", Base::kHome,
     "snap/chromium/common/chromium"},
    {BrowserFamily::kChromium, "Chromium", "chromium", Base::kHome,
     ".var/app/org.chromium.Chromium/config/chromium"},
    {BrowserFamily::kChromium, "Google Chrome", "chrome", Base::kConfigHome, "google-chrome"},
    {BrowserFamily::kChromium, "Google Chrome Beta", "chrome", Base::kConfigHome,
     "google-chrome-beta"},
    {BrowserFamily::kChromium, "Google Chrome Dev", "chrome", Base::kConfigHome,
     "google-chrome-unstable"},
    {BrowserFamily::kChromium, "Google Chrome", "chrome", Base::kHome,
     ".var/app/com.google.Chrome/config/google-chrome"},
    {BrowserFamily::kChromium, "Brave", "brave", Base::kConfigHome, "BraveSoftware/Brave-Browser"},
    {BrowserFamily::kChromium, "Brave", "brave", Base::kHome,
     ".var/app/com.brave.Browser/config/BraveSoftware/Brave-Browser"},
    {BrowserFamily::kChromium, "Microsoft Edge", "microsoft-edge", Base::kConfigHome,
     "microsoft-edge"},
    {BrowserFamily::kChromium, "Microsoft Edge", "microsoft-edge", Base::kHome,
     ".var/app/com.microsoft.Edge/config/microsoft-edge"},
    {BrowserFamily::kChromium, "Vivaldi", "vivaldi", Base::kConfigHome, "vivaldi"},
    {BrowserFamily::kChromium, "Vivaldi", "vivaldi", Base::kHome,
     ".var/app/com.vivaldi.Vivaldi/config/vivaldi"},
};

constexpr std::string_view kChromiumDefaultFolder = "Default";
constexpr std::string_view kChromiumProfilePrefix = "Profile ";

bool IsPlainFolderName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

void AddFirefoxHome(const Home& home, const std::string& dir, std::vector<BrowserProfile>& out) {
  Result<std::string> ini = ReadForeignFile(JoinPath(dir, "profiles.ini"), kMaxProfilesIniBytes);
  if (!ini.ok()) return;
  std::vector<IniProfile> listed = ProfilesFromIni(*ini, dir);
  std::stable_partition(listed.begin(), listed.end(),
                        [](const IniProfile& p) { return p.is_default; });
  for (IniProfile& p : listed) {
    out.push_back(BrowserProfile{home.family, home.browser, home.secret_application,
                                 std::move(p.name), std::move(p.folder), p.is_default});
  }
}

// Without a readable Local State: the folders a Chromium user data folder makes for profiles.
std::vector<LocalStateProfile> ProfileFoldersOf(const std::string& dir) {
  std::vector<LocalStateProfile> found;
  Result<std::vector<FolderEntry>> entries = ListFolder(dir, kMaxUserDataEntries);
  if (!entries.ok()) return found;
  for (const FolderEntry& entry : *entries) {
    if (!entry.is_folder) continue;
    if (entry.name != kChromiumDefaultFolder && !entry.name.starts_with(kChromiumProfilePrefix)) {
      continue;
    }
    found.push_back(
        LocalStateProfile{entry.name, entry.name, entry.name == kChromiumDefaultFolder});
  }
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.folder_name < b.folder_name; });
  return found;
}

void AddChromiumHome(const Home& home, const std::string& dir, std::vector<BrowserProfile>& out) {
  std::vector<LocalStateProfile> listed;
  Result<std::string> text = ReadForeignFile(JoinPath(dir, "Local State"), kMaxLocalStateBytes);
  if (text.ok()) {
    Result<std::vector<LocalStateProfile>> parsed = ProfilesFromLocalState(*text);
    if (parsed.ok()) listed = std::move(*parsed);
  }
  if (listed.empty()) listed = ProfileFoldersOf(dir);
  std::stable_partition(listed.begin(), listed.end(),
                        [](const LocalStateProfile& p) { return p.is_last_used; });
  for (LocalStateProfile& p : listed) {
    out.push_back(BrowserProfile{home.family, home.browser, home.secret_application,
                                 std::move(p.name), JoinPath(dir, p.folder_name), p.is_last_used});
  }
}

}  // namespace

Result<std::vector<LocalStateProfile>> ProfilesFromLocalState(std::string_view json) {
  Result<nlohmann::json> document = ParseJsonInput(json);
  if (!document.ok()) return document.error();
  if (!document->is_object()) return Error(err::kInvalidData);
  const auto profile = document->find("profile");
  if (profile == document->end() || !profile->is_object()) return Error(err::kInvalidData);
  const std::string_view last_used = JsonText(*profile, "last_used");
  std::vector<LocalStateProfile> listed;
  const auto cache = profile->find("info_cache");
  if (cache != profile->end() && cache->is_object()) {
    for (const auto& [folder_name, info] : cache->items()) {
      if (!IsPlainFolderName(folder_name)) continue;
      const std::string_view name = JsonText(info, "name");
      listed.push_back(
          LocalStateProfile{folder_name, std::string(name.empty() ? folder_name : name), false});
    }
  }
  // The browser starts with the profile it used last, else with "Default".
  const std::string_view start = last_used.empty() ? kChromiumDefaultFolder : last_used;
  for (LocalStateProfile& p : listed) p.is_last_used = p.folder_name == start;
  return listed;
}

std::vector<BrowserProfile> FindBrowserProfiles() {
  std::vector<BrowserProfile> found;
  Result<std::string> home = HomeDir();
  Result<std::string> config = ConfigHome();
  if (!home.ok()) return found;
  for (const Home& h : kHomes) {
    if (h.base == Base::kConfigHome && !config.ok()) continue;
    const std::string& base = h.base == Base::kHome ? *home : *config;
    const std::string dir = JoinPath(base, h.path);
    if (!PathExists(dir)) continue;
    if (h.family == BrowserFamily::kFirefox) {
      AddFirefoxHome(h, dir, found);
    } else {
      AddChromiumHome(h, dir, found);
    }
  }
  // Keep profiles whose folder is there, each once, however many ways lead to it.
  std::set<std::string> seen;
  std::erase_if(found, [&seen](const BrowserProfile& p) {
    Result<std::string> real = RealPath(p.folder);
    return !real.ok() || !seen.insert(*real).second;
  });
  return found;
}

}  // namespace tw
