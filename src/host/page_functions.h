// The host program's page functions: independent one-shot calls that need no window and no
// earlier call, made on the caller's thread. AddPage and RefreshPDB build a page database object
// of their own for the length of the call. Failures of AddPage and PageOpen are shown to the user
// as a message on standard error (user_message.h); RefreshPDB runs unattended and shows nothing.
#pragma once

#include <string>
#include <string_view>

namespace tw {

inline constexpr int kAddPageAdded = 0;
inline constexpr int kPageOpened = 1;
inline constexpr int kRefreshDone = 0;
inline constexpr int kPageFunctionFailed = -1;

// Adds one page with the new-page defaults of the options. Without a title, the title is made
// from the address; an address that begins with neither "http://" nor "https://" gets "http://"
// in front. A page is never replaced: when the title is taken (letter case aside), the title is
// numbered "2" to "9", and the add fails only when none of those is free. `added_title`, when
// given, receives the title the page got.
int AddPage(std::string_view address, std::string_view title, std::string* added_title = nullptr);

// Opens the address of the page file at `path` (a path without a folder is in the current
// directory) in the user's web browser. Does not clear the page's updated flag.
int PageOpen(const std::string& path);

// Checks all pages of the page folder once, returning when the check pass has ended. Errors of
// the pass reach the user only as error files in the page folder.
int RefreshPDB();

}  // namespace tw
