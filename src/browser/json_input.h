// JSON files that browsers write (Local State, Preferences, Bookmarks), parsed as untrusted input:
// nesting deeper than a cap is refused before anything is built, so that neither parsing nor
// walking the result can exhaust the stack.
//
// Threads: any; pure functions of their input.
#pragma once

#include <cstddef>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/error.h"

namespace tw {

// Nesting that no browser file comes near; bookmark folders are the deepest, a level or two each.
inline constexpr size_t kMaxJsonDepth = 200;

// The parsed document; fails with 13 when the text is no JSON or nests deeper than max_depth.
Result<nlohmann::json> ParseJsonInput(std::string_view text, size_t max_depth = kMaxJsonDepth);

// The member as text, or "" when it is missing or no string.
std::string_view JsonText(const nlohmann::json& object, std::string_view key);

}  // namespace tw
