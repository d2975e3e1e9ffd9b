// WindowStart: what a window that Tidewell opens for the user shows first. Opening the page list
// alone is the default; the desktop notification of one updated page may open that page's changes,
// and the one of Smart History's proposals opens the Smart History dialog.
// A plain value; any thread.
#pragma once

#include <optional>
#include <string>

namespace tw {

struct WindowStart {
  // The title of a page whose Show Changes view the window opens on.
  std::optional<std::string> show_changes_of;
  // The Smart History dialog with the pages waiting for it.
  bool smart_history = false;
};

}  // namespace tw
