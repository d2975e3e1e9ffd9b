#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "page_bytes.h"
#include "pagefile/page_file.h"
#include "pagefile/title.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/url_cache.h"
#include "support/sandbox.h"

namespace tw {
namespace {

Error ErrorOf(const Error& e) { return e; }
template <class T>
Error ErrorOf(const Result<T>& r) {
  return r.ok() ? Error() : r.error();
}

class PageFileTest : public ::testing::Test {
 protected:
  std::string folder() const { return sandbox_.path(); }
  std::string PageFile(const std::string& title) const { return PagePath(folder(), title); }
  void Put(const std::string& title, const std::string& bytes) {
    test::WriteFileBytes(PageFile(title), bytes);
  }
  std::string Get(const std::string& title) { return test::ReadFileBytes(PageFile(title)); }

  // A page with every piece: address, content, two masks and two frames.
  static std::string FullPage() {
    test::PageBytes b;
    b.Header(19, 2, 11, 2)
        .Text("http://example.org")
        .Raw("<p>hello</p")
        .Mask(3, 1, 0)
        .Mask(9, 5, 4);
    b.FrameHead(12, 0x1111, 0x2222, 15, 1, 7).Text("http://a.org/f").Raw("<b>x</b").Mask(1, 2, 0);
    b.FrameHead(0, 0, 0, 0, 0, 0);
    return b.str();
  }

  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};  // the URL cache that adding and deleting touch
};

TEST_F(PageFileTest, ReadsEveryFieldAtItsOffset) {
  Put("Example", FullPage());
  Result<std::unique_ptr<PageRecord>> page = ReadPage(folder(), "Example");
  ASSERT_TRUE(page.ok()) << page.error().code();
  const PageRecord& p = **page;
  EXPECT_EQ(p.title, "Example");
  EXPECT_EQ(p.updated, 1);
  EXPECT_EQ(p.status, StatusHttpError);
  EXPECT_EQ(p.errorCode, 404u);
  EXPECT_EQ(p.ignoreLastModified, 1);
  EXPECT_EQ(p.ignoreExpires, 0);
  EXPECT_EQ(p.smartUpdate, 1);
  EXPECT_EQ(p.checkCount, 5);
  EXPECT_EQ(p.waitSeconds, 600);
  EXPECT_EQ(p.measuredWait, 30);
  EXPECT_EQ(p.updatedTime.ticks, 0x01D9'0000'1111'2222ull);
  EXPECT_EQ(p.lastModified.ticks, 0x01D8'0000'3333'4444ull);
  EXPECT_EQ(p.expires.ticks, 0x01DA'0000'5555'6666ull);
  EXPECT_EQ(p.address, "http://example.org");
  EXPECT_EQ(p.content, "<p>hello</p");
  ASSERT_EQ(p.masks.count(), 2u);
  EXPECT_EQ(p.masks.last()->index, 9u);
  EXPECT_EQ(p.masks.last()->kind, 5u);
  EXPECT_EQ(p.masks.last()->count, 4u);
  ASSERT_EQ(p.frames.count(), 2u);
  const FrameEntry& f = *p.frames.first();
  EXPECT_EQ(f.waitSeconds, 12);
  EXPECT_EQ(f.lastModified.ticks, 0x1111u);
  EXPECT_EQ(f.expires.ticks, 0x2222u);
  EXPECT_EQ(f.address, "http://a.org/f");
  EXPECT_EQ(f.content, "<b>x</b");
  ASSERT_EQ(f.masks.count(), 1u);
  EXPECT_EQ(f.masks.first()->kind, 2u);
  EXPECT_FALSE(p.frames.last()->has_address());
}

TEST_F(PageFileTest, WriteAfterReadGivesTheSameBytes) {
  Put("Example", FullPage());
  Result<std::unique_ptr<PageRecord>> page = ReadPage(folder(), "Example");
  ASSERT_TRUE(page.ok());
  (*page)->title = "Copy";
  ASSERT_TRUE(WritePage(folder(), **page).ok());
  EXPECT_EQ(Get("Copy"), FullPage());
}

TEST_F(PageFileTest, WriterAlwaysStoresVersionOneAndTheTrueLengths) {
  PageRecord record;
  record.title = "Built";
  record.version = 7;
  record.SetAddress("http://x.org/");
  record.SetContent("body");
  record.masks.Append(std::make_unique<MaskEntry>(1, 1, 0));
  record.maskCount = 99;  // out of step with the list: the file must still describe itself
  ASSERT_TRUE(WritePage(folder(), record).ok());
  Result<std::unique_ptr<PageRecord>> back = ReadPage(folder(), "Built");
  ASSERT_TRUE(back.ok());
  EXPECT_EQ((*back)->version, 1);
  EXPECT_EQ((*back)->maskCount, 1u);
  EXPECT_EQ((*back)->address, "http://x.org/");
  EXPECT_EQ((*back)->content, "body");
}

TEST_F(PageFileTest, AnAddressTooLongForItsLengthFieldIsCutNotCorrupting) {
  PageRecord record;
  record.title = "Long";
  record.address = std::string(70000, 'a');  // set directly, past the setter's cut
  record.addressLength = 1;
  record.SetContent("body");
  ASSERT_TRUE(WritePage(folder(), record).ok());
  Result<std::unique_ptr<PageRecord>> back = ReadPage(folder(), "Long");
  ASSERT_TRUE(back.ok());
  EXPECT_EQ((*back)->address.size(), kMaxStoredAddressBytes);
  EXPECT_EQ((*back)->content, "body");
}

TEST_F(PageFileTest, BareHeaderIsAnEmptyPage) {
  test::PageBytes b;
  b.U16(1);
  while (b.str().size() < kPageHeaderSize) b.U8(0);
  Put("Empty", b.str());
  Result<std::unique_ptr<PageRecord>> page = ReadPage(folder(), "Empty");
  ASSERT_TRUE(page.ok());
  EXPECT_FALSE((*page)->has_address());
  EXPECT_TRUE((*page)->content.empty());
  EXPECT_EQ((*page)->masks.count(), 0u);
  EXPECT_EQ((*page)->frames.count(), 0u);
  EXPECT_TRUE((*page)->NeverChecked());
}

TEST_F(PageFileTest, RejectsFilesThatAreNotPageFiles) {
  Put("Version2", test::PageBytes().Header(0, 0, 0, 0, 2).str());
  Put("OneByte", "\x01");
  Put("Empty", "");
  Put("ShortHeader", test::PageBytes().Header(0, 0, 0, 0).str().substr(0, 40));
  for (const char* title : {"Version2", "OneByte", "Empty", "ShortHeader"}) {
    EXPECT_EQ(ReadPage(folder(), title).error().code(), err::kInvalidData) << title;
    EXPECT_EQ(ReadPageHeader(folder(), title).error().code(), err::kInvalidData) << title;
  }
  EXPECT_EQ(ReadPage(folder(), "Missing").error().code(), err::kFileNotFound);
}

TEST_F(PageFileTest, LengthsBeyondTheFileFailFastWithoutAllocating) {
  // 4 GiB of content, 4 billion masks or frames claimed in a file of about a hundred bytes.
  Put("HugeContent", test::PageBytes().Header(2, 0, 0xFFFFFFFF, 0).Text("x").Raw("abc").str());
  Put("HugeMasks", test::PageBytes().Header(0, 0xFFFFFFFF, 0, 0).Mask(1, 1, 1).str());
  Put("HugeFrames",
      test::PageBytes().Header(0, 0, 0, 0xFFFFFFFF).FrameHead(0, 0, 0, 0, 0, 0).str());
  Put("HugeFrameContent",
      test::PageBytes().Header(0, 0, 0, 1).FrameHead(0, 0, 0, 0, 0, 0xFFFFFFF0).Raw("z").str());
  Put("LongAddress", test::PageBytes().Header(60000, 0, 0, 0).Text("http://short").str());
  for (const char* title :
       {"HugeContent", "HugeMasks", "HugeFrames", "HugeFrameContent", "LongAddress"}) {
    EXPECT_EQ(ReadPage(folder(), title).error().code(), err::kInvalidData) << title;
  }
  // The summary reads only what it needs, so a damaged tail does not hide the address.
  Result<PageSummary> summary = ReadPageSummary(folder(), "HugeContent");
  ASSERT_TRUE(summary.ok());
  EXPECT_EQ(summary->address, "x");
}

TEST_F(PageFileTest, FailedReadIntoARecordLeavesItEmptyButKeepsItsTitle) {
  Put("Good", FullPage());
  PageRecord record;
  record.title = "Good";
  ASSERT_TRUE(ReadPage(folder(), "Good", record).ok());
  EXPECT_EQ(record.frames.count(), 2u);
  Put("Good", FullPage().substr(0, FullPage().size() - 3));  // truncated
  EXPECT_EQ(ReadPage(folder(), "Good", record).code(), err::kInvalidData);
  EXPECT_EQ(record.title, "Good");
  EXPECT_EQ(record.frames.count(), 0u);
  EXPECT_EQ(record.frameCount, 0u);
  EXPECT_TRUE(record.content.empty());
}

TEST_F(PageFileTest, SummaryRecordReadsHeaderAndAddressOnly) {
  Put("Example", FullPage());
  Result<std::unique_ptr<PageRecord>> summary = ReadPageSummaryRecord(folder(), "Example");
  ASSERT_TRUE(summary.ok());
  EXPECT_EQ((*summary)->address, "http://example.org");
  EXPECT_TRUE((*summary)->content.empty());
  EXPECT_EQ((*summary)->masks.count(), 0u);
  EXPECT_EQ((*summary)->frames.count(), 0u);
  EXPECT_EQ((*summary)->errorCode, 404u);
}

TEST_F(PageFileTest, ClearUpdatedKeepsEverythingAfterTheHeader) {
  Put("Example", FullPage());
  ASSERT_TRUE(ClearUpdated(folder(), "Example").ok());
  std::string expected = FullPage();
  expected[2] = 0;
  EXPECT_EQ(Get("Example"), expected);
}

TEST_F(PageFileTest, ResetPageLeavesOnlyHeaderAndAddress) {
  Put("Example", FullPage());
  ASSERT_TRUE(ResetPage(folder(), "Example", "http://example.org").ok());
  const std::string bytes = Get("Example");
  ASSERT_EQ(bytes.size(), kPageHeaderSize + 19);
  Result<std::unique_ptr<PageRecord>> page = ReadPage(folder(), "Example");
  ASSERT_TRUE(page.ok());
  EXPECT_EQ((*page)->smartUpdate, 0);
  EXPECT_EQ((*page)->updated, 0);
  EXPECT_EQ((*page)->status, StatusNone);
  EXPECT_TRUE((*page)->NeverChecked());
  EXPECT_EQ((*page)->address, "http://example.org");
}

TEST_F(PageFileTest, SetPageOptionsStartsThePageOverWithItsOptions) {
  Put("Example", FullPage());
  ASSERT_TRUE(SetPageOptions(folder(), "Example", "http://e.org",
                             PageSettings{.smartUpdate = false,
                                          .checkCount = 9,
                                          .waitSeconds = 60,
                                          .ignoreLastModified = true,
                                          .ignoreExpires = true})
                  .ok());
  Result<PageHeader> header = ReadPageHeader(folder(), "Example");
  ASSERT_TRUE(header.ok());
  EXPECT_EQ(header->ignoreLastModified, 1);
  EXPECT_EQ(header->ignoreExpires, 1);
  EXPECT_EQ(header->smartUpdate, 0);
  EXPECT_EQ(header->checkCount, 0);  // kept only with Smart Update on
  EXPECT_EQ(header->waitSeconds, 0);
  EXPECT_EQ(header->updated, 0);
  EXPECT_EQ(header->contentLength, 0u);
  ASSERT_TRUE(SetPageOptions(folder(), "Example", "http://e.org",
                             PageSettings{.smartUpdate = true, .checkCount = 9, .waitSeconds = 60})
                  .ok());
  EXPECT_EQ(ReadPageHeader(folder(), "Example")->checkCount, 9);
  EXPECT_EQ(ReadPageHeader(folder(), "Example")->waitSeconds, 60);
}

TEST_F(PageFileTest, TitleLengthIsBoundByTheFolderPath) {
  const size_t max = MaxTitleLength(folder());
  ASSERT_GT(max, 10u);
  PageSummary summary;
  summary.SetAddress("http://a.org");
  const std::string longest(max, 't');
  EXPECT_TRUE(CreatePageFile(folder(), longest, summary).ok());
  EXPECT_EQ(CreatePageFile(folder(), longest + "t", summary).code(), err::kFilenameTooLong);
  EXPECT_EQ(AddPageWithDefaults(folder(), longest + "t", "http://a.org", {}).code(),
            err::kFilenameTooLong);
  EXPECT_FALSE(PathExists(PageFile(longest + "t")));
}

TEST_F(PageFileTest, AddPageWithDefaultsNeverReplacesAPage) {
  PageSettings defaults;
  defaults.checkCount = 3;
  defaults.waitSeconds = 120;
  defaults.ignoreExpires = true;
  ASSERT_TRUE(AddPageWithDefaults(folder(), "News", "http://news.org", defaults).ok());
  Result<PageSummary> added = ReadPageSummary(folder(), "News");
  ASSERT_TRUE(added.ok());
  EXPECT_EQ(added->header.smartUpdate, 1);
  EXPECT_EQ(added->header.checkCount, 3);
  EXPECT_EQ(added->header.waitSeconds, 120);
  EXPECT_EQ(added->header.ignoreExpires, 1);
  EXPECT_EQ(added->header.addressLength, 16);

  Put("Kept", FullPage());
  EXPECT_EQ(AddPageWithDefaults(folder(), "Kept", "http://other.org", defaults).code(),
            err::kFileExists);
  EXPECT_EQ(Get("Kept"), FullPage());

  defaults.smartUpdate = false;
  ASSERT_TRUE(AddPageWithDefaults(folder(), "Plain", "http://plain.org", defaults).ok());
  EXPECT_EQ(ReadPageHeader(folder(), "Plain")->checkCount, 0);
  EXPECT_EQ(ReadPageHeader(folder(), "Plain")->waitSeconds, 0);
}

TEST_F(PageFileTest, RenameDeleteAndImportRefuseToOverwrite) {
  Put("A", FullPage());
  Put("B", test::PageBytes().Header(0, 0, 0, 0).str());
  EXPECT_EQ(RenamePage(folder(), "A", "B").code(), err::kFileExists);
  ASSERT_TRUE(RenamePage(folder(), "A", "C").ok());
  EXPECT_EQ(Get("C"), FullPage());

  test::Sandbox elsewhere;
  test::WriteFileBytes(elsewhere.Sub("C.twp"), "different");
  EXPECT_EQ(ImportPageFile(elsewhere.Sub("C.twp"), folder()).code(), err::kFileExists);
  EXPECT_EQ(ImportPageFile(elsewhere.Sub("none.twp"), folder()).code(), err::kFileNotFound);
  test::WriteFileBytes(elsewhere.Sub("D.twp"), FullPage());
  ASSERT_TRUE(ImportPageFile(elsewhere.Sub("D.twp"), folder()).ok());
  EXPECT_EQ(Get("D"), FullPage());

  ASSERT_TRUE(DeletePage(folder(), "D").ok());
  EXPECT_FALSE(PathExists(PageFile("D")));
  EXPECT_EQ(DeletePage(folder(), "D").code(), err::kFileNotFound);
}

TEST_F(PageFileTest, WritersAndReadersExcludeEachOther) {
  Put("Busy", FullPage());
  PageRecord record;
  record.title = "Busy";
  record.SetAddress("http://new.org");
  {
    Result<File> reader = File::Open(PageFile("Busy"), OpenOptions{});
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(WritePage(folder(), record).code(), err::kSharingViolation);
    EXPECT_EQ(ClearUpdated(folder(), "Busy").code(), err::kSharingViolation);
    EXPECT_EQ(DeletePage(folder(), "Busy").code(), err::kSharingViolation);
    EXPECT_EQ(ResetPage(folder(), "Busy", "http://x").code(), err::kSharingViolation);
  }
  {
    Result<File> writer = File::Open(PageFile("Busy"), OpenOptions{Access::kReadWrite, Share::kNone,
                                                                   Disposition::kOpenExisting});
    ASSERT_TRUE(writer.ok());
    EXPECT_EQ(ReadPage(folder(), "Busy").error().code(), err::kSharingViolation);
    EXPECT_EQ(ReadPageSummary(folder(), "Busy").error().code(), err::kSharingViolation);
  }
  EXPECT_EQ(Get("Busy"), FullPage());
  ASSERT_TRUE(WritePage(folder(), record).ok());
  EXPECT_EQ(ReadPageSummary(folder(), "Busy")->address, "http://new.org");
}

// A page rewritten or deleted while its updated flag is being cleared keeps its new pieces, or
// stays deleted: the cleared header is always the one read from the same file.
TEST_F(PageFileTest, ClearingUpdatedNeverMixesWithARewriteOrADeletion) {
  std::atomic<bool> done{false};
  std::thread clearer([&] {
    while (!done) (void)ClearUpdated(folder(), "Busy");
  });
  PageRecord record;
  record.title = "Busy";
  record.SetAddress("http://busy.org");
  record.updated = 1;
  // Whoever meets the clearer holding the page tries again, as a check pass would.
  auto retried = [](auto operation) {
    for (;;) {
      auto result = operation();
      if (ErrorOf(result).code() != err::kSharingViolation) return result;
    }
  };
  for (int i = 0; i < 500 && !HasFailure(); ++i) {
    record.SetContent(std::string(1 + i % 3 * 100, static_cast<char>('a' + i % 26)));
    ASSERT_TRUE(retried([&] { return WritePage(folder(), record); }).ok());
    Result<std::unique_ptr<PageRecord>> back = retried([&] { return ReadPage(folder(), "Busy"); });
    ASSERT_TRUE(back.ok()) << "round " << i << ": error " << back.error().code();
    EXPECT_EQ((*back)->content, record.content) << "round " << i;
    ASSERT_TRUE(retried([&] { return DeletePage(folder(), "Busy"); }).ok());
    EXPECT_FALSE(PathExists(PageFile("Busy"))) << "round " << i;
  }
  done = true;
  clearer.join();
}

TEST_F(PageFileTest, AddingMarksTheAddressAndOnlyARealDeletionUnmarksIt) {
  ASSERT_TRUE(AddPageWithDefaults(folder(), "M", "http://marked.org/", {}).ok());
  EXPECT_TRUE(*IsAddressMarked("http://marked.org/"));
  EXPECT_FALSE(*IsAddressMarked("http://MARKED.org/"));
  {
    Result<File> reader = File::Open(PageFile("M"), OpenOptions{});
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(DeletePage(folder(), "M").code(), err::kSharingViolation);
  }
  EXPECT_TRUE(*IsAddressMarked("http://marked.org/"));
  ASSERT_TRUE(DeletePage(folder(), "M").ok());
  EXPECT_FALSE(*IsAddressMarked("http://marked.org/"));
}

// File times advance in coarse clock ticks; a page rewritten within one tick must still look
// changed to everyone who compares last-write times.
TEST_F(PageFileTest, EveryWriteMovesTheLastWriteTimeForward) {
  Put("Busy", FullPage());
  Result<std::unique_ptr<PageRecord>> page = ReadPage(folder(), "Busy");
  ASSERT_TRUE(page.ok());
  FileTime last = GetFileInfo(PageFile("Busy"))->last_write;
  for (int i = 0; i < 20; ++i) {
    if (i % 2) {
      ASSERT_TRUE(WritePage(folder(), **page).ok());
    } else {
      ASSERT_TRUE(ClearUpdated(folder(), "Busy").ok());
    }
    const FileTime now = GetFileInfo(PageFile("Busy"))->last_write;
    EXPECT_GT(now, last) << "write " << i;
    last = now;
  }
}

TEST_F(PageFileTest, CopyForEventTakesHeaderTitleAndAddressOnly) {
  Put("Example", FullPage());
  Result<std::unique_ptr<PageRecord>> page = ReadPage(folder(), "Example");
  ASSERT_TRUE(page.ok());
  std::unique_ptr<PageRecord> copy = CopyForEvent(**page);
  EXPECT_EQ(copy->header(), (*page)->header());
  EXPECT_EQ(copy->title, "Example");
  EXPECT_EQ(copy->address, "http://example.org");
  EXPECT_TRUE(copy->content.empty());
  EXPECT_EQ(copy->frames.count(), 0u);
}

}  // namespace
}  // namespace tw
