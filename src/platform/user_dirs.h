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
// XDG_DOCUMENTS_DIR from ~/.config/user-dirs.dirs (with $HOME expanded), else ~/Documents.
Result<std::string> DocumentsDir();

}  // namespace tw
