// Learning, matching and finding the masked spans are one walk with three ways of acting on what
// it meets. Whatever one of them decides about a place in a page, the others must decide alike:
// what learning recorded, matching accepts and learning again leaves as it is; a masked span is
// exactly what matching lets differ.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "smartupdate/compare.h"

namespace tw {
namespace {

using walk_result::kDifferent;
using walk_result::kFailed;
using walk_result::kSame;

std::string Records(const MaskList& list) {
  std::string out;
  for (const MaskEntry& r : list) {
    out += std::to_string(r.index) + ":" + std::to_string(r.kind) + ":" + std::to_string(r.count) +
           " ";
  }
  return out;
}

// A page with one volatile spot of every kind the walk localises: text before an element inside
// a container, a void element, a container without children, a container nested two deep whose
// children line up, and a container's own attributes and first text.
std::string NestedPage(int n) {
  const std::string v = std::to_string(n);
  return "<html><head><title>Daily</title></head><body class=\"front\">\n"
         "<div id=\"top\"><b>Today</b>Visitors: " +
         v + "<i>more</i></div>\n<img src=\"ad" + v + ".gif\">\n<span>" + v +
         "</span>\n<div class=\"deep\"><ul><li>one</li><li>item " + v +
         "</li></ul><p>fixed text</p></div>\n<section data-token=\"" + v + "\">Intro " + v +
         "<p>alpha</p><p>beta</p>tail " + v +
         "</section>\n<p>The end of the story</p>\n</body></html>";
}

// Top-level elements that come and go, with a clock that changes: TagMismatch and ElementCount
// records besides the clock's own.
std::string ShiftingPage(int n) {
  const std::string banner = n % 2 ? "<div>Storm warning " + std::to_string(n) + "</div>" : "";
  const std::string extra = n % 3 ? "<p>Late news</p><p>More news</p>" : "";
  return banner + "<p>Headline</p><ul><li>x</li></ul><p>Clock " + std::to_string(n) +
         "</p><table><tr><td>1</td></tr></table>" + extra;
}

// Learns consecutive downloads of a page until a pass learns nothing new.
MaskList LearnDownloads(std::string (*page)(int), int downloads) {
  MaskList masks;
  for (int n = 1; n < downloads; ++n) {
    const std::string a = page(n - 1);
    const std::string b = page(n);
    EXPECT_NE(LearnDifferences(a, b, masks, nullptr), kFailed) << n;
    EXPECT_EQ(MatchWithMasks(a, b, masks), kSame) << n;
    // The same pair again: nothing new is learned, no record is changed.
    const std::string before = Records(masks);
    EXPECT_EQ(LearnDifferences(a, b, masks, nullptr), kSame) << n;
    EXPECT_EQ(Records(masks), before) << n;
  }
  return masks;
}

// Whether offset `at` of `doc` lies in the text between tags (not inside a '<' ... '>').
std::vector<bool> TextPositions(const std::string& doc) {
  std::vector<bool> text(doc.size(), false);
  bool in_tag = false;
  for (size_t i = 0; i < doc.size(); ++i) {
    if (doc[i] == '<') in_tag = true;
    text[i] = !in_tag;
    if (doc[i] == '>') in_tag = false;
  }
  return text;
}

// Every letter and digit of the text of `doc`, changed on its own, is accepted by MatchWithMasks
// exactly when it lies in a span that FindMaskedSpans reports.
void ExpectSpansAreWhatMatchingAllows(const std::string& doc, const MaskList& masks) {
  std::vector<ByteSpan> spans;
  ASSERT_EQ(FindMaskedSpans(doc, masks, spans), kSame);
  ASSERT_FALSE(spans.empty());
  const std::vector<bool> text = TextPositions(doc);
  int masked = 0;
  for (size_t i = 0; i < doc.size(); ++i) {
    if (!text[i] || !std::isalnum(static_cast<unsigned char>(doc[i]))) continue;
    bool in_span = false;
    for (const ByteSpan& s : spans) in_span = in_span || (i >= s.begin && i < s.end);
    std::string changed = doc;
    changed[i] = doc[i] == 'q' ? 'z' : 'q';
    EXPECT_EQ(MatchWithMasks(doc, changed, masks), in_span ? kSame : kDifferent)
        << "offset " << i << " in \"" << doc.substr(i > 20 ? i - 20 : 0, 40) << "\"";
    masked += in_span;
  }
  EXPECT_GT(masked, 0);
}

TEST(WalkAgreementTest, EveryKindOfRecordInsideContainers) {
  const MaskList masks = LearnDownloads(NestedPage, 4);
  // The records reach into the nested containers (a Subtree record for html at least).
  bool subtree = false;
  for (const MaskEntry& r : masks) subtree = subtree || r.kind == mask_kind::kSubtree;
  EXPECT_TRUE(subtree) << Records(masks);
  // A download not seen while learning differs only in the volatile spots.
  EXPECT_EQ(MatchWithMasks(NestedPage(3), NestedPage(17), masks), kSame);
  ExpectSpansAreWhatMatchingAllows(NestedPage(3), masks);
  ExpectSpansAreWhatMatchingAllows(NestedPage(17), masks);
}

TEST(WalkAgreementTest, RecordsThatMoveTheNumberingOn) {
  const MaskList masks = LearnDownloads(ShiftingPage, 7);
  bool mismatch = false;
  bool count = false;
  for (const MaskEntry& r : masks) {
    mismatch = mismatch || r.kind == mask_kind::kTagMismatch;
    count = count || r.kind == mask_kind::kElementCount;
  }
  EXPECT_TRUE(mismatch && count) << Records(masks);
  for (int n = 0; n < 6; ++n) ExpectSpansAreWhatMatchingAllows(ShiftingPage(n), masks);
}

// A Subtree record whose span holds no records cannot say what may differ inside: MatchWithMasks
// fails where its container differs, passes over the container where it is equal, and the spans
// found leave it out.
TEST(WalkAgreementTest, ASubtreeWithoutRecordsFailsOnlyWhereItsContainerDiffers) {
  MaskList broken;
  broken.Append(std::make_unique<MaskEntry>(0, mask_kind::kSubtree, 1));
  broken.Append(std::make_unique<MaskEntry>(3, mask_kind::kTextBefore, 0));
  const std::string a = "<div><b>1</b></div><p>x</p>Clock 1<i>y</i>";
  EXPECT_EQ(MatchWithMasks(a, "<div><b>2</b></div><p>x</p>Clock 1<i>y</i>", broken), kFailed);
  EXPECT_EQ(MatchWithMasks(a, "<div><b>1</b></div><p>x</p>Clock 2<i>y</i>", broken), kSame);
  EXPECT_EQ(MatchWithMasks(a, "<div><b>1</b></div><p>X</p>Clock 1<i>y</i>", broken), kDifferent);
  std::vector<ByteSpan> spans;
  EXPECT_EQ(FindMaskedSpans(a, broken, spans), kSame);
  EXPECT_EQ(spans, (std::vector<ByteSpan>{{a.find("Clock"), a.find("<i>")}}));
}

}  // namespace
}  // namespace tw
