// The freedesktop trash: where a deleted page file goes so that the user can restore it.
//
// A file is moved into the trash of the user's home ($XDG_DATA_HOME/Trash) when it lies on the
// same file system, else into the trash at the top of its own file system ($topdir/.Trash-$UID);
// beside it in "info" a NAME.trashinfo file records where it came from and when it was deleted,
// which file managers use to put it back. A file someone has open is not moved (error 32).
// Any thread may call it.
#pragma once

#include <string>

#include "platform/error.h"

namespace tw {

// Moves the file into the trash. Fails with the move's error, and leaves nothing behind in the
// trash, when the file cannot be moved.
Error MoveToTrash(const std::string& path);

}  // namespace tw
