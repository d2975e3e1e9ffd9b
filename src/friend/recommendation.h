// The address that sends a Tell a Friend message.
//
// With a recommendation service set up, the service's own address with the message in its
// query: Count=1, EMF (the format number), FN and FA (the sender's name and address), TN0 and
// TA0 (the friend's name and address, recipient 0 of the one that Count announces). Every value
// is percent-encoded, so that a name holding "&" or "=" stays one value and cannot add or
// replace parameters. Without a service, a mailto: address to the friend whose subject and body
// carry the recommendation, for the user's own mail program.
//
// Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

#include "friend/message.h"

namespace tw {

// Whether `address` can be a recommendation service: an http:// or https:// address.
bool IsRecommendationService(std::string_view address);

// The service's address with the message's parameters added to its query (after any query of
// its own, before any fragment).
std::string RecommendationQueryAddress(std::string_view service, const FriendMessage& message);

// A mailto: address to the friend. The body is plain text; with the HTML format an html-body
// parameter carries the same text as HTML for the mail programs that take one.
std::string RecommendationMailto(const FriendMessage& message);

// The query address when `service` is a recommendation service, else the mailto: address.
std::string RecommendationAddress(std::string_view service, const FriendMessage& message);

}  // namespace tw
