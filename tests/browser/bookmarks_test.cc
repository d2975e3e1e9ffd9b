// Bookmarks from every place a browser of Linux keeps them.
#include "browser/bookmarks.h"

#include <gtest/gtest.h>

#include "browser/browser_fixtures.h"
#include "platform/file_system.h"
#include "support/sandbox.h"

namespace tw {
namespace {

using test::BrowserDatabase;
using test::BrowserSchema;

// The tree as indented lines: "Folder/" for folders, "Title <address>" for links.
void Lines(const BookmarkNode& node, int depth, std::vector<std::string>& out) {
  for (const BookmarkNode& child : node.children) {
    const std::string indent(static_cast<size_t>(depth) * 2, ' ');
    out.push_back(indent +
                  (child.is_folder ? child.title + "/" : child.title + " <" + child.address + ">"));
    Lines(child, depth + 1, out);
  }
}

std::vector<std::string> Lines(const BookmarkNode& tree) {
  std::vector<std::string> out;
  Lines(tree, 0, out);
  return out;
}

size_t Depth(const BookmarkNode& node) {
  size_t deepest = 0;
  for (const BookmarkNode& child : node.children) deepest = std::max(deepest, Depth(child));
  return deepest + 1;
}

TEST(FirefoxBookmarksTest, ReadsTheTopFoldersOfARunningFirefoxWithoutTagsOrQueries) {
  test::Sandbox sandbox;
  const std::string path = sandbox.Sub("places.sqlite");
  BrowserDatabase browser(path, BrowserSchema::kFirefoxPlaces);
  const int64_t news = browser.AddFirefoxFolder(/*menu=*/2, "News");
  browser.AddFirefoxBookmark(news, "Daily", "http://daily.example/");
  browser.AddFirefoxBookmark(news, "", "http://untitled.example/");
  browser.AddFirefoxBookmark(/*toolbar=*/3, "Most Visited", "place:sort=8&maxResults=10");
  browser.AddFirefoxBookmark(/*toolbar=*/3, "Tools", "https://tools.example/");
  browser.AddFirefoxBookmark(browser.AddFirefoxFolder(/*tags=*/4, "news-tag"), "", "http://t/");
  browser.AddFirefoxBookmark(/*unfiled=*/5, "Later", "http://later.example/");
  browser.BeginPendingWrite();
  browser.AddFirefoxBookmark(5, "Pending", "http://pending.example/");

  Result<BookmarkNode> tree = ReadFirefoxBookmarks(path);
  ASSERT_TRUE(tree.ok()) << tree.error().code();
  EXPECT_EQ(Lines(*tree), (std::vector<std::string>{
                              "Bookmarks Menu/",
                              "  News/",
                              "    Daily <http://daily.example/>",
                              "    http://untitled.example/ <http://untitled.example/>",
                              "Bookmarks Toolbar/",
                              "  Tools <https://tools.example/>",
                              "Other Bookmarks/",
                              "  Later <http://later.example/>",
                              "Mobile Bookmarks/",
                          }));
}

TEST(FirefoxBookmarksTest, CutsNestingTooDeepAndSurvivesRowsThatPointAtThemselves) {
  test::Sandbox sandbox;
  const std::string path = sandbox.Sub("places.sqlite");
  {
    BrowserDatabase browser(path, BrowserSchema::kFirefoxPlaces);
    int64_t parent = 2;
    for (int i = 0; i < 100; ++i) parent = browser.AddFirefoxFolder(parent, "level");
    browser.Exec(
        "INSERT INTO moz_bookmarks (id, type, parent, position, title) "
        "VALUES (9999, 2, 9999, 0, 'loop')");
  }
  Result<BookmarkNode> tree = ReadFirefoxBookmarks(path);
  ASSERT_TRUE(tree.ok());
  EXPECT_EQ(Depth(*tree), kMaxBookmarkDepth);
}

TEST(ChromiumBookmarksTest, ReadsTheRootsOfTheBookmarksFile) {
  Result<BookmarkNode> tree = ParseChromiumBookmarks(R"({
    "checksum": "0", "version": 1,
    "roots": {
      "bookmark_bar": {"type": "folder", "name": "Bookmarks bar", "children": [
        {"type": "url", "name": "Search", "url": "https://search.example/"},
        {"type": "folder", "name": "Work", "children": [
          {"type": "url", "name": "", "url": "http://intranet.example/"},
          {"type": "url", "name": "no address"},
          {"type": "weird", "name": "unknown kind", "url": "http://x/"}]}]},
      "other": {"type": "folder", "name": "Other bookmarks", "children": []},
      "synced": {"type": "folder", "name": "Mobile bookmarks", "children": "not a list"}}})");
  ASSERT_TRUE(tree.ok());
  EXPECT_EQ(Lines(*tree), (std::vector<std::string>{
                              "Bookmarks bar/",
                              "  Search <https://search.example/>",
                              "  Work/",
                              "    http://intranet.example/ <http://intranet.example/>",
                              "Other bookmarks/",
                              "Mobile bookmarks/",
                          }));
  for (const char* broken : {"", "[]", "{\"roots\": []}", "{\"roots\": {", "{\"x\": 1}"}) {
    EXPECT_EQ(ParseChromiumBookmarks(broken).error().code(), err::kInvalidData) << broken;
  }
  std::string deep = R"({"roots": {"other": )";
  for (int i = 0; i < 90; ++i) deep += R"({"type": "folder", "name": "d", "children": [)";
  for (int i = 0; i < 90; ++i) deep += "]}";
  deep += "}}";
  tree = ParseChromiumBookmarks(deep);
  ASSERT_TRUE(tree.ok());
  EXPECT_EQ(Depth(*tree), kMaxBookmarkDepth);
}

TEST(BookmarkHtmlTest, ReadsTheExportedFormatOfEveryBrowser) {
  Result<BookmarkNode> tree = ParseBookmarkHtml(R"(<!DOCTYPE NETSCAPE-Bookmark-file-1>
<!-- This is an automatically generated file. -->
<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=UTF-8">
<TITLE>Bookmarks</TITLE>
<H1>Bookmarks Menu</H1>
<DL><p>
    <DT><A HREF="http://top.example/?a=1&amp;b=2" ADD_DATE="1700000000">Top &amp; first</A>
    <DT><H3 ADD_DATE="1" PERSONAL_TOOLBAR_FOLDER="true">Toolbar</H3>
    <DL><p>
        <DT><a href='http://inner.example/' icon="data:image/png;base64,xx">Caf&#233; &lt;b&gt;
        </a>
        <DT><H3>Empty</H3>
        <DL><p>
        </DL><p>
        <DT><A HREF="">no address</A>
        <DT><A>no HREF</A>
    </DL><p>
    <DT><A HREF=http://bare.example/>Bare</A>
    <DD>A description, not a bookmark
</DL>
</DL>
<DT><A HREF="http://after.example/">After a stray close</A>
)");
  ASSERT_TRUE(tree.ok());
  EXPECT_EQ(Lines(*tree), (std::vector<std::string>{
                              "Top & first <http://top.example/?a=1&b=2>",
                              "Toolbar/",
                              "  Caf\xc3\xa9 <b> <http://inner.example/>",
                              "  Empty/",
                              "Bare <http://bare.example/>",
                              "After a stray close <http://after.example/>",
                          }));
  EXPECT_EQ(ParseBookmarkHtml("<html><body>no list here</body></html>").error().code(),
            err::kInvalidData);
  std::string deep;
  for (int i = 0; i < 500; ++i) deep += "<DT><H3>d</H3><DL>";
  deep += "<DT><A HREF=\"http://deep.example/\">deep</A>";
  tree = ParseBookmarkHtml(deep);
  ASSERT_TRUE(tree.ok());
  EXPECT_LE(Depth(*tree), kMaxBookmarkDepth + 1);
}

TEST(InternetShortcutTest, ReadsTheAddressAsTheShellDid) {
  EXPECT_EQ(ShortcutAddress("[InternetShortcut]\r\nURL=http://example.org/\r\n"),
            "http://example.org/");
  EXPECT_EQ(ShortcutAddress("[DEFAULT]\nBASEURL=http://base/\n[internetshortcut]\n"
                            "IconIndex=0\n url = \"http://quoted.example/\" \n"),
            "http://quoted.example/");
  EXPECT_EQ(ShortcutAddress("[Other]\nURL=http://other-section/\n"), std::nullopt);
  EXPECT_EQ(ShortcutAddress("[InternetShortcut]\nIconFile=x\n"), std::nullopt);
  EXPECT_EQ(ShortcutAddress("[InternetShortcut]\nURL=h\n"), std::nullopt);  // under 2 characters
  EXPECT_EQ(ShortcutAddress("[InternetShortcut]\nURL=ab\n"), "ab");
  EXPECT_EQ(ShortcutAddress("[InternetShortcut]\nURL=http://x/" + std::string(2100, 'a')),
            std::nullopt);
  EXPECT_EQ(ShortcutAddress("URL=http://no-section/"), std::nullopt);
}

TEST(InternetShortcutTest, WalksAFolderOfShortcuts) {
  test::Sandbox sandbox;
  const std::string root = sandbox.Sub("Links", true);
  ASSERT_TRUE(CreateDirectories(root + "/Work/Empty").ok());
  test::WriteFileBytes(root + "/News.url", "[InternetShortcut]\nURL=http://news.example/\n");
  test::WriteFileBytes(root + "/Shouting.URL", "[InternetShortcut]\nURL=http://loud.example/\n");
  test::WriteFileBytes(root + "/No address.url", "[InternetShortcut]\nURL=x\n");
  test::WriteFileBytes(root + "/notes.txt", "URL=http://text.example/");
  test::WriteFileBytes(root + "/Work/Wiki.url", "[InternetShortcut]\nURL=http://wiki.example/\n");
  Result<BookmarkNode> tree = ReadShortcutFolder(root);
  ASSERT_TRUE(tree.ok());
  EXPECT_EQ(tree->title, "Links");
  EXPECT_EQ(Lines(*tree), (std::vector<std::string>{
                              "Work/",
                              "  Empty/",
                              "  Wiki <http://wiki.example/>",
                              "News <http://news.example/>",
                          }));
  EXPECT_EQ(ReadShortcutFolder(sandbox.Sub("missing")).error().code(), err::kPathNotFound);
  // A link back to its own folder is walked only as deep as the cap.
  ASSERT_EQ(::symlink(root.c_str(), (root + "/Work/Loop").c_str()), 0);
  tree = ReadShortcutFolder(root);
  ASSERT_TRUE(tree.ok());
  EXPECT_LE(Depth(*tree), kMaxBookmarkDepth);
  EXPECT_LE(tree->CountNodes(), kMaxBookmarkNodes);
}

TEST(ProfileBookmarksTest, ReadsEachBrowsersOwnPlace) {
  test::Sandbox sandbox;
  const std::string chromium = sandbox.Sub("Default", true);
  test::WriteFileBytes(chromium + "/Bookmarks",
                       R"({"roots": {"bookmark_bar": {"type": "folder", "name": "Bar",
                           "children": [{"type": "url", "name": "C", "url": "http://c/"}]}}})");
  Result<BookmarkNode> tree = ReadProfileBookmarks(
      BrowserProfile{BrowserFamily::kChromium, "Brave", "brave", "Default", chromium, true});
  ASSERT_TRUE(tree.ok());
  EXPECT_EQ(tree->title, "Brave");
  EXPECT_EQ(Lines(*tree), (std::vector<std::string>{"Bar/", "  C <http://c/>"}));
  EXPECT_EQ(ReadProfileBookmarks(BrowserProfile{BrowserFamily::kFirefox, "Firefox", "", "x",
                                                sandbox.Sub("none", true), true})
                .error()
                .code(),
            err::kFileNotFound);
}

}  // namespace
}  // namespace tw
