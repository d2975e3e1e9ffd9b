// When two addresses are the same page, as Smart History compares them against the home page,
// watched pages and the browser's visited entries: equal without regard to case, or equal but
// for a "/" that exactly one of them ends with.
//
// Threads: any; pure functions.
#pragma once

#include <string>
#include <string_view>

namespace tw {

bool SameAddress(std::string_view a, std::string_view b);

// A key under which SameAddress addresses meet: the address in lower case (ASCII letters), without
// one final "/". Two addresses are the same page exactly when their keys are equal.
std::string AddressKey(std::string_view address);

}  // namespace tw
