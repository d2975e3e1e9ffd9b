// How the tidewell command tells its user of a failure: where a message box would appear, the
// caption "Tidewell" and the message's exact text go to standard error as one line. Any thread.
#pragma once

#include "app/values.h"

namespace tw::cli {

// "Tidewell: <text>", and when the message has a detail (why it happened), that detail indented
// on the next line, so that a user at a terminal learns why.
void ShowMessage(const app::UserMessage& message);

}  // namespace tw::cli
