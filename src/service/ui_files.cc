#include "service/ui_files.h"

#include "foundation/ascii.h"

namespace tw::service {

std::optional<UiFile> FindUiFile(std::string_view path) {
  if (path == "/") path = "/index.html";
  for (const UiFile& file : EmbeddedUiFiles()) {
    if (file.path == path) return file;
  }
  return std::nullopt;
}

bool HasUi() { return FindUiFile("/index.html").has_value(); }

std::string_view ContentTypeOf(std::string_view path) {
  struct Type {
    std::string_view suffix;
    std::string_view type;
  };
  constexpr Type kTypes[] = {
      {".html", "text/html; charset=utf-8"},
      {".js", "text/javascript; charset=utf-8"},
      {".mjs", "text/javascript; charset=utf-8"},
      {".css", "text/css; charset=utf-8"},
      {".json", "application/json"},
      {".svg", "image/svg+xml"},
      {".png", "image/png"},
      {".ico", "image/x-icon"},
      {".woff2", "font/woff2"},
      {".txt", "text/plain; charset=utf-8"},
      {".map", "application/json"},
  };
  for (const Type& type : kTypes) {
    if (path.size() >= type.suffix.size() &&
        EqualsIgnoreCase(path.substr(path.size() - type.suffix.size()), type.suffix)) {
      return type.type;
    }
  }
  return "application/octet-stream";
}

}  // namespace tw::service
