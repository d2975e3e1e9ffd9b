// The Favorites and History trees of the import, their check boxes and the add walk.
#include "history/import_tree.h"

#include <gtest/gtest.h>

#include "browser/browser_fixtures.h"
#include "platform/file_system.h"
#include "resources/strings.h"
#include "support/sandbox.h"

namespace tw {
namespace {

using test::BrowserDatabase;
using test::BrowserSchema;

// The tree as indented lines with each entry's check box: [ ] not checked, [x] checked,
// [+] added, nothing for none.
void Lines(const ImportEntry& entry, int depth, std::vector<std::string>& out) {
  static constexpr const char* kBoxes[] = {"", "[ ] ", "[x] ", "[+] "};
  out.push_back(std::string(static_cast<size_t>(depth) * 2, ' ') +
                kBoxes[static_cast<uint32_t>(entry.state)] + entry.text +
                (entry.is_folder ? "/" : ""));
  for (const ImportEntry& child : entry.children) Lines(child, depth + 1, out);
}

std::vector<std::string> Lines(const ImportTree& tree) {
  std::vector<std::string> out;
  Lines(tree.root, 0, out);
  return out;
}

BookmarkNode Link(std::string title, std::string address) {
  return BookmarkNode{std::move(title), std::move(address), false, {}};
}

BookmarkNode Folder(std::string title, std::vector<BookmarkNode> children) {
  return BookmarkNode{std::move(title), "", true, std::move(children)};
}

// Adds pages into a list, failing on the addresses it is told to.
struct Adder {
  std::vector<std::string> added;
  std::string fail_on;
  bool operator()(const std::string& title, const std::string& address) {
    if (address == fail_on) return false;
    added.push_back(title + " <" + address + ">");
    return true;
  }
};

TEST(FavoritesTreeTest, OffersWhatIsNotAPageAndAddsEachCheckedEntryOnce) {
  const std::vector<BookmarkNode> sources = {
      Folder("Firefox", {Folder("Bookmarks Menu", {Link("News", "http://news.example/"),
                                                   Link("Watched", "http://watched.example/")}),
                         Link("Wiki", "http://wiki.example/")}),
      Folder("Links", {Link("Mail", "http://mail.example/")}),
  };
  const std::vector<std::string> pages = {"http://watched.example/", "http://WIKI.example/"};
  ImportTree tree = FavoritesTreeOf(sources, pages);
  EXPECT_EQ(Lines(tree), (std::vector<std::string>{
                             "Favorites/",
                             "  Firefox/",
                             "    Bookmarks Menu/",
                             "      [ ] News",
                             "      Watched",  // already a page
                             "    [ ] Wiki",   // pages compare exactly
                             "  Links/",
                             "    [ ] Mail",
                         }));
  // Entries are numbered in walk order; only those with a box can be checked.
  EXPECT_EQ(tree.Find(3)->text, "News");
  EXPECT_FALSE(tree.SetChecked(4, true));
  EXPECT_FALSE(tree.SetChecked(2, true));
  EXPECT_FALSE(tree.SetChecked(99, true));
  ASSERT_TRUE(tree.SetChecked(3, true));
  ASSERT_TRUE(tree.SetChecked(5, true));
  ASSERT_TRUE(tree.SetChecked(7, true));
  ASSERT_TRUE(tree.SetChecked(7, false));

  Adder add;
  AddWalkResult result = AddCheckedEntries(tree, std::ref(add));
  EXPECT_EQ(result.added, 2u);
  EXPECT_FALSE(result.failure);
  EXPECT_EQ(add.added, (std::vector<std::string>{"News <http://news.example/>",
                                                 "Wiki <http://wiki.example/>"}));
  EXPECT_EQ(tree.Find(3)->state, CheckState::kAdded);
  EXPECT_FALSE(tree.SetChecked(3, false));  // added stays added
  // Back and on again: nothing is added twice.
  add.added.clear();
  EXPECT_EQ(AddCheckedEntries(tree, std::ref(add)).added, 0u);
  EXPECT_TRUE(add.added.empty());
}

TEST(FavoritesTreeTest, TheFirstFailedAddEndsTheWalk) {
  ImportTree tree = FavoritesTreeOf(
      std::vector<BookmarkNode>{
          Folder("B", {Link("1", "http://1/"), Link("2", "http://2/"), Link("3", "http://3/")})},
      {});
  for (uint32_t id : {2u, 3u, 4u}) ASSERT_TRUE(tree.SetChecked(id, true));
  Adder add;
  add.fail_on = "http://2/";
  const AddWalkResult result = AddCheckedEntries(tree, std::ref(add));
  EXPECT_EQ(result.added, 1u);
  EXPECT_EQ(result.failure, str::kFavoritesAddError);
  EXPECT_EQ(add.added, std::vector<std::string>{"1 <http://1/>"});
  EXPECT_EQ(tree.Find(2)->state, CheckState::kAdded);
  EXPECT_EQ(tree.Find(3)->state, CheckState::kChecked);
  EXPECT_EQ(tree.Find(4)->state, CheckState::kChecked);
}

TEST(HistoryTreeTest, PeriodsSitesAndTheWebPagesOfEach) {
  const FileTime now = Now();
  BrowserHistory browser;
  browser.pages = {{"http://news.example/today", "Today's news", 1, now},
                   {"HTTP://LOUD.EXAMPLE/", "Loud", 1, now},
                   {"ftp://files.example/", "Files", 1, now},
                   {"https://mail.example/inbox", "", 1, now},
                   {"http://watched.example/", "Watched", 1, now},
                   {"http://long.example/", std::string(300, 'x'), 1, now}};
  for (uint32_t i = 0; i < browser.pages.size(); ++i) {
    browser.visits.push_back(HistoryVisit{i, now});
  }
  browser.visits.push_back(HistoryVisit{0, AddSeconds(now, -9 * 86400.0)});
  const std::vector<BrowserHistory> all = {browser};
  const std::vector<std::string> pages = {"http://watched.example/"};
  ImportTree tree = HistoryTreeOf(UserHistory::Build(all, now), pages, now);
  EXPECT_EQ(Lines(tree), (std::vector<std::string>{
                             "History/",
                             "  Today/",
                             "    files.example/",
                             "    long.example/",
                             "      [ ] " + std::string(260, 'x'),
                             "    loud.example/",
                             "    mail.example/",
                             "      [ ] https://mail.example/inbox",
                             "    news.example/",
                             "      [ ] Today's news",
                             "    watched.example/",
                             "      Watched",
                             "  Last Week/",
                             "    news.example/",
                             "      [ ] Today's news",
                         }));
  const uint32_t week_news = tree.root.children[1].children[0].children[0].id;
  ASSERT_TRUE(tree.SetChecked(week_news, true));
  Adder add;
  add.fail_on = "http://news.example/today";
  EXPECT_EQ(AddCheckedEntries(tree, std::ref(add)).failure, str::kHistoryAddError);
}

class UserTreesTest : public testing::Test {
 protected:
  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};
};

TEST_F(UserTreesTest, FavoritesOfEveryBrowserAndWhatTheUserAdded) {
  const std::string firefox = home_.home() + "/.mozilla/firefox";
  ASSERT_TRUE(CreateDirectories(firefox + "/a").ok());
  ASSERT_TRUE(CreateDirectories(firefox + "/b").ok());
  test::WriteFileBytes(firefox + "/profiles.ini",
                       "[Profile0]\nName=home\nPath=a\nDefault=1\n[Profile1]\nName=work\nPath=b\n");
  BrowserDatabase places(firefox + "/a/places.sqlite", BrowserSchema::kFirefoxPlaces);
  places.AddFirefoxBookmark(3, "Toolbar link", "http://toolbar.example/");
  const std::string chromium = home_.home() + "/.config/chromium/Default";
  ASSERT_TRUE(CreateDirectories(chromium).ok());
  test::WriteFileBytes(chromium + "/Bookmarks", "{ damaged");
  const std::string links = sandbox_.Sub("Links", true);
  test::WriteFileBytes(links + "/Mail.url", "[InternetShortcut]\nURL=http://mail.example/\n");
  const std::string exported = sandbox_.Sub("bookmarks.html");
  test::WriteFileBytes(exported, "<DL><DT><A HREF=\"http://exported.example/\">Exported</A></DL>");

  const ImportTree tree =
      FillFavoritesTree(AddedFavorites{{links}, {exported}}, std::vector<std::string>{});
  EXPECT_EQ(Lines(tree), (std::vector<std::string>{
                             "Favorites/",
                             "  Firefox (home)/",
                             "    Bookmarks Menu/",
                             "    Bookmarks Toolbar/",
                             "      [ ] Toolbar link",
                             "    Other Bookmarks/",
                             "    Mobile Bookmarks/",
                             "  Links/",
                             "    [ ] Mail",
                             "  bookmarks.html/",
                             "    [ ] Exported",
                         }));
  // The damaged bookmarks of one browser are told of; the rest is there.
  EXPECT_EQ(tree.fill_error, str::kFavoritesLoadError);
}

TEST_F(UserTreesTest, AFolderOrFileThatTheUserAddedAndIsGoneIsToldOf) {
  // No browser has bookmarks: nothing to tell.
  EXPECT_EQ(FillFavoritesTree({}, std::vector<std::string>{}).fill_error, std::nullopt);
  const std::string links = sandbox_.Sub("Links", true);
  test::WriteFileBytes(links + "/Mail.url", "[InternetShortcut]\nURL=http://mail.example/\n");
  EXPECT_EQ(FillFavoritesTree(AddedFavorites{{links}, {}}, std::vector<std::string>{}).fill_error,
            std::nullopt);

  const ImportTree gone_file = FillFavoritesTree(
      AddedFavorites{{links}, {sandbox_.Sub("moved.html")}}, std::vector<std::string>{});
  EXPECT_EQ(gone_file.fill_error, str::kFavoritesLoadError);
  EXPECT_EQ(Lines(gone_file), (std::vector<std::string>{"Favorites/", "  Links/", "    [ ] Mail"}));
  EXPECT_EQ(
      FillFavoritesTree(AddedFavorites{{sandbox_.Sub("deleted")}, {}}, std::vector<std::string>{})
          .fill_error,
      str::kFavoritesLoadError);
}

TEST_F(UserTreesTest, AHistoryThatCannotBeReadIsToldOf) {
  const std::string profile = test::MakeFirefoxProfile(home_.home());
  EXPECT_EQ(FillHistoryTree({}, Now()).fill_error, std::nullopt);
  test::WriteFileBytes(profile + "/places.sqlite", "damaged");
  const ImportTree tree = FillHistoryTree({}, Now());
  EXPECT_EQ(tree.fill_error, str::kHistoryLoadError);
  EXPECT_EQ(Lines(tree), std::vector<std::string>{"History/"});
}

}  // namespace
}  // namespace tw
