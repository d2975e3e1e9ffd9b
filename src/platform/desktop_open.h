// The desktop's "open" action for an address: the user's web browser, through xdg-open started
// without a shell. Any thread may call it; it blocks for at most a few seconds.
#pragma once

#include <string>

#include "platform/error.h"

namespace tw {

// Hands the address to the desktop's opener. Fails with 2 when there is no opener and with 31
// when the opener reports a failure.
Error OpenWithDesktop(const std::string& address);

}  // namespace tw
