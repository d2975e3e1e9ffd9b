// The store of earlier page contents: what it keeps, how it follows its pages, and how it stands
// up to damage, concurrent writers and a writer killed in mid-write.
#include "pagefile/page_versions.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include "pagefile/page_file.h"
#include "platform/file_system.h"
#include "support/child_process.h"
#include "support/sandbox.h"

namespace tw {
namespace {

std::unique_ptr<PageRecord> Page(const std::string& title, const std::string& content) {
  auto record = std::make_unique<PageRecord>();
  record->title = title;
  record->SetAddress("http://example.org/" + title);
  record->SetContent(content);
  return record;
}

std::vector<std::string> Contents(PageVersions& versions, const std::string& title) {
  std::vector<std::string> contents;
  const Result<std::vector<VersionInfo>> list = versions.List(title);
  if (!list.ok()) return {"list failed"};
  for (const VersionInfo& info : list.value()) {
    Result<std::unique_ptr<PageRecord>> record = versions.Load(title, info.id);
    contents.push_back(record.ok() ? (*record)->content : "error");
  }
  return contents;
}

class PageVersionsTest : public ::testing::Test {
 protected:
  PageVersions Store() { return PageVersions::Open(sandbox_.path()).value(); }
  test::Sandbox sandbox_;
};

TEST_F(PageVersionsTest, KeepsAPageWithItsFramesMasksAndTimes) {
  const std::unique_ptr<PageRecord> owned = Page("News", std::string(5000, 'n') + "<p>old</p>");
  PageRecord& page = *owned;
  page.updatedTime = FileTime{111};
  page.masks.Append(std::make_unique<MaskEntry>(5, 1, 0));
  page.masks.Append(std::make_unique<MaskEntry>(9, 5, 3));
  auto frame = std::make_unique<FrameEntry>();
  frame->SetAddress("http://example.org/frame");
  frame->SetContent("<p>frame</p>");
  frame->masks.Append(std::make_unique<MaskEntry>(2, 6, 0));
  page.frames.Append(std::move(frame));
  page.frames.Append(std::make_unique<FrameEntry>());  // a frame never fetched
  page.SyncCounts();

  PageVersions versions = Store();
  ASSERT_TRUE(versions.Keep(page, FileTime{222}, kDefaultKeptVersions).ok());
  const std::vector<VersionInfo> list = *versions.List("News");
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].address, "http://example.org/News");
  EXPECT_EQ(list[0].found_time, FileTime{111});
  EXPECT_EQ(list[0].replaced_time, FileTime{222});
  EXPECT_LT(list[0].stored_size, list[0].size / 10);  // compressed

  Result<std::unique_ptr<PageRecord>> loaded = versions.Load("News", list[0].id);
  ASSERT_TRUE(loaded.ok()) << loaded.error().code();
  const PageRecord& back = **loaded;
  EXPECT_EQ(back.title, "News");
  EXPECT_EQ(back.address, page.address);
  EXPECT_EQ(back.content, page.content);
  EXPECT_EQ(back.updatedTime, FileTime{111});
  ASSERT_EQ(back.maskCount, 2u);
  EXPECT_EQ(back.masks.last()->index, 9u);
  EXPECT_EQ(back.masks.last()->count, 3u);
  ASSERT_EQ(back.frameCount, 2u);
  const FrameEntry& first = *back.frames.first();
  EXPECT_EQ(first.address, "http://example.org/frame");
  EXPECT_EQ(first.content, "<p>frame</p>");
  EXPECT_EQ(first.maskCount, 1u);
  EXPECT_EQ(first.masks.first()->kind, 6u);
  EXPECT_FALSE(back.frames.last()->has_address());

  EXPECT_EQ(versions.Load("News", list[0].id + 1).error().code(), err::kFileNotFound);
  EXPECT_EQ(versions.Load("Other", list[0].id).error().code(), err::kFileNotFound);
}

