// The Tell a Friend dialog's work, apart from drawing it: what it shows when it opens, what OK
// checks, sends and remembers, and what an address book import puts into it.
//
// The sender is remembered in the settings store's root key (not its Options key), as the
// string values TAFFrom and TAFFromAddress. The root key's string value TAFServiceAddress names
// the recommendation service; empty or missing (the default), OK gives a mailto: address for
// the user's own mail program instead.
//
// Any thread; the store serialises its writers across processes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "friend/contact.h"
#include "friend/message.h"
#include "platform/settings_store.h"

namespace tw {

inline constexpr std::string_view kFromNameValue = "TAFFrom";
inline constexpr std::string_view kFromAddressValue = "TAFFromAddress";
inline constexpr std::string_view kServiceAddressValue = "TAFServiceAddress";
// A remembered value longer than this is not taken.
inline constexpr size_t kMaxRememberedBytes = 260;

// The message the dialog opens with: the remembered sender (each value only when present, not
// empty and not too long, cut to its field), an empty friend, the HTML format.
FriendMessage OpenTellAFriend(const SettingsStore& store);

struct TellAFriendResult {
  std::optional<FriendProblem> problem;  // set: show it and keep the dialog open
  std::string address;                   // otherwise: the address to open
};

// OK: the fields are cut to their limits and checked; a sound message gives the recommendation
// address and the sender is remembered (a sender that cannot be written is simply not
// remembered).
TellAFriendResult AcceptTellAFriend(const SettingsStore& store, const FriendMessage& message);

// The recommendation service set up in the store, or "" when there is none.
std::string RecommendationService(const SettingsStore& store);

// An import that brought contacts: the first one becomes the friend (name and address cut to
// their fields); the other fields stay as they are. No contacts change nothing.
void ApplyImportedContacts(FriendMessage& message, const ContactList& contacts);

}  // namespace tw
