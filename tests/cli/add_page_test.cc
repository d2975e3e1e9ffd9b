#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/application.h"
#include "cli/run_tidewell.h"
#include "pagefile/page_file.h"
#include "pagefile/title.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "platform/url_cache.h"
#include "settings/checking_options.h"
#include "support/child_process.h"
#include "support/sandbox.h"

namespace tw {
namespace {

class AddPageTest : public ::testing::Test {
 protected:
  std::string folder() const { return home_.home() + "/Documents/My Tidewell"; }
  SettingsStore store() const { return *SettingsStore::OpenUser(); }

  // Adds and returns the title the page got ("" when the add failed).
  std::string Add(const std::string& address, const std::string& title = "") {
    app::Outcome<std::string> added = app::Application().AddPageAtOnce(address, title);
    return added.ok() ? *added : "";
  }
  std::string AddressOf(const std::string& title) {
    Result<PageSummary> page = ReadPageSummary(folder(), title);
    return page.ok() ? page->address : "(unreadable)";
  }
  std::vector<std::string> Titles() {
    std::vector<std::string> titles;
    Result<std::vector<FoundFile>> files = FindFiles(folder(), kPageFileSuffix);
    if (!files.ok()) return titles;
    for (const FoundFile& f : *files) {
      titles.push_back(TitleOfFileName(f.name));
    }
    std::sort(titles.begin(), titles.end());
    return titles;
  }

  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};
};

TEST_F(AddPageTest, MakesTitleAndAddressFromTheAddress) {
  // A web address keeps its form; the title is the rest without the final slash.
  EXPECT_EQ(Add("http://example.org/news/"), "example.org-news");
  EXPECT_EQ(AddressOf("example.org-news"), "http://example.org/news/");
  // Without a scheme: "http://" in front, and the slash in the title becomes a hyphen.
  EXPECT_EQ(Add("example.net/a"), "example.net-a");
  EXPECT_EQ(AddressOf("example.net-a"), "http://example.net/a");
  // The prefixes compare with case: an upper-case scheme stays in the title and the address
  // gets "http://" in front.
  EXPECT_EQ(Add("HTTPS://Example.com/x"), "HTTPS---Example.com-x");
  EXPECT_EQ(AddressOf("HTTPS---Example.com-x"), "http://HTTPS://Example.com/x");
  // A given title is used, with the characters a file name cannot hold replaced.
  EXPECT_EQ(Add("https://example.com/", "A/b: \"c\" <d> |e* ?"), "A-b- 'c' [d] -e# #");
  EXPECT_EQ(AddressOf("A-b- 'c' [d] -e# #"), "https://example.com/");
  // The address is marked as known, as every added page's is.
  EXPECT_TRUE(*IsAddressMarked("https://example.com/"));
}

TEST_F(AddPageTest, NewPagesTakeTheOptionsDefaults) {
  ASSERT_FALSE(Add("http://a.example/").empty());  // makes the folder and the options key
  ASSERT_FALSE(store().WriteDword(OptionsKey(), option::kNoc, 5));
  ASSERT_FALSE(store().WriteDword(OptionsKey(), option::kCheckWait, 120));
  ASSERT_FALSE(store().WriteDword(OptionsKey(), option::kIgnoreExpire, 1));
  const std::string on = Add("http://b.example/");
  ASSERT_FALSE(store().WriteDword(OptionsKey(), option::kEnableSmartUpdate, 0));
  const std::string off = Add("http://c.example/");

  // Read after Smart Update was switched off: changing an option leaves the pages there are.
  const PageHeader with = ReadPageSummary(folder(), on)->header;
  EXPECT_EQ(with.smartUpdate, 1);
  EXPECT_EQ(with.checkCount, 5);
  EXPECT_EQ(with.waitSeconds, 120);
  EXPECT_EQ(with.ignoreExpires, 1);
  EXPECT_EQ(with.ignoreLastModified, 0);
  const PageHeader without = ReadPageSummary(folder(), off)->header;
  EXPECT_EQ(without.smartUpdate, 0);
  EXPECT_EQ(without.checkCount, 0);  // copied only with Smart Update on
  EXPECT_EQ(without.waitSeconds, 0);
  EXPECT_EQ(without.ignoreExpires, 1);  // the ignore flags are copied either way
}

TEST_F(AddPageTest, ATakenTitleIsNumberedAndTheExistingPageKept) {
  ASSERT_EQ(Add("http://one.example/", "Example"), "Example");
  // The page learns content and an updated flag; adding under its title must not wipe them.
  Result<std::unique_ptr<PageRecord>> page = ReadPage(folder(), "Example");
  ASSERT_TRUE(page.ok());
  (*page)->SetContent("<p>stored</p>");
  (*page)->updated = 1;
  ASSERT_FALSE(WritePage(folder(), **page));
  const std::string before = test::ReadFileBytes(PagePath(folder(), "Example"));

  EXPECT_EQ(Add("http://two.example/", "Example"), "Examp2");
  // Titles that differ only in letter case are the same page to the page list.
  EXPECT_EQ(Add("http://three.example/", "EXAMPLE"), "EXAMP3");
  EXPECT_EQ(Add("http://four.example/", "example"), "examp4");
  for (int n = 5; n <= 9; ++n) {
    EXPECT_EQ(Add("http://more.example/", "Example"), "Examp" + std::to_string(n));
  }
  // Nothing free up to 9: the add fails and nothing is replaced.
  EXPECT_EQ(Add("http://last.example/", "Example"), "");
  EXPECT_EQ(test::ReadFileBytes(PagePath(folder(), "Example")), before);
  EXPECT_EQ(AddressOf("Examp2"), "http://two.example/");
  EXPECT_EQ(Titles().size(), 9u);
}

TEST_F(AddPageTest, RefusesWhatCannotBeStored) {
  // A title made from a long address is cut to fit the folder; a given one is not the
  // function's to cut.
  const std::string long_path(400, 'p');
  const std::string derived = Add("http://example.org/" + long_path);
  ASSERT_FALSE(derived.empty());
  EXPECT_EQ(derived.size(), MaxTitleLength(folder()));
  EXPECT_EQ(Add("http://example.org/", std::string(300, 't')), "");
  // Nothing is left of "http://" for a title.
  EXPECT_EQ(Add("http://"), "");
  EXPECT_EQ(Add("http:///"), "");
  // Longer than a page file can store.
  EXPECT_EQ(Add("http://example.org/" + std::string(2100, 'q'), "Long"), "");
  EXPECT_EQ(Titles(), std::vector<std::string>{derived});
}

TEST_F(AddPageTest, FailsWithItsMessageWhenThereIsNoPageFolder) {
  // The documents folder is a file, so the default page folder cannot be made.
  test::WriteFileBytes(home_.home() + "/Documents", "not a folder");
  const test::RunResult run = test::RunTidewell({"add", "http://example.org/"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.substr(0, run.err.find('\n')),
            "Tidewell: An error occurred while adding the page.");
  EXPECT_EQ(run.out, "");
}

TEST_F(AddPageTest, ProcessesAddingAtOnceEachGetTheirOwnPage) {
  ASSERT_FALSE(Add("http://first.example/", "Seed").empty());  // folder and options exist
  std::vector<test::ChildProcess> adders;
  constexpr int kAdders = 5;
  for (int i = 0; i < kAdders; ++i) {
    adders.push_back(
        test::ChildProcess::Spawn({TW_TIDEWELL_PROGRAM, "add", "--quiet",
                                   "http://same.example/" + std::to_string(i), "Same"}));
  }
  for (test::ChildProcess& adder : adders) EXPECT_EQ(adder.Wait(), 0);
  const std::vector<std::string> expected{"Same", "Sa2", "Sa3", "Sa4", "Sa5", "Seed"};
  std::vector<std::string> sorted_expected = expected;
  std::sort(sorted_expected.begin(), sorted_expected.end());
  EXPECT_EQ(Titles(), sorted_expected);
  // Every address arrived exactly once.
  std::vector<std::string> addresses;
  for (const std::string& title : Titles()) addresses.push_back(AddressOf(title));
  std::sort(addresses.begin(), addresses.end());
  for (int i = 0; i < kAdders; ++i) {
    EXPECT_TRUE(std::binary_search(addresses.begin(), addresses.end(),
                                   "http://same.example/" + std::to_string(i)));
  }
}

}  // namespace
}  // namespace tw