TEST_F(PageVersionsTest, KeepsTheNewestWithinTheCountAndTheByteCap) {
  PageVersions versions = Store();
  ASSERT_TRUE(versions.Keep(*Page("P", ""), FileTime{1}, 3).ok());  // nothing to keep
  EXPECT_TRUE(versions.List("P")->empty());
  for (int i = 1; i <= 5; ++i) {
    ASSERT_TRUE(versions.Keep(*Page("P", "v" + std::to_string(i)), FileTime{1}, 3).ok());
  }
  // The same content again (a pass cut short finds the same change once more) is kept once.
  ASSERT_TRUE(versions.Keep(*Page("P", "v5"), FileTime{2}, 3).ok());
  EXPECT_EQ(Contents(versions, "P"), (std::vector<std::string>{"v5", "v4", "v3"}));
  ASSERT_TRUE(versions.Keep(*Page("P", "v6"), FileTime{1}, 2).ok());  // the count went down
  EXPECT_EQ(Contents(versions, "P"), (std::vector<std::string>{"v6", "v5"}));

  // Contents that do not compress: three of 6 MB pass the 16 MB cap, so the oldest goes.
  std::string noise(6 << 20, '\0');
  uint64_t x = 88172645463325252ull;
  for (char& c : noise) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    c = static_cast<char>(x);
  }
  for (char tag : {'a', 'b', 'c'}) {
    noise[0] = tag;
    ASSERT_TRUE(versions.Keep(*Page("Big", noise), FileTime{1}, 10).ok());
  }
  const std::vector<std::string> kept = Contents(versions, "Big");
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0][0], 'c');
  EXPECT_EQ(kept[1][0], 'b');

  // Keeping none removes what there was.
  ASSERT_TRUE(versions.Keep(*Page("P", "v7"), FileTime{1}, 0).ok());
  EXPECT_TRUE(versions.List("P")->empty());
}

TEST_F(PageVersionsTest, FollowsItsPage) {
  // Without a store nothing is made for a rename or a removal.
  ASSERT_TRUE(RenamePageVersions(sandbox_.path(), "A", "B").ok());
  ASSERT_TRUE(RemovePageVersions(sandbox_.path(), "A").ok());
  EXPECT_EQ(PageVersions::OpenExisting(sandbox_.path()).error().code(), err::kFileNotFound);
  EXPECT_FALSE(PathExists(sandbox_.Sub(".versions")));

  PageVersions versions = Store();
  for (const char* title : {"A", "B", "a", "C", "D"}) {
    ASSERT_TRUE(versions.Keep(*Page(title, std::string("of ") + title), FileTime{1}, 5).ok());
  }
  // B's versions were left by a page deleted behind our back; they give way to A's.
  ASSERT_TRUE(RenamePageVersions(sandbox_.path(), "A", "B").ok());
  EXPECT_TRUE(versions.List("A")->empty());
  EXPECT_EQ(Contents(versions, "B"), (std::vector<std::string>{"of A"}));
  EXPECT_EQ(Contents(versions, "a"), (std::vector<std::string>{"of a"}));  // titles keep case

  ASSERT_TRUE(RemovePageVersions(sandbox_.path(), "B").ok());
  EXPECT_TRUE(versions.List("B")->empty());

  ASSERT_TRUE(versions.RemoveAllBut({"a", "D", "gone"}).ok());
  EXPECT_TRUE(versions.List("C")->empty());
  EXPECT_EQ(versions.List("a")->size(), 1u);
  EXPECT_EQ(versions.List("D")->size(), 1u);

  ASSERT_TRUE(versions.Keep(*Page("D", "second"), FileTime{2}, 5).ok());
  ASSERT_TRUE(versions.TrimAll(1).ok());
  EXPECT_EQ(Contents(versions, "D"), (std::vector<std::string>{"second"}));
}

