// The API's methods, each group in its file, added to the dispatcher as it is made, and the few
// helpers the groups share. Same threads as Dispatcher.
#pragma once

#include <string_view>

#include "api/dispatcher.h"

namespace tw::api {

// The reply to an operation that answers nothing but success or its failure.
Reply Done(const app::Outcome<app::Done>& outcome);

// "host" or "sidebar": how requests and replies name a window's settings.
std::string_view WindowSettingName(WindowSetting setting);

// app.info, settings.get, settings.set, startup.set: the program and its user settings.
void AddSettingsMethods(Dispatcher& dispatcher, app::Application& app,
                        const DispatcherConfig& config);

// pages.list, pages.get, pages.add and the other operations on the page list.
void AddPageMethods(Dispatcher& dispatcher, app::Application& app, const DispatcherConfig& config);

// checking.refresh, checking.stop, checking.state: the check of every page.
void AddCheckingMethods(Dispatcher& dispatcher, app::Application& app);

// schedule.get, schedule.set: the offline schedule.
void AddScheduleMethods(Dispatcher& dispatcher, app::Application& app);

// folders.list: the folder picker.
void AddFolderMethods(Dispatcher& dispatcher, app::Application& app);

// notify.answer: the answer to a notification a window showed.
void AddNotificationMethods(Dispatcher& dispatcher, app::Application& app);

// pages.versions, pages.changes: a page's earlier versions and what changed since one of them.
void AddVersionMethods(Dispatcher& dispatcher, app::Application& app);

// friend.open, friend.send, friend.importVCard, friend.importAddressBook: Tell a Friend.
void AddTellAFriendMethods(Dispatcher& dispatcher, app::Application& app);

// smartHistory.* and import.*: Smart History's proposals, detection, reset and state, and the
// Import wizard's trees.
void AddHistoryMethods(Dispatcher& dispatcher, app::Application& app);

// pages.addCurrent: Add Current Page, the page the browser shows.
void AddCurrentPageMethods(Dispatcher& dispatcher, app::Application& app);

}  // namespace tw::api
