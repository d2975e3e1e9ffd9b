// WindowStart: what a window that Tidewell opens for the user shows first. Opening the page list
// alone is the default; the desktop notification of one updated page may open that page's changes.
// A plain value; any thread.
#pragma once

#include <optional>
#include <string>

namespace tw {

struct WindowStart {
  // The title of a page whose Show Changes view the window opens on.
  std::optional<std::string> show_changes_of;
};

}  // namespace tw
