#include "smartupdate/frames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(FramesTest, CollectsFramesetAndInlineFrameSources) {
  const std::string frameset =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Frameset//EN\">\n"
      "<HTML><HEAD><TITLE>Docs</TITLE></HEAD>\n"
      "<FRAMESET cols=\"20%,80%\">\n"
      "  <FRAME name=\"nav\" src=\"nav.html\">\n"
      "  <FRAMESET rows=\"*,40\">\n"
      "    <FRAME SRC=\"/content/index.html\" name=\"main\">\n"
      "    <frame src='footer.html'>\n"
      "    <frame src=footer2.html>\n"
      "  </FRAMESET>\n"
      "  <NOFRAMES><P>No frames.</NOFRAMES>\n"
      "</FRAMESET></HTML>\n";
  EXPECT_EQ(Collect(frameset), (std::vector<std::string>{"nav.html", "/content/index.html"}));

  const std::string inline_frames =
      "<html><body><p>News</p>\n"
      "<iframe width=\"300\" src=\"https://ads.example.net/slot?id=4&amp;x=1\"></iframe>\n"
      "<div><IFRAME SRC=\"widget.html\" title=\"w\"></IFRAME></div>\n"
      "<iframe srcdoc=\"<b>x</b>\"></iframe><iframe srcdoc=\"hi\"></iframe>\n"
      "</body></html>";
  // srcdoc begins with "src", so its value is found too unless it holds a '>'.
  EXPECT_EQ(
      Collect(inline_frames),
      (std::vector<std::string>{"https://ads.example.net/slot?id=4&amp;x=1", "widget.html", "hi"}));
}

TEST(FramesTest, AnUnreadableTagNameEndsTheScan) {
  EXPECT_EQ(Collect("<iframe src=\"a\"><script>if (x < 3) {}</script><iframe src=\"b\">"),
            (std::vector<std::string>{"a"}));
  EXPECT_EQ(Collect(std::string("\0<frame src=\"z\">\xff", 18)), (std::vector<std::string>{"z"}));
  EXPECT_EQ(Collect("<frame src=\"a\""), (std::vector<std::string>{"a"}));
  EXPECT_TRUE(Collect("<frame src=\"a").empty());
}

TEST(FramesTest, CollectionIsCapped) {
  std::string doc;
  for (size_t i = 0; i < kMaxFrameSources + 10; ++i) {
    doc += "<iframe src=\"f" + std::to_string(i) + "\"></iframe>";
  }
  EXPECT_EQ(Collect(doc).size(), kMaxFrameSources);
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

TEST_F(ResolveTest, MakesSourcesAbsoluteAndAddsNewFrames) {
  EXPECT_EQ(
      Resolve({"HTTP://Other.org/A.html", "/top.html", "side.html", "../up.html",
               "https://secure.example.org/x", "side.html"}),
      (std::vector<std::string>{"HTTP://Other.org/A.html", "http://www.example.org/top.html",
                                "http://www.example.org/dir/side.html",
                                "http://www.example.org/up.html", "https://secure.example.org/x"}));
  const FrameEntry& frame = *page_.frames.first();
  EXPECT_EQ(frame.waitSeconds, 90);
  EXPECT_EQ(frame.addressLength, frame.address.size() + 1);
  EXPECT_EQ(frame.contentLength, 0u);
  EXPECT_TRUE(frame.masks.empty());
}

TEST_F(ResolveTest, KeepsMatchingFramesAndDropsLostOnes) {
  Resolve({"a.html", "b.html"});
  FrameEntry* b = page_.frames.last();
  b->SetContent("<p>b</p>");
  b->masks.Append(std::make_unique<MaskEntry>(3, 1, 0));
  b->maskCount = 1;
  // The page lost frame a and gained frame c; b keeps its snapshot and masks (case ignored).
  EXPECT_EQ(Resolve({"HTTP://WWW.EXAMPLE.ORG/DIR/B.HTML", "c.html"}),
            (std::vector<std::string>{"http://www.example.org/dir/b.html",
                                      "http://www.example.org/dir/c.html"}));
  EXPECT_EQ(page_.frames.first(), b);
  EXPECT_EQ(b->content, "<p>b</p>");
  EXPECT_EQ(b->masks.count(), 1u);
  EXPECT_TRUE(Resolve({}).empty());
}

TEST_F(ResolveTest, LeavesOutSourcesThatCannotBeFetched) {
  EXPECT_EQ(Resolve({"about:blank", "javascript:void(0)", "ftp://h/x", "", "ok.html"}),
            (std::vector<std::string>{"http://www.example.org/dir/ok.html"}));
  page_.SetAddress("not an address");
  visits_.Clear();
  page_.frames.Clear();
  page_.frameCount = 0;
  EXPECT_TRUE(Resolve({"relative.html"}).empty());
  EXPECT_EQ(Resolve({"http://abs.org/"}), (std::vector<std::string>{"http://abs.org/"}));
}

TEST_F(ResolveTest, FramesNotOnTheVisitListAreLeftAlone) {
  // A job that visits no frames (a new-pages pass) does not remove the page's frames.
  auto kept = std::make_unique<FrameEntry>();
  kept->SetAddress("http://www.example.org/kept.html");
  page_.frames.Append(std::move(kept));
  page_.frameCount = 1;
  SourceList none;
  EXPECT_TRUE(ResolveFrameSources(none, page_, visits_).ok());
  EXPECT_EQ(page_.frames.count(), 1u);
}

}  // namespace
}  // namespace tw
