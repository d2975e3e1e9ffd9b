// The visible text of a page: what a reader sees, as lines of words.
#include "versions/visible_text.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

using Lines = std::vector<TextLine>;

Lines Text(std::string_view html, std::vector<ByteSpan> masked = {}) {
  return VisibleText(html, masked);
}

TEST(VisibleTextTest, LeavesOutMarkupScriptsAndStyles) {
  EXPECT_EQ(Text("<!DOCTYPE html><html><head><title>The  title</title>"
                 "<style>p { color: red }</style><script>if (a < b) document.write('<p>x</p>');"
                 "</script></head><body><!-- a comment <p>hidden</p> -->"
                 "<p class=\"a > b\">First <b>bold</b>face <a href=x>link</a></p>"
                 "<div>Second<br>third</div><table><tr><td>cell</td><td>two</td></tr></table>"
                 "<SCRIPT type=x>var s = '</scrip>';</SCRIPT >after</body></html>"),
            (Lines{{"The", "title"},
                   {"First", "boldface", "link"},
                   {"Second"},
                   {"third"},
                   {"cell", "two"},
                   {"after"}}));
  // A script never closed hides the rest; a '<' that begins no tag is text.
  EXPECT_EQ(Text("<p>a < b and c<3</p><script>x"), (Lines{{"a", "<", "b", "and", "c<3"}}));
}

TEST(VisibleTextTest, DecodesCharacterReferences) {
  EXPECT_EQ(Text("<p>Fish &amp; chips&nbsp;&#8364;5 &#x41;&lt;&gt; &copy; &bogus; &#0; &#xD800;"
                 " a&b &amp</p>"),
            (Lines{{"Fish", "&", "chips",
                    "\xE2\x82\xAC"
                    "5",
                    "A<>", "\xC2\xA9", "&bogus;", "&#0;", "&#xD800;", "a&b", "&amp"}}));
}

TEST(VisibleTextTest, ReadsWesternPagesAsUtf8) {
  EXPECT_EQ(Text("<p>Caf\xE9 \x80 &euro;</p>"),
            (Lines{{"Caf\xC3\xA9", "\xE2\x82\xAC", "\xE2\x82\xAC"}}));
}

TEST(VisibleTextTest, LeavesOutMaskedSpansWithoutStrayText) {
  const std::string html =
      "<p>Visitors: 5</p><div id=\"clock\" title=\"x>y\">10:05</div><p>end</p>";
  // The span of the counter's text, and one that begins inside the div's start tag (after its
  // '<', as the walk gives the first run inside a container) and ends in its text.
  const size_t counter = html.find("Visitors");
  const size_t div = html.find("<div") + 1;
  EXPECT_EQ(Text(html, {{counter, counter + 11}, {div, html.find("</div>")}}), (Lines{{"end"}}));
  // Spans in any order and overlapping.
  EXPECT_EQ(Text(html, {{div, div + 3}, {counter + 9, counter + 11}, {counter, counter + 10}}),
            (Lines{{"10:05"}, {"end"}}));
}

}  // namespace
}  // namespace tw
