// The user's browsers and their profiles: the one place that every reader of browser data (the
// cookies of the checks, history, bookmarks, home page) asks where they are.
//
// Firefox and its relatives list their profiles in a profiles.ini in each of their homes:
// $XDG_CONFIG_HOME/mozilla/firefox (where current Firefox creates them), ~/.mozilla/firefox
// (where older ones did), and the homes of the snap and flatpak packages. Chromium-based browsers
// (Chromium, Google Chrome, Brave, Microsoft Edge, Vivaldi) keep a user data folder under
// $XDG_CONFIG_HOME, or in their flatpak or snap home, that holds one folder per profile and a
// "Local State" file naming them. A home that is missing or unreadable contributes nothing; the
// same folder reached twice (a home linked to another) is listed once.
//
// Threads: any; each call reads the files again.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace tw {

enum class BrowserFamily { kFirefox, kChromium };

struct BrowserProfile {
  BrowserFamily family = BrowserFamily::kFirefox;
  std::string browser;  // "Firefox", "Chromium", "Google Chrome", "Brave" ...
  // Chromium family: the "application" under which the browser keeps its cookie key in the
  // desktop's secret store; "" for Firefox.
  std::string secret_application;
  std::string name;         // the profile's own name, as the browser shows it
  std::string folder;       // absolute path of the profile folder
  bool is_default = false;  // the profile the browser starts with (last used, for Chromium)
};

// Every profile of every browser found below the user's home, in a fixed order of browsers and,
// within a browser's home, default profiles first.
std::vector<BrowserProfile> FindBrowserProfiles();

// A profile folder of a Chromium user data folder from its Local State text: the folder names
// and shown names of the profiles it lists, the last used one marked default. Names that are not
// a plain folder name are passed over. Fails with 13 when the text is no Local State.
struct LocalStateProfile {
  std::string folder_name;
  std::string name;
  bool is_last_used = false;
};
Result<std::vector<LocalStateProfile>> ProfilesFromLocalState(std::string_view json);

}  // namespace tw
