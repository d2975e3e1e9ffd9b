#include "pagedb/error_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "pagedb/recording_sink.h"
#include "platform/error_text.h"
#include "platform/file_system.h"
#include "resources/strings.h"
#include "support/child_process.h"
#include "support/sandbox.h"

namespace tw {
namespace {

class ErrorLogTest : public ::testing::Test {
 protected:
  // The contents of the error files in the folder, sorted.
  std::vector<std::string> ErrorFileTexts() const {
    std::vector<std::string> texts;
    const Result<std::vector<FoundFile>> found = FindFiles(folder_, ".twe");
    EXPECT_TRUE(found.ok());
    if (!found.ok()) return texts;
    for (const FoundFile& f : *found) {
      EXPECT_TRUE(f.name.size() == 12 && f.name.rfind("err", 0) == 0) << f.name;
      const int number = std::stoi(f.name.substr(3, 5));
      EXPECT_TRUE(number >= 10000 && number <= 99999) << f.name;
      texts.push_back(test::ReadFileBytes(JoinPath(folder_, f.name)));
    }
    std::sort(texts.begin(), texts.end());
    return texts;
  }

  test::Sandbox sandbox_;
  std::string folder_ = sandbox_.path();
  test::RecordingSink sink_;
};

TEST_F(ErrorLogTest, MessagesEndInALineBreakInFilesAndNotInEvents) {
  const std::string resolved(*ErrorText(err::kInternetNameNotResolved));
  ASSERT_TRUE(WriteErrorFile(folder_, 0, Error(err::kInternetNameNotResolved)).ok());
  ASSERT_TRUE(WriteErrorFile(folder_, 0, Error(54321)).ok());  // a number without text
  ASSERT_TRUE(WriteErrorFile(folder_, str::kPageProcessingError).ok());
  ASSERT_TRUE(WritePageErrorFile(folder_, "News", 0, Error(err::kInvalidData)).ok());
  ASSERT_TRUE(WritePageErrorFile(folder_, "Blog", 0, Error(54321)).ok());
  std::vector<std::string> expected = {
      "An error occurred while processing this page.",
      "Page Error: Blog, Unknown error.",
      "Page Error: News, " + std::string(*ErrorText(err::kInvalidData)) + "\n",
      "Unknown error, More Information: " + resolved + "\n",
      "Unknown error.",
  };
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(ErrorFileTexts(), expected);

  ASSERT_TRUE(PostErrorEvent(&sink_, 0, Error(err::kInternetNameNotResolved)).ok());
  EXPECT_EQ(sink_.texts(),
            std::vector<std::string>{"Unknown error, More Information: " + resolved});
  sink_.takes = false;
  EXPECT_FALSE(PostErrorEvent(&sink_, 0, Error(err::kAccessDenied)).ok());
  EXPECT_FALSE(PostErrorEvent(nullptr, 0, Error(err::kAccessDenied)).ok());
}

TEST_F(ErrorLogTest, ReportingPrefersAFileAndNeverReportsNothingThere) {
  ReportError(folder_, &sink_, Error(err::kFileNotFound));
  ReportError(folder_, &sink_, Error(err::kNoMoreFiles));
  EXPECT_TRUE(ErrorFileTexts().empty());
  ReportError(folder_, &sink_, Error(err::kAccessDenied));
  EXPECT_EQ(ErrorFileTexts().size(), 1u);
  EXPECT_TRUE(sink_.texts().empty());
  // Without a folder to write into, the text goes to the user interface directly.
  ReportError(sandbox_.Sub("missing"), &sink_, Error(err::kAccessDenied));
  EXPECT_EQ(sink_.texts().size(), 1u);
}

TEST_F(ErrorLogTest, FilesWaitForASubscriberAndAreTakenInOneChain) {
  for (const char* title : {"A", "B", "C"}) {
    ASSERT_TRUE(WritePageErrorFile(folder_, title, str::kUnknownError).ok());
  }
  sink_.has_subscribers = false;
  EXPECT_FALSE(*TakeErrorFiles(folder_, sink_));
  EXPECT_EQ(ErrorFileTexts().size(), 3u);

  sink_.has_subscribers = true;
  EXPECT_TRUE(*TakeErrorFiles(folder_, sink_));
  EXPECT_EQ(sink_.chains(), 1);
  std::vector<std::string> texts = sink_.texts();
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(texts, (std::vector<std::string>{"Page Error: A, Unknown error.",
                                             "Page Error: B, Unknown error.",
                                             "Page Error: C, Unknown error."}));
  EXPECT_TRUE(ErrorFileTexts().empty());
  EXPECT_FALSE(*TakeErrorFiles(folder_, sink_));
  // Nobody taking the chain loses the texts, not the taking.
  ASSERT_TRUE(WriteErrorFile(folder_, str::kUnknownError).ok());
  sink_.takes = false;
  EXPECT_TRUE(*TakeErrorFiles(folder_, sink_));
  EXPECT_TRUE(ErrorFileTexts().empty());
}

TEST_F(ErrorLogTest, LongMessagesAreCutToWhatIsTakenAndOversizedFilesDropped) {
  const std::string title(250, 't');
  ASSERT_TRUE(WritePageErrorFile(folder_, title, str::kSeriousPageError).ok());
  test::WriteFileBytes(JoinPath(folder_, "err12345.twe"), std::string(261, 'x'));
  test::WriteFileBytes(JoinPath(folder_, "err12346.twe"), std::string(260, 'y'));
  EXPECT_TRUE(*TakeErrorFiles(folder_, sink_));
  std::vector<std::string> texts = sink_.texts();
  std::sort(texts.begin(), texts.end());
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], ("Page Error: " + title + ", A serious").substr(0, 260));
  EXPECT_EQ(texts[1], std::string(260, 'y'));
  EXPECT_TRUE(ErrorFileTexts().empty());
}

