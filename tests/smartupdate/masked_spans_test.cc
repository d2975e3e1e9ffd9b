// Where a document's records apply: the walk that the page versions' diff uses to leave out what
// changes on every download.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "smartupdate/compare.h"

namespace tw {
namespace {

using walk_result::kDifferent;
using walk_result::kFailed;
using walk_result::kSame;
using Strings = std::vector<std::string>;

// Records learned from two downloads of the same content.
void LearnFrom(std::string_view a, std::string_view b, MaskList& masks) {
  ASSERT_EQ(LearnDifferences(a, b, masks, nullptr), kDifferent);
  ASSERT_EQ(MatchWithMasks(a, b, masks), kSame);
}

Strings Masked(std::string_view doc, const MaskList& masks) {
  std::vector<ByteSpan> spans;
  EXPECT_EQ(FindMaskedSpans(doc, masks, spans), kSame);
  Strings texts;
  for (const ByteSpan& s : spans) texts.emplace_back(doc.substr(s.begin, s.end - s.begin));
  return texts;
}

TEST(MaskedSpansTest, CoverTheTextAndElementsThatRecordsAllowToDiffer) {
  MaskList masks;
  const std::string a =
      "<em>News</em>Visitors: 5<b>x</b><p>a</p><img src=\"ad1.gif\"><p>b</p><span>7</span>";
  LearnFrom(a,
            "<em>News</em>Visitors: 6<b>x</b><p>a</p><img src=\"ad2.gif\"><p>b</p><span>8</span>",
            masks);
  // A void element ends on its '>', which the walk leaves to what follows.
  EXPECT_EQ(Masked(a, masks), (Strings{"Visitors: 5", "<img src=\"ad1.gif\"", "<span>7</span>"}));
  // Another download with the same records: its own volatile parts.
  EXPECT_EQ(
      Masked("<em>News</em>Visitors: 90<b>x</b><p>a</p><img src=\"x.gif\"><p>b</p><span>9</span>",
             masks),
      (Strings{"Visitors: 90", "<img src=\"x.gif\"", "<span>9</span>"}));
}

TEST(MaskedSpansTest, LookInsideContainersCompareElementByElement) {
  MaskList masks;
  const std::string a = "<div id=x><b>x</b><i>5</i><u>u</u></div><p>end</p>";
  LearnFrom(a, "<div id=y><b>x</b><i>6</i><u>u</u></div><p>end</p>", masks);
  // The first run inside a container begins just after its '<': its name and attributes; what
  // follows its last child is never compared.
  EXPECT_EQ(Masked(a, masks), (Strings{"div id=x>", "<i>5</i>", "</div>"}));
}

TEST(MaskedSpansTest, JumpRecordsMoveTheNumberingOn) {
  MaskList masks;
  const std::string a = "<p>x</p>Clock 1<b>y</b>";
  LearnFrom(a, "<span>ad</span><p>x</p>Clock 1<b>y</b>", masks);
  LearnFrom(a, "<p>x</p>Clock 2<b>y</b>", masks);
  EXPECT_EQ(Masked(a, masks), Strings{"Clock 1"});
}

TEST(MaskedSpansTest, NothingWithoutRecordsAndAFailureKeepsWhatWasFound) {
  EXPECT_TRUE(Masked("<p>a</p>", MaskList()).empty());
  MaskList masks;
  masks.Append(std::make_unique<MaskEntry>(1, mask_kind::kTextBefore, 0));
  std::vector<ByteSpan> spans;
  // The second element's text is found; the third cannot be skipped (no '>' and no '<').
  EXPECT_EQ(FindMaskedSpans("<p>a</p>text<b>b</b><img src", masks, spans), kFailed);
  EXPECT_EQ(spans, (std::vector<ByteSpan>{{8, 12}}));
}

}  // namespace
}  // namespace tw
