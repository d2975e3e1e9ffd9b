// XDG autostart: desktop entry files that the user's desktop runs at log-on, one folder for the
// user ($XDG_CONFIG_HOME/autostart) and one for every user (autostart in the first folder of
// $XDG_CONFIG_DIRS, /etc/xdg by default). Any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace tw {

enum class AutostartScope { kUser, kAllUsers };

struct AutostartEntry {
  std::string name;
  std::string comment;
  std::vector<std::string> command;  // the program's path and its arguments
};

// The path of the entry file `file_name` ("tidewell.desktop") in the scope's folder.
Result<std::string> AutostartPath(AutostartScope scope, std::string_view file_name);

// Writes the entry (making the folder), replacing a file of that name whole.
Error WriteAutostartEntry(const std::string& path, const AutostartEntry& entry);

// The desktop entry's Exec value for a command: each argument quoted where it must be, with the
// characters the format reserves escaped.
std::string DesktopEntryExec(const std::vector<std::string>& command);

}  // namespace tw
