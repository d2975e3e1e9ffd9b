// The facade's page versions against a real page folder in a temporary HOME: versions follow their
// page through rename, delete and reset, and the changes are shown against the version chosen.
#include <gtest/gtest.h>

#include "app/application.h"
#include "pagefile/page_file.h"
#include "pagefile/page_versions.h"
#include "support/sandbox.h"

namespace tw::app {
namespace {

class PageVersionsAppTest : public ::testing::Test {
 protected:
  std::string folder() const { return home_.home() + "/Documents/My Tidewell"; }
  // A version of the page, as a check keeps it when it finds the page changed.
  void KeepVersion(const std::string& title, const std::string& content) {
    PageRecord record;
    record.title = title;
    record.SetAddress("http://example.org/" + title);
    record.SetContent(content);
    ASSERT_TRUE(PageVersions::Open(folder())->Keep(record, Now(), kDefaultKeptVersions).ok());
  }
  size_t StoredVersions(const std::string& title) {
    return PageVersions::Open(folder())->List(title)->size();
  }
  std::string Added(const PageChanges& changes) {
    std::string out;
    for (const DiffRun& run : changes.documents.at(0).text) {
      if (run.kind == DiffKind::kAdded) out += run.text;
    }
    return out;
  }

  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};
  Application app_;
};

TEST_F(PageVersionsAppTest, VersionsFollowTheirPage) {
  for (const char* title : {"Alpha", "Beta", "Gamma"}) {
    ASSERT_TRUE(app_.AddPageAtOnce(std::string("http://example.org/") + title, title).ok());
  }
  KeepVersion("Alpha", "<p>first</p>");
  KeepVersion("Alpha", "<p>second</p>");
  KeepVersion("Beta", "<p>b</p>");
  KeepVersion("Gamma", "<p>g</p>");
  KeepVersion("Delta", "<p>left by a page deleted behind our back</p>");

  Outcome<std::vector<PageVersion>> alpha = app_.ListPageVersions("Alpha");
  ASSERT_TRUE(alpha.ok());
  ASSERT_EQ(alpha->size(), 2u);
  EXPECT_GT((*alpha)[0].id, (*alpha)[1].id);  // newest first

  ASSERT_TRUE(app_.RenamePage("Alpha", "Omega").ok());
  EXPECT_EQ(app_.ListPageVersions("Omega")->size(), 2u);
  EXPECT_EQ(StoredVersions("Alpha"), 0u);

  ASSERT_TRUE(app_.DeletePage("Beta", DeleteMode::kToTrash).ok());
  EXPECT_EQ(StoredVersions("Beta"), 0u);
  ASSERT_TRUE(app_.DeletePage("Gamma", DeleteMode::kPermanently).ok());
  EXPECT_EQ(StoredVersions("Gamma"), 0u);
  ASSERT_TRUE(app_.ResetPage("Omega").ok());
  EXPECT_TRUE(app_.ListPageVersions("Omega")->empty());

  // A new page never takes over the history of another of its title.
  ASSERT_TRUE(app_.AddPageAtOnce("http://example.org/delta", "Delta").ok());
  EXPECT_TRUE(app_.ListPageVersions("Delta")->empty());
  EXPECT_EQ(app_.ListPageVersions("Nobody").message().problem, Problem::kNoSuchPage);
}

TEST_F(PageVersionsAppTest, ChangesAreShownAgainstTheVersionChosen) {
  ASSERT_TRUE(app_.AddPageAtOnce("http://example.org/news", "News").ok());
  Outcome<PageChanges> none = app_.ShowChanges("News", std::nullopt);
  ASSERT_FALSE(none.ok());
  EXPECT_EQ(none.message().problem, Problem::kNoEarlierVersion);
  EXPECT_EQ(none.message().icon, Icon::kInformation);

  KeepVersion("News", "<p>one</p>");
  KeepVersion("News", "<p>one two</p>");
  std::unique_ptr<PageRecord> page = ReadPage(folder(), "News").value();
  page->SetContent("<p>one two three</p>");
  ASSERT_TRUE(WritePage(folder(), *page).ok());

  Outcome<PageChanges> newest = app_.ShowChanges("News", std::nullopt);
  ASSERT_TRUE(newest.ok());
  EXPECT_EQ(newest->title, "News");
  EXPECT_EQ(newest->address, "http://example.org/news");
  EXPECT_EQ(Added(*newest), " three");
  const std::vector<PageVersion> versions = app_.ListPageVersions("News").value();
  Outcome<PageChanges> oldest = app_.ShowChanges("News", versions.back().id);
  ASSERT_TRUE(oldest.ok());
  EXPECT_EQ(oldest->version.id, versions.back().id);
  EXPECT_EQ(Added(*oldest), " two three");
  EXPECT_EQ(app_.ShowChanges("News", versions.front().id + 100).message().problem,
            Problem::kNoSuchPage);
}

}  // namespace
}  // namespace tw::app
