// The API's methods beyond the page list's own, each group in its file, added to the dispatcher
// as it is made. Same threads as Dispatcher.
#pragma once

#include "api/dispatcher.h"

namespace tw::api {

// pages.versions, pages.changes: a page's earlier versions and what changed since one of them.
void AddVersionMethods(Dispatcher& dispatcher, app::Application& app);

// friend.open, friend.send, friend.importVCard, friend.importAddressBook: Tell a Friend.
void AddTellAFriendMethods(Dispatcher& dispatcher, app::Application& app);

}  // namespace tw::api