TEST_F(ErrorLogTest, NothingIsTakenWhileAnotherProcessHoldsTheTakersLock) {
  ASSERT_TRUE(WriteErrorFile(folder_, str::kUnknownError).ok());
  {
    test::ChildProcess taker =
        test::ChildProcess::SpawnHelper({"hold-file", JoinPath(folder_, "err"), "exclusive"});
    ASSERT_EQ(taker.ReadLine(), "ready");
    EXPECT_FALSE(*TakeErrorFiles(folder_, sink_));
    EXPECT_EQ(ErrorFileTexts().size(), 1u);
  }
  EXPECT_TRUE(*TakeErrorFiles(folder_, sink_));
  EXPECT_EQ(sink_.texts().size(), 1u);
}

TEST_F(ErrorLogTest, TwoProcessesTakingWhileFilesArriveTakeEachFileOnce) {
  constexpr int kFiles = 200;
  std::vector<test::ChildProcess> takers;
  for (int i = 0; i < 2; ++i)
    takers.push_back(test::ChildProcess::SpawnHelper({"take-errors", folder_}));
  for (test::ChildProcess& taker : takers) ASSERT_EQ(taker.ReadLine(), "ready");
  for (int i = 0; i < kFiles; ++i) {
    ASSERT_TRUE(WritePageErrorFile(folder_, "page " + std::to_string(i), str::kUnknownError).ok());
  }
  test::WriteFileBytes(JoinPath(folder_, "stop"), "");

  std::multiset<std::string> taken;
  std::vector<size_t> per_taker;
  for (test::ChildProcess& taker : takers) {
    size_t count = 0;
    for (;;) {
      std::optional<std::string> line = taker.ReadLine(std::chrono::seconds(30));
      ASSERT_TRUE(line);
      if (*line == "done") break;
      ASSERT_EQ(line->rfind("taken ", 0), 0u) << *line;
      taken.insert(line->substr(6));
      ++count;
    }
    per_taker.push_back(count);
    EXPECT_EQ(taker.Wait(), 0);
  }
  EXPECT_EQ(taken.size(), static_cast<size_t>(kFiles));
  for (int i = 0; i < kFiles; ++i) {
    EXPECT_EQ(taken.count("Page Error: page " + std::to_string(i) + ", Unknown error."), 1u) << i;
  }
  EXPECT_TRUE(ErrorFileTexts().empty());
}

TEST(PageErrorTextTest, EachStatusHasItsKindOfText) {
  EXPECT_EQ(*PageErrorText(StatusMessage, str::kTooManyChanges), "This page has too many changes.");
  EXPECT_EQ(*PageErrorText(StatusMessage, str::kSeriousPageError),
            LoadString(str::kSeriousPageError));
  EXPECT_FALSE(PageErrorText(StatusMessage, 99).ok());
  // Error 2 is shown as 12028.
  EXPECT_EQ(*PageErrorText(StatusSystemError, err::kFileNotFound),
            *ErrorText(err::kInternetItemNotFound));
  EXPECT_EQ(*PageErrorText(StatusSystemError, err::kInternetTimeout),
            *ErrorText(err::kInternetTimeout));
  EXPECT_FALSE(PageErrorText(StatusSystemError, 4242).ok());
  EXPECT_EQ(*PageErrorText(StatusHttpError, 404), "Object not found");
  EXPECT_FALSE(PageErrorText(StatusHttpError, 418).ok());
  EXPECT_FALSE(PageErrorText(StatusHttpError, 0xFFFFFFFF).ok());
  EXPECT_FALSE(PageErrorText(StatusNone, 404).ok());
  EXPECT_FALSE(PageErrorText(StatusRechecking, 404).ok());
}

}  // namespace
}  // namespace tw
