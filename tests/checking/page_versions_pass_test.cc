// Earlier versions kept by real check passes: a page on a local HTTP server with parts that change
// on every download is learned, then really changed; the version kept and the diff against it.
#include <gtest/gtest.h>

#include <atomic>

#include "checking/check_support.h"
#include "pagefile/page_versions.h"
#include "versions/page_diff.h"

namespace tw {
namespace {

std::string Html(const std::string& inside) { return "<html><body>" + inside + "</body></html>"; }

class PageVersionsPassTest : public test::CheckTest {
 protected:
  // A news page: a clock, a visitor counter and an advertisement change on every download; the
  // items change only with the edition.
  void ServeNews() {
    server_.On("/news", [&](const httplib::Request&, httplib::Response& response) {
      const int visit = ++visits_;
      std::string items = "<li>Bridge reopens</li><li>Market moves</li>";
      if (edition_ >= 1) items = "<li>Storm warning</li>" + items;
      if (edition_ >= 2) items = "<li>Ferry cancelled</li>" + items;
      response.set_content(Html("<div class=clock>Updated 10:" + std::to_string(10 + visit % 50) +
                                "</div><ul>" + items + "</ul><p>Visitors: " +
                                std::to_string(1000 + visit) + "</p><div class=ad><img src=\"ad" +
                                std::to_string(visit % 7) + ".png\"></div><p>Contact us</p>"),
                           "text/html");
    });
  }
  bool RunWithVersions(uint32_t keep) {
    std::unique_ptr<CheckThread> thread = MakeThread();
    thread->SetPassSettings(PassSettings{20000, 1, keep});
    return thread->RunOnce().ok();
  }
  std::vector<VersionInfo> Versions(const std::string& title) {
    Result<PageVersions> versions = PageVersions::OpenExisting(folder_);
    if (!versions.ok()) return {};
    return versions->List(title).value();
  }
  std::unique_ptr<PageRecord> LoadVersion(const std::string& title, int64_t id) {
    return PageVersions::OpenExisting(folder_)->Load(title, id).value();
  }

  std::atomic<int> visits_{0};
  std::atomic<int> edition_{0};
};

std::string Shown(const std::vector<DiffRun>& runs, DiffKind kind) {
  std::string out;
  for (const DiffRun& run : runs) {
    if (run.kind == kind) out += run.text;
  }
  return out;
}

TEST_F(PageVersionsPassTest, AChangeKeepsWhatItReplacedAndTheDiffShowsOnlyTheRealChange) {
  ServeNews();
  AddPage("news", "/news", {.smartUpdate = true, .checkCount = 2});
  ASSERT_TRUE(RunWithVersions(kDefaultKeptVersions));
  const std::unique_ptr<PageRecord> learned = Page("news");
  ASSERT_GT(learned->maskCount, 0u);
  ASSERT_TRUE(RunWithVersions(kDefaultKeptVersions));  // nothing new: nothing kept
  EXPECT_TRUE(Versions("news").empty());

  edition_ = 1;
  const FileTime before = Now();
  ASSERT_TRUE(RunWithVersions(kDefaultKeptVersions));
  const std::unique_ptr<PageRecord> current = Page("news");
  ASSERT_EQ(current->updated, 1);
  const std::vector<VersionInfo> versions = Versions("news");
  ASSERT_EQ(versions.size(), 1u);
  EXPECT_EQ(versions[0].replaced_time, current->updatedTime);
  EXPECT_GE(versions[0].replaced_time, before);
  // The version is the content the change replaced, with the records learned on it.
  const std::unique_ptr<PageRecord> kept = LoadVersion("news", versions[0].id);
  EXPECT_EQ(kept->content, learned->content);
  EXPECT_EQ(kept->maskCount, learned->maskCount);

  const std::vector<DocumentDiff> diff = DiffPages(*kept, *current);
  ASSERT_FALSE(diff.empty());
  EXPECT_EQ(Shown(diff[0].text, DiffKind::kAdded), "Storm warning\n");
  EXPECT_EQ(Shown(diff[0].text, DiffKind::kRemoved), "");

  // Nothing new: no version. A second real change: a second one, the newest first.
  ASSERT_TRUE(RunWithVersions(kDefaultKeptVersions));
  EXPECT_EQ(Versions("news").size(), 1u);
  edition_ = 2;
  ASSERT_TRUE(RunWithVersions(kDefaultKeptVersions));
  const std::vector<VersionInfo> two = Versions("news");
  ASSERT_EQ(two.size(), 2u);
  EXPECT_NE(LoadVersion("news", two[0].id)->content.find("Storm warning"), std::string::npos);

  // Keeping fewer trims the page's versions at its next change.
  edition_ = 1;
  ASSERT_TRUE(RunWithVersions(1));
  EXPECT_EQ(Versions("news").size(), 1u);
}

TEST_F(PageVersionsPassTest, KeepingNoneKeepsNothing) {
  ServeNews();
  AddPage("news", "/news", {.smartUpdate = true, .checkCount = 1});
  ASSERT_TRUE(RunWithVersions(0));
  edition_ = 1;
  ASSERT_TRUE(RunWithVersions(0));
  EXPECT_EQ(Page("news")->updated, 1);
  EXPECT_FALSE(PathExists(JoinPath(folder_, ".versions")));
}

TEST_F(PageVersionsPassTest, AFullPassDropsTheVersionsOfPagesThatAreGone) {
  server_.Serve("/a", 200, Html("<p>a</p>"));
  AddPage("a", "/a");
  {
    PageVersions versions = PageVersions::Open(folder_).value();
    for (const char* title : {"a", "gone"}) {
      PageRecord record;
      record.title = title;
      record.SetContent("<p>before</p>");
      ASSERT_TRUE(versions.Keep(record, Now(), kDefaultKeptVersions).ok());
    }
  }
  ASSERT_TRUE(RunWithVersions(kDefaultKeptVersions));
  EXPECT_EQ(Versions("a").size(), 1u);
  EXPECT_TRUE(Versions("gone").empty());
}

}  // namespace
}  // namespace tw
