// The rules that titles and addresses of pages follow when a user adds, renames or edits a page,
// each refusal with its message (messages.h). The file-name rules themselves (which bytes a title
// may hold, how long it may be in a folder) are the page file's (pagedb/title.h); these are the
// dialog's and the command line's uses of them. Pure functions; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/values.h"

namespace tw::app {

// A title made from something else (an address on the command line, a dropped shortcut's file
// name) keeps at most this much of it.
inline constexpr size_t kMaxDerivedTitleLength = 251;

// The address rules of the page dialogs: empty is refused; an address longer than 2084 bytes or
// holding a zero byte is not a URL; an address with no scheme, or with a scheme the parser does
// not know, is taken as it is (the caller puts "http://" in front); a known scheme must crack and
// be "http" or "https".
std::optional<UserMessage> CheckAddressRules(std::string_view address);

// The address with "http://" in front unless it begins with "http://" or "https://", letter case
// aside.
std::string WithWebPrefix(std::string_view address);

// A title for the dialogs: refused with the invalid-title message when it holds a control
// character or one of / \ : * ? " < > |, and with the too-long message when it is longer than
// `max_length`. An empty title passes here; callers decide what empty means.
std::optional<UserMessage> CheckTitleRules(std::string_view title, size_t max_length, Field field);

// A title made from an address by the Add Page dialog: the address without a leading "http://",
// made usable as a file name and cut to `max_length`.
std::string DialogTitleFromAddress(std::string_view address, size_t max_length);

// The address without a leading "http://" or "https://" (compared with case).
std::string_view WithoutWebScheme(std::string_view address);

// Add Current Page's title: the browser's title, or when it is empty the address without its web
// scheme, each cut to 251 bytes, then made usable as a file name and cut to `max_length`.
std::string CurrentPageTitle(std::string_view title, std::string_view address, size_t max_length);

// The command line's add: a title made from an address without a leading "http://" or
// "https://" (compared with case), at most 251 bytes, without a final slash; and the address
// with "http://" in front unless it begins with either prefix (compared with case).
std::string CommandLineTitleFromAddress(std::string_view address);
std::string CommandLineAddress(std::string_view address);

// Titles compare without regard to letter case when pages are told apart.
std::string TitleKey(std::string_view title);

// The titles a page is given when its own is taken, in the order they are tried: the title, then
// the title cut by two bytes with "2" to "9" appended.
std::vector<std::string> NumberedTitles(const std::string& title);

}  // namespace tw::app
