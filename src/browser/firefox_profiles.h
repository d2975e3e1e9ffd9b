// The profiles that a Firefox profiles.ini lists, with the one the browser starts by default.
//
// Threads: any; pure functions of their input.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct IniProfile {
  std::string name;    // Name=, else the folder's last component
  std::string folder;  // absolute
  bool is_default = false;
};

// The profiles of profiles.ini's text, whose own folder is `firefox_dir`, in the order listed.
// The default is every profile that an [Install...] section names (what current browsers use;
// each installed browser has its own), else the [Profile...] marked Default=1, else the first.
// A profile that only an [Install...] section names is listed too. Lines it cannot read are
// passed over.
std::vector<IniProfile> ProfilesFromIni(std::string_view ini, const std::string& firefox_dir);

}  // namespace tw
