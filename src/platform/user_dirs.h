// Per-user locations. Every one derives from HOME and the XDG variables, so that a test or a
// second user runs against a home of its own.
#pragma once

#include <string>

#include "platform/error.h"

namespace tw {

// $HOME, else the password database's home folder.
Result<std::string> HomeDir();
// $XDG_CONFIG_HOME, else ~/.config.
Result<std::string> ConfigHome();
// $XDG_DATA_HOME, else ~/.local/share.
Result<std::string> DataHome();
// $XDG_CACHE_HOME, else ~/.cache.
Result<std::string> CacheHome();
// The first folder of $XDG_CONFIG_DIRS, else /etc/xdg: where settings for all users live.
std::string SystemConfigDir();
// Tidewell's folder for files that live as long as the login session (the service's address and
// secret): $XDG_RUNTIME_DIR/tidewell, or without XDG_RUNTIME_DIR $XDG_CACHE_HOME/tidewell/runtime.
// Made when missing, readable by the user alone (mode 0700); fails with 5 when the folder belongs
// to someone else.
Result<std::string> PrivateRuntimeDir();
// XDG_DOCUMENTS_DIR from ~/.config/user-dirs.dirs (with $HOME expanded), else ~/Documents.
Result<std::string> DocumentsDir();

}  // namespace tw
