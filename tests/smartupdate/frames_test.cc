#include "smartupdate/frames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/sandbox.h"

namespace tw {
namespace {

std::vector<std::string> Values(const SourceList& list) {
  std::vector<std::string> out;
  for (const StringNode& node : list) out.push_back(node.value);
  return out;
}

std::vector<std::string> Collect(std::string_view doc) {
  SourceList sources;
  EXPECT_TRUE(CollectFrameSources(doc, sources).ok());
  return Values(sources);
}

std::string Page(const std::string& name) {
  return test::ReadFileBytes(std::string(TW_SMARTUPDATE_PAGES) + "/" + name);
}

TEST(FramesTest, CollectsFramesetAndInlineFrameSources) {
  // Only double-quoted sources are found; a srcdoc holding '>' is not a value.
  EXPECT_EQ(Collect(Page("frameset.html")),
            (std::vector<std::string>{"toc.html", "/manual/intro.html"}));
  EXPECT_EQ(Collect(Page("inline-frames.html")),
            (std::vector<std::string>{"https://video.example.com/embed/x7Yq2?rel=0&amp;start=4",
                                      "maps/market.html", "about:blank",
                                      "//social.example.org/like?u=%2Fmarket"}));
}

TEST(FramesTest, AnUnreadableTagNameEndsTheScan) {
  EXPECT_EQ(Collect("<iframe src=\"a\"><script>if (x < 3) {}</script><iframe src=\"b\">"),
            (std::vector<std::string>{"a"}));
  EXPECT_EQ(Collect(std::string("\0<frame src=\"z\">\xff", 18)), (std::vector<std::string>{"z"}));
  EXPECT_EQ(Collect("<frame src=\"a\""), (std::vector<std::string>{"a"}));
  EXPECT_TRUE(Collect("<frame src=\"a").empty());
}

class ResolveTest : public ::testing::Test {
 protected:
  ResolveTest() {
    page_.SetAddress("http://www.example.org/dir/page.html");
    page_.waitSeconds = 90;
  }

  // Resolves `sources` and returns the page's frame addresses; checks the visit list and counts.
  std::vector<std::string> Resolve(const std::vector<std::string>& sources) {
    SourceList list;
    for (const std::string& s : sources) EXPECT_TRUE(AddFrameSource(list, s).ok());
    EXPECT_TRUE(ResolveFrameSources(list, page_, visits_).ok());
    std::vector<std::string> out;
    EXPECT_EQ(page_.frameCount, page_.frames.count());
    EXPECT_EQ(visits_.count(), page_.frames.count());
    auto visit = visits_.begin();
    for (const FrameEntry& frame : page_.frames) {
      EXPECT_EQ(visit->target, &frame);
      ++visit;
      out.push_back(frame.address);
    }
    return out;
  }

  PageRecord page_;
  FrameVisitList visits_;
};

TEST_F(ResolveTest, MakesSourcesAbsoluteKeepsMatchingFramesAndDropsLostOnes) {
  // Absolute sources stay, relative ones are combined, unfetchable ones are left out.
  EXPECT_EQ(Resolve({"HTTP://Other.org/A.html", "/top.html", "side.html", "side.html",
                     "about:blank", "javascript:void(0)", "ftp://h/x", ""}),
            (std::vector<std::string>{"HTTP://Other.org/A.html", "http://www.example.org/top.html",
                                      "http://www.example.org/dir/side.html"}));
  FrameEntry* side = page_.frames.last();
  EXPECT_EQ(side->waitSeconds, 90);
  EXPECT_EQ(side->addressLength, side->address.size() + 1);
  side->SetContent("<p>b</p>");
  // The page lost two frames and gained one; the kept frame keeps its snapshot (case ignored).
  EXPECT_EQ(Resolve({"HTTP://WWW.EXAMPLE.ORG/DIR/SIDE.HTML", "c.html"}),
            (std::vector<std::string>{"http://www.example.org/dir/side.html",
                                      "http://www.example.org/dir/c.html"}));
  EXPECT_EQ(page_.frames.first(), side);
  EXPECT_EQ(side->content, "<p>b</p>");
  EXPECT_TRUE(Resolve({}).empty());
}

}  // namespace
}  // namespace tw