TEST_F(PageVersionsTest, ADamagedVersionFailsToLoadAlone) {
  PageVersions versions = Store();
  ASSERT_TRUE(versions.Keep(*Page("P", "first"), FileTime{1}, 5).ok());
  ASSERT_TRUE(versions.Keep(*Page("P", "second"), FileTime{2}, 5).ok());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(sandbox_.Sub(".versions/versions.sqlite").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "UPDATE versions SET data = x'28b52ffd0000' WHERE id = 1", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "UPDATE versions SET size = 99999999999 WHERE id = 2", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  EXPECT_EQ(Contents(versions, "P"), (std::vector<std::string>{"error", "error"}));
  EXPECT_EQ(versions.Load("P", 1).error().code(), err::kInvalidData);
  // Keeping goes on.
  ASSERT_TRUE(versions.Keep(*Page("P", "third"), FileTime{3}, 5).ok());
  EXPECT_EQ(Contents(versions, "P")[0], "third");
}

TEST(VersionContentTest, DecodingRefusesWhatItsLengthsCannotHold) {
  const std::unique_ptr<PageRecord> owned = Page("P", "content");
  PageRecord& page = *owned;
  page.masks.Append(std::make_unique<MaskEntry>(1, 2, 3));
  auto frame = std::make_unique<FrameEntry>();
  frame->SetContent("frame");
  page.frames.Append(std::move(frame));
  page.SyncCounts();
  const std::string encoded = EncodeVersionContent(page);
  PageRecord back;
  ASSERT_TRUE(DecodeVersionContent(encoded, back).ok());
  EXPECT_EQ(back.content, "content");
  EXPECT_EQ(back.frames.first()->content, "frame");
  for (size_t cut = 0; cut < encoded.size(); ++cut) {
    PageRecord part;
    EXPECT_EQ(DecodeVersionContent(encoded.substr(0, cut), part).code(), err::kInvalidData);
    EXPECT_TRUE(part.content.empty() && part.masks.empty() && part.frames.empty());
  }
  PageRecord longer;
  EXPECT_EQ(DecodeVersionContent(encoded + "x", longer).code(), err::kInvalidData);
}

TEST_F(PageVersionsTest, TwoProcessesKeepVersionsOfDifferentPagesAtOnce) {
  // Both make the store at the same moment, then write side by side.
  test::ChildProcess a =
      test::ChildProcess::SpawnHelper({"keep-versions", sandbox_.path(), "A", "25", "50000"});
  test::ChildProcess b =
      test::ChildProcess::SpawnHelper({"keep-versions", sandbox_.path(), "B", "25", "50000"});
  EXPECT_EQ(a.Wait(), 0);
  EXPECT_EQ(b.Wait(), 0);
  PageVersions versions = Store();
  for (const char* title : {"A", "B"}) {
    const std::vector<std::string> contents = Contents(versions, title);
    ASSERT_EQ(contents.size(), kDefaultKeptVersions) << title;
    EXPECT_EQ(contents.front().rfind("round 25:", 0), 0u);
    EXPECT_EQ(contents.back().rfind("round 16:", 0), 0u);
  }
}

TEST_F(PageVersionsTest, AWriterKilledInMidWriteLosesAtMostItsVersion) {
  ASSERT_TRUE(WritePage(sandbox_.path(), *Page("P", "the page file itself")).ok());
  const std::string page_bytes = test::ReadFileBytes(sandbox_.Sub("P.twp"));

  test::ChildProcess writer =
      test::ChildProcess::SpawnHelper({"keep-versions", sandbox_.path(), "P", "0", "3000000"});
  std::string last;
  for (int i = 0; i < 4; ++i) last = writer.ReadLine().value_or("");
  ASSERT_EQ(last, "kept 4");
  writer.Kill(SIGKILL);
  writer.Wait();

  PageVersions versions = Store();
  const std::vector<VersionInfo> list = *versions.List("P");
  ASSERT_GE(list.size(), 4u);
  ASSERT_LE(list.size(), kDefaultKeptVersions);
  // Every version that is listed loads whole, and they follow one another without a gap.
  uint64_t expected_round = 0;
  for (const VersionInfo& info : list) {
    Result<std::unique_ptr<PageRecord>> record = versions.Load("P", info.id);
    ASSERT_TRUE(record.ok()) << record.error().code();
    const uint64_t round = std::stoull((*record)->content.substr(6));
    if (expected_round) {
      EXPECT_EQ(round, expected_round);
    }
    expected_round = round - 1;
  }
  ASSERT_TRUE(versions.Keep(*Page("P", "after"), FileTime{1}, kDefaultKeptVersions).ok());
  EXPECT_EQ(test::ReadFileBytes(sandbox_.Sub("P.twp")), page_bytes);
}

}  // namespace
}  // namespace tw
