// The desktop's secret store (the freedesktop Secret Service, reached over the session bus through
// libsecret): secrets that other programs keep there, such as the key a browser encrypts its
// cookies with.
//
// Lookups never ask the user for anything: an item in a locked collection counts as not there,
// and no collection is ever unlocked or created. Without a session bus or a store on it, every
// lookup fails at once.
//
// Threads: any thread; each call is one synchronous exchange with the store.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/error.h"

namespace tw {

using SecretAttributes = std::vector<std::pair<std::string, std::string>>;

// The secret of the first unlocked item whose attributes include all of `attributes` (the item's
// schema is the attribute "xdg:schema"). Fails with 2 when no store answers or no unlocked item
// matches.
Result<std::string> LookupSecret(const SecretAttributes& attributes);

}  // namespace tw
