#include <gtest/gtest.h>

#include "pagefile/title.h"

namespace tw {
namespace {

TEST(TitleTest, RefusesControlBytesAndTheNineCharacters) {
  EXPECT_EQ(CheckTitle("News of the day", "/f"), TitleProblem::kNone);
  EXPECT_EQ(CheckTitle("Grüße", "/f"), TitleProblem::kNone);
  EXPECT_EQ(CheckTitle("", "/f"), TitleProblem::kEmpty);
  for (char c : std::string("/\\:*?\"<>|\x01\x1f")) {
    EXPECT_EQ(CheckTitle(std::string("a") + c + "b", "/f"), TitleProblem::kInvalidCharacter) << c;
  }
  EXPECT_EQ(CheckTitle(std::string("a\0b", 3), "/f"), TitleProblem::kInvalidCharacter);
}

TEST(TitleTest, LengthLimitDependsOnTheFolder) {
  const std::string folder(100, 'f');
  EXPECT_EQ(MaxTitleLength(folder), 154u);
  EXPECT_EQ(CheckTitle(std::string(154, 'x'), folder), TitleProblem::kNone);
  EXPECT_EQ(CheckTitle(std::string(155, 'x'), folder), TitleProblem::kTooLong);
  EXPECT_EQ(MaxTitleLength(std::string(300, 'f')), 0u);
}

TEST(TitleTest, MakeTitleUsableReplacesEveryForbiddenCharacter) {
  EXPECT_EQ(MakeTitleUsable("a/b:c\\d|e*f?g\"h<i>j\x01k"), "a-b-c-d-e#f#g'h[i]j#k");
  EXPECT_EQ(CheckTitle(MakeTitleUsable("x\x1f/:*?\"<>|\\"), "/f"), TitleProblem::kNone);
}

TEST(TitleTest, PathsAndTitlesOfFileNames) {
  EXPECT_EQ(PagePath("/pages", "News"), "/pages/News.twp");
  EXPECT_EQ(PagePath("/pages/", "News"), "/pages/News.twp");
  EXPECT_EQ(TitleOfFileName("News.twp"), "News");
  EXPECT_EQ(TitleOfFileName("v1.2 notes.twp"), "v1.2 notes");
}

}  // namespace
}  // namespace tw
