#include "browser/json_input.h"

namespace tw {
namespace {

// The deepest nesting of arrays and objects, counted outside strings.
size_t NestingDepth(std::string_view text) {
  size_t depth = 0;
  size_t deepest = 0;
  bool in_string = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      deepest = std::max(deepest, ++depth);
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return deepest;
}

}  // namespace

Result<nlohmann::json> ParseJsonInput(std::string_view text, size_t max_depth) {
  if (NestingDepth(text) > max_depth) return Error(err::kInvalidData);
  nlohmann::json document = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (document.is_discarded()) return Error(err::kInvalidData);
  return document;
}

std::string_view JsonText(const nlohmann::json& object, std::string_view key) {
  if (!object.is_object()) return {};
  const auto it = object.find(key);
  if (it == object.end() || !it->is_string()) return {};
  return it->get_ref<const std::string&>();
}

}  // namespace tw
