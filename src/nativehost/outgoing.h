// What the host sends the browser, fitted to the browsers' limit of kMaxOutgoing bytes per
// message (frame.h).
//
// A reply that would be longer is replaced by an error reply with the code "too-large" (the
// client asks for less, or uses the events). An event is one message as a rule: the page list
// goes out one page per event. The notification dialogs' events can grow with the number of pages
// or errors; a longer one is split into several events of the same dialog id, each adding to the
// dialog, which is how the dialogs take a second event of the same id. A proposals event keeps
// the proposals that fit (the others stay proposed). Any other event that cannot fit is dropped
// and said so on standard error.
//
// Pure functions; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "api/event_feed.h"
#include "api/json_values.h"
#include "nativehost/frame.h"

namespace tw::nativehost {

// The id of a message that is JSON but maybe no request, so that the client can match an error
// reply; null when it has none (or one of another type than number or string).
api::Json IdOf(std::string_view message);

// The reply envelope text, or in its place the too-large error reply with the id of `request`.
std::string ReplyText(std::string reply, std::string_view request,
                      size_t max_length = kMaxOutgoing);

// The event as one or more `{"event", "data"}` messages, each at most `max_length` bytes.
std::vector<std::string> EventTexts(const api::EventMessage& event,
                                    size_t max_length = kMaxOutgoing);

}  // namespace tw::nativehost
