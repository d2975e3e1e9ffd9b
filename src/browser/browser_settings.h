// What a browser profile's settings say about its home page and how long it keeps its history:
// Firefox's prefs.js (and user.js, which overrides it), Chromium's Preferences.
//
// Threads: any; each call reads the files anew.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "browser/firefox_prefs.h"
#include "browser/profiles.h"

namespace tw {

inline constexpr uint64_t kMaxPrefsFileBytes = 16 << 20;

// The pages the browser opens as its home and start pages, as set (they need not be web
// addresses: "about:home", "chrome://newtab/"); none when the settings cannot be read.
std::vector<std::string> StartPages(const BrowserProfile& profile);

// For how many days the browser keeps its history, where it says so: none when the browser keeps
// history by size rather than by age, or when its settings cannot be read. A browser told to keep
// no history, or to forget it when it closes, keeps it for 0 days.
std::optional<uint32_t> HistoryDays(const BrowserProfile& profile);

// Over every profile found: all their start pages, and the longest history length any says.
std::vector<std::string> UserStartPages();
std::optional<uint32_t> UserHistoryDays();

// The same from the settings already read.
std::vector<std::string> FirefoxStartPages(const FirefoxPrefs& prefs);
std::optional<uint32_t> FirefoxHistoryDays(const FirefoxPrefs& prefs);
std::vector<std::string> ChromiumStartPages(const nlohmann::json& preferences);
std::optional<uint32_t> ChromiumHistoryDays(const nlohmann::json& preferences);

}  // namespace tw
