// The user's default Firefox profile: the folder below ~/.mozilla/firefox that profiles.ini
// names as the default, where the browser keeps its cookies and history.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace tw {

// The default profile's folder; fails with 2 when there is no profiles.ini or it names no
// profile. The folder itself is not checked.
Result<std::string> DefaultFirefoxProfile();

// The default profile's folder from the text of profiles.ini, whose folder is `firefox_dir`:
// the profile an [Install...] section makes default (what current browsers use), else the
// [Profile...] marked Default=1, else the first profile; nullopt when it names none.
std::optional<std::string> DefaultProfileFromIni(std::string_view ini,
                                                 const std::string& firefox_dir);

}  // namespace tw
