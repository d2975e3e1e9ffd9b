// The user's bookmarks, as trees of folders and links, from every place a browser of Linux keeps
// them: Firefox's moz_bookmarks (in places.sqlite), Chromium's Bookmarks file (JSON), a bookmarks
// HTML file as browsers export it, and folders of Internet shortcut (.url) files.
//
// Every source is outside input: each is read within a size cap, trees deeper than
// kMaxBookmarkDepth are cut at that depth and no tree holds more than kMaxBookmarkNodes nodes;
// what cannot be read gives an error, never a crash.
//
// Threads: any; each call reads its files anew.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "browser/profiles.h"
#include "platform/error.h"

namespace tw {

inline constexpr size_t kMaxBookmarkDepth = 64;
inline constexpr size_t kMaxBookmarkNodes = 200'000;
inline constexpr uint64_t kMaxBookmarkFileBytes = 64 << 20;
inline constexpr uint64_t kMaxShortcutFileBytes = 64 << 10;
// An Internet shortcut's address was read into a buffer of this many characters.
inline constexpr size_t kMaxShortcutAddressLength = 2083;
inline constexpr size_t kMinShortcutAddressLength = 2;

struct BookmarkNode {
  std::string title;
  std::string address;  // a link's address; "" for a folder
  bool is_folder = false;
  std::vector<BookmarkNode> children;  // a folder's entries, in the browser's order

  size_t CountNodes() const;
};

// The bookmark tree of a profile: a folder titled with the browser's name, holding the browser's
// own top folders (menu, toolbar, other bookmarks ...). Fails with 2 when the profile
// has no bookmarks, and like the readers below otherwise.
Result<BookmarkNode> ReadProfileBookmarks(const BrowserProfile& profile);

// Firefox: the folders and links of moz_bookmarks below its root, without the tag folders and
// without "place:" queries (saved searches, not pages).
Result<BookmarkNode> ReadFirefoxBookmarks(const std::string& places_path);

// Chromium: the "roots" of the Bookmarks file. Fails with 13 when the text is no such file.
Result<BookmarkNode> ParseChromiumBookmarks(std::string_view json);

// A bookmarks HTML file (the NETSCAPE-Bookmark-file-1 format that browsers import and export):
// <H3> folders followed by their <DL> lists, <A HREF> links. Fails with 13 when the text holds
// no bookmark list at all.
Result<BookmarkNode> ParseBookmarkHtml(std::string_view html);
Result<BookmarkNode> ReadBookmarkHtml(const std::string& path);

// The address of an Internet shortcut file: the value URL of its [InternetShortcut] section (names
// compared without regard to case, the value trimmed and unquoted). None when there is no such
// value, when it is shorter than 2 characters, or longer than kMaxShortcutAddressLength (it would
// have been cut, and a cut address is another address).
std::optional<std::string> ShortcutAddress(std::string_view text);
// The same value as it stands, of any length; none when there is no such value.
std::optional<std::string> ShortcutUrlValue(std::string_view text);

// A folder of Internet shortcuts: its sub-folders, walked in turn, and its files whose names end
// in ".url" exactly, each titled with its name without ".url", when it holds an address. Fails
// with 3 when the folder is missing.
Result<BookmarkNode> ReadShortcutFolder(const std::string& folder);

}  // namespace tw
