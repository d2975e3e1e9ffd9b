// The web UI's files, embedded into the program when it was built (the bundle that scripts/setup
// builds into ui/dist). Constant data; any thread.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace tw::service {

struct UiFile {
  std::string_view path;  // "/index.html", "/assets/index-1a2b.js"
  std::string_view bytes;
};

// Every file of the bundle, sorted by path; made by the build (cmake/EmbedFiles.cmake).
std::span<const UiFile> EmbeddedUiFiles();

// The file served at `path` ("/" is "/index.html"); nothing when the bundle has none.
std::optional<UiFile> FindUiFile(std::string_view path);
// Whether the program was built with the UI.
bool HasUi();
// The Content-Type for a file by the end of its name.
std::string_view ContentTypeOf(std::string_view path);

}  // namespace tw::service
