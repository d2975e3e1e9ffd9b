// How the host program tells its user of a failure without a window: where a message box would
// appear, the caption "Tidewell" and the string's exact text go to standard error as one line.
#pragma once

#include <cstdint>
#include <string>

#include "platform/error.h"

namespace tw {

// "Tidewell: <string `string_id`>", and when `reason` has a text, that text indented on the next
// line, so that a user at a terminal learns why.
void ShowMessage(uint32_t string_id, Error reason = Error());

// The sentence for an error number ("Unknown error." when there is none).
std::string ErrorTextOf(Error e);

}  // namespace tw
