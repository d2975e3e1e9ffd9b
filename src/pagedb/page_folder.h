// The page folder: where it is and how it is prepared. Its marker files are in folder_markers.h.
#pragma once

#include <string>
#include <string_view>

#include "pagedb/folder_markers.h"
#include "platform/error.h"
#include "platform/settings_store.h"

namespace tw {

// The folder settings file that gives the folder its icon and comment in file managers.
inline constexpr std::string_view kFolderSettingsFile = ".directory";

// The page folder: the PDB value of the options key when it is set and fits in 260 bytes with
// its terminator; otherwise the documents folder plus "/My Tidewell", made when missing and then
// stored in PDB. Fails when the documents folder cannot be found or the folder cannot be made.
Result<std::string> GetPageFolder(const SettingsStore& store);

// Writes the folder settings file.
Error WriteFolderSettings(const std::string& folder);

// Asks the check pass running on the folder (in any process) to stop: creates an empty "crs".
Error RequestStopChecking(const std::string& folder);

}  // namespace tw
