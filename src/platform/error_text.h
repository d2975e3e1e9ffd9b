// The words for the error numbers the system stores and reports.
//
// This is the one place that turns an error number (error.h) into a sentence for the user: the
// error log composes its messages from it and the page list shows a page's stored error with it.
// Texts have no final line break; callers that want one add it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tw {

// The text for the error number, or nullopt when there is none (the caller then says
// "Unknown error.").
std::optional<std::string_view> ErrorText(uint32_t code);

}  // namespace tw
