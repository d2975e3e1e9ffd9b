// What changed between two versions of a page: the word diff of the visible text without the
// volatile parts, and the raw HTML diff.
#include "versions/page_diff.h"

#include <gtest/gtest.h>

#include "smartupdate/compare.h"

namespace tw {
namespace {

using Strings = std::vector<std::string>;

// One side's text, put back together from the runs.
std::string SideOf(const std::vector<DiffRun>& runs, DiffKind kind) {
  std::string out;
  for (const DiffRun& run : runs) {
    if (run.kind == DiffKind::kSame || run.kind == kind) out += run.text;
  }
  return out;
}

Strings RunsOf(const std::vector<DiffRun>& runs, DiffKind kind) {
  Strings out;
  for (const DiffRun& run : runs) {
    if (run.kind == kind) out.push_back(run.text);
  }
  return out;
}

std::vector<DiffRun> Diff(std::string_view a, std::string_view b) {
  return DiffVisibleText(a, MaskList(), b, MaskList());
}

TEST(PageDiffTest, ShowsChangedWordsWithinTheirLines) {
  const auto runs = Diff("<p>The quick brown fox</p><p>jumps over</p>",
                         "<p>The quick red fox</p><p>jumps over</p>");
  EXPECT_EQ(RunsOf(runs, DiffKind::kRemoved), Strings{" brown"});
  EXPECT_EQ(RunsOf(runs, DiffKind::kAdded), Strings{" red"});
  EXPECT_EQ(SideOf(runs, DiffKind::kRemoved), "The quick brown fox\njumps over");
  EXPECT_EQ(SideOf(runs, DiffKind::kAdded), "The quick red fox\njumps over");
  EXPECT_EQ(Diff("<p>same</p>", "<p>same</p>"), (std::vector<DiffRun>{{DiffKind::kSame, "same"}}));
}

TEST(PageDiffTest, EachSideCanBeReadBackFromTheRuns) {
  const std::pair<std::string, std::string> pairs[] = {
      {"<p>a</p><p>b</p>", "<p>x</p><p>a</p><p>b</p>"},    // a line added at the start
      {"<p>a</p><p>b</p>", "<p>a</p><p>x y</p><p>b</p>"},  // in the middle
      {"<p>a</p><p>b</p>", "<p>a</p><p>b</p><p>x</p>"},    // at the end
      {"<p>x</p><p>a</p><p>b</p>", "<p>a</p><p>b</p>"},    // removed at the start
      {"<p>a b c</p><p>d</p>", "<p>a</p><p>b c d</p>"},    // words moved between lines
      {"<p>one two</p>", "<p>two one</p>"},
      {"", "<p>all new</p>"},
      {"<p>all gone</p>", ""},
  };
  for (const auto& [a, b] : pairs) {
    const auto runs = Diff(a, b);
    const auto text = [](std::string_view html) {
      std::string out;
      for (const DiffRun& run : Diff(html, html)) out += run.text;
      return out;
    };
    EXPECT_EQ(SideOf(runs, DiffKind::kRemoved), text(a)) << a << " -> " << b;
    EXPECT_EQ(SideOf(runs, DiffKind::kAdded), text(b)) << a << " -> " << b;
  }
}

// Two downloads of one content differ in their volatile parts; learning them gives the records.
void Learn(std::string_view first, std::string_view second, MaskList& masks) {
  ASSERT_EQ(LearnDifferences(first, second, masks, nullptr), walk_result::kDifferent);
  ASSERT_EQ(MatchWithMasks(first, second, masks), walk_result::kSame);
}

std::string NewsPage(const std::string& items, const std::string& clock, int visitors, int ad) {
  return "<html><body><div id=top>Tuesday " + clock + "</div><b>News</b><ul>" + items +
         "</ul><p>Visitors: " + std::to_string(visitors) + "</p><div class=ad><img src=\"ad" +
         std::to_string(ad) + ".png\"> Buy now for " + std::to_string(ad) +
         " pounds</div><p>Footer</p></body></html>";
}

TEST(PageDiffTest, ShowsTheRealChangeAndNoneOfTheVolatileParts) {
  const std::string old_items = "<li>Item two</li><li>Item one</li>";
  const std::string new_items = "<li>Item three</li><li>Item two</li><li>Item one (updated)</li>";
  PageRecord earlier, current;
  earlier.SetContent(NewsPage(old_items, "10:01", 1234, 7));
  Learn(earlier.content, NewsPage(old_items, "10:02", 1240, 3), earlier.masks);
  current.SetContent(NewsPage(new_items, "11:45", 1502, 5));
  Learn(current.content, NewsPage(new_items, "11:46", 1507, 9), current.masks);
  earlier.SyncCounts();
  current.SyncCounts();

  const std::vector<DocumentDiff> diffs = DiffPages(earlier, current);
  ASSERT_EQ(diffs.size(), 1u);
  EXPECT_TRUE(diffs[0].changed);
  EXPECT_EQ(RunsOf(diffs[0].text, DiffKind::kRemoved), Strings{});
  // A new line carries the line break before it; a new word the space before it.
  EXPECT_EQ(RunsOf(diffs[0].text, DiffKind::kAdded), (Strings{"\nItem three", " (updated)"}));
  const std::string shown = SideOf(diffs[0].text, DiffKind::kAdded);
  for (const char* volatile_part : {"11:45", "1502", "Buy", "10:01"}) {
    EXPECT_EQ(shown.find(volatile_part), std::string::npos) << volatile_part;
  }
  EXPECT_NE(shown.find("Footer"), std::string::npos);

  // Without the records every volatile part would show.
  const auto unmasked = DiffVisibleText(earlier.content, MaskList(), current.content, MaskList());
  EXPECT_NE(SideOf(unmasked, DiffKind::kAdded).find("11:45"), std::string::npos);

  // A side without records of its own takes the other side's.
  PageRecord unlearned;
  unlearned.SetContent(current.content);
  const std::vector<DocumentDiff> borrowed = DiffPages(earlier, unlearned);
  EXPECT_EQ(SideOf(borrowed[0].text, DiffKind::kAdded).find("11:45"), std::string::npos);
}

TEST(PageDiffTest, FramesAreMatchedByAddress) {
  PageRecord earlier, current;
  earlier.SetContent("<p>page</p>");
  current.SetContent("<p>page</p>");
  const auto add_frame = [](PageRecord& page, const std::string& address, const std::string& html) {
    auto frame = std::make_unique<FrameEntry>();
    frame->SetAddress(address);
    frame->SetContent(html);
    page.frames.Append(std::move(frame));
    page.SyncCounts();
  };
  add_frame(earlier, "http://example.org/menu", "<p>menu</p>");
  add_frame(earlier, "http://example.org/old", "<p>gone</p>");
  add_frame(current, "http://example.org/new", "<p>arrived</p>");
  add_frame(current, "HTTP://example.org/menu", "<p>menu changed</p>");
  current.SetAddress("http://example.org/");

  const std::vector<DocumentDiff> diffs = DiffPages(earlier, current);
  ASSERT_EQ(diffs.size(), 4u);
  EXPECT_EQ(diffs[0].address, "http://example.org/");
  EXPECT_FALSE(diffs[0].changed);
  EXPECT_EQ(diffs[1].address, "http://example.org/new");
  EXPECT_EQ(RunsOf(diffs[1].text, DiffKind::kAdded), Strings{"arrived"});
  EXPECT_EQ(diffs[2].address, "HTTP://example.org/menu");
  EXPECT_EQ(RunsOf(diffs[2].text, DiffKind::kAdded), Strings{" changed"});
  EXPECT_EQ(diffs[3].address, "http://example.org/old");
  EXPECT_EQ(RunsOf(diffs[3].text, DiffKind::kRemoved), Strings{"gone"});
}

TEST(HtmlDiffTest, GivesUnifiedHunksWithThreeLinesOfContext) {
  std::string a, b;
  for (int i = 1; i <= 20; ++i) {
    a += "line " + std::to_string(i) + "\r\n";
    b += (i == 5 ? "LINE 5" : i == 16 ? "line 16\nextra" : "line " + std::to_string(i)) + "\n";
  }
  EXPECT_EQ(DiffHtml(a, b),
            (Strings{"@@ -2,7 +2,7 @@", " line 2", " line 3", " line 4", "-line 5", "+LINE 5",
                     " line 6", " line 7", " line 8", "@@ -14,6 +14,7 @@", " line 14", " line 15",
                     " line 16", "+extra", " line 17", " line 18", " line 19"}));
  EXPECT_TRUE(DiffHtml(a, a).empty());
  EXPECT_EQ(DiffHtml("", "new\n"), (Strings{"@@ -0,0 +1,1 @@", "+new"}));
  // Changes close together share one hunk.
  EXPECT_EQ(DiffHtml("a\nb\nc\nd\n", "A\nb\nc\nD\n"),
            (Strings{"@@ -1,4 +1,4 @@", "-a", "+A", " b", " c", "-d", "+D"}));
}

TEST(HtmlDiffTest, CompletelyDifferentLargePagesAreDiffedWithinBounds) {
  std::string a, b;
  for (int i = 0; i < 30000; ++i) {
    a += "a" + std::to_string(i) + "\n";
    b += "b" + std::to_string(i) + "\n";
  }
  const Strings hunks = DiffHtml(a, b);
  ASSERT_EQ(hunks.size(), 60001u);
  EXPECT_EQ(hunks[0], "@@ -1,30000 +1,30000 @@");
}

}  // namespace
}  // namespace tw
