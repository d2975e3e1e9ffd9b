#include "smartupdate/html_scan.h"

#include <gtest/gtest.h>

#include <string>

namespace tw {
namespace {

std::string Name(std::string_view doc, size_t at = 0) {
  auto name = ReadTagName(doc.data() + at, doc.size() - at);
  return name ? std::string(name->view()) : "<none>";
}

// The element at the start of `doc`: where it ends (offset), and its flags, or "fail".
std::string Skip(std::string_view doc, size_t at = 0) {
  auto e = SkipElement(doc.data() + at, doc.size() - at);
  if (!e) return "fail";
  return std::to_string(e->end - doc.data()) + (e->is_container ? " container" : "") +
         (e->is_unclosed ? " unclosed" : "");
}

TEST(HtmlScanTest, NextStartTagPassesOverEndTags) {
  const std::string doc = "text</b></i><p>";
  EXPECT_EQ(NextStartTag(doc.data(), doc.size()), doc.data() + 12);
  EXPECT_EQ(NextStartTag(doc.data(), 12), nullptr);
  // A '<' as the last byte is a start tag; its name cannot be read.
  const std::string last = "ab<";
  EXPECT_EQ(NextStartTag(last.data(), last.size()), last.data() + 2);
}

TEST(HtmlScanTest, TagNamesFollowTheNameCharacterRules) {
  EXPECT_EQ(Name("<div class=x>"), "div");
  EXPECT_EQ(Name("<H1>Title</H1>"), "H");  // digits end a name
  EXPECT_EQ(Name("<!DOCTYPE html>"), "!");
  EXPECT_EQ(Name("<?xml version>"), "?xml");
  EXPECT_EQ(Name("<<a>"), "<a");  // '<' is a name character
  EXPECT_EQ(Name("<a-b@c=d>"), "a-b@c=d");
  EXPECT_EQ(Name("<abcdefghij>"), "abcdefghij");  // ten letters
  EXPECT_EQ(Name("<abcdefghijk>"), "<none>");     // eleven: text
  EXPECT_EQ(Name("< p>"), "<none>");
  EXPECT_EQ(Name("<div"), "<none>");  // the document ends inside the name
}

TEST(HtmlScanTest, DeclarationsAndVoidElementsEndAtTheirFirstGreaterThan) {
  EXPECT_EQ(Skip("<!DOCTYPE html><html>"), "14");
  EXPECT_EQ(Skip("<!-- a > b --><p>"), "7");  // a comment holding '>' ends there
  EXPECT_EQ(Skip("<IMG src=x><p>"), "10");
  EXPECT_EQ(Skip("<Html><HEAD><bOdY>"), "5");
  EXPECT_EQ(Skip("<meta x <p"), "8");  // no '>': the first '<' met
  EXPECT_EQ(Skip("<meta x"), "fail");
  EXPECT_TRUE(IsVoidTag("BODY"));
  EXPECT_FALSE(IsVoidTag("br"));
  EXPECT_FALSE(IsVoidTag("imgs"));
}

TEST(HtmlScanTest, ContainersBalanceStartTagsThatBeginWithTheirName) {
  EXPECT_EQ(Skip("<div><div>x</div></div>tail"), "23 container");
  // Inside a b, a br start tag counts as one more b: the b ends at the second </b> after it.
  EXPECT_EQ(Skip("<b>x<br>y</b>z</b>"), "18 container");
  EXPECT_EQ(Skip("<table><tr><td>1</td></tr></TABLE>"), "34 container");
  EXPECT_EQ(Skip("<div></div >"), "12 container unclosed");  // "</div >" is not the end tag
  // Scripts are not special: a start tag inside one counts like any other.
  EXPECT_EQ(Skip("<script>if (a<b) x='<script>';</script></script>!"), "48 container");
}

TEST(HtmlScanTest, UnclosedContainersStopAtTheirFirstChild) {
  EXPECT_EQ(Skip("<h1>Title</h1><p>x</p>"), "14 container unclosed");
  EXPECT_EQ(Skip("<h1>Title</h1>"), "14 container unclosed");   // to the document end
  EXPECT_EQ(Skip("<br><br><i>x</i>"), "8 container unclosed");  // the nested br is not a child
  // Within a range that ends before the end tag, the element is unclosed.
  const std::string doc = "<div><p>a</p></div>";
  EXPECT_EQ(Skip(doc.substr(0, 15)), "5 container unclosed");
}

TEST(HtmlScanTest, SkipStartTagStopsOnTheClosingGreaterThan) {
  const std::string doc = "<frame src=\"a\"><x>";
  EXPECT_EQ(*SkipStartTag(doc.data(), doc.size()), doc.data() + 14);
  const std::string open = "<frame src=a <x";
  EXPECT_EQ(*SkipStartTag(open.data(), open.size()), open.data() + 13);
  EXPECT_FALSE(SkipStartTag("<frame src", 10));
}

TEST(HtmlScanTest, QuotedAttributesOnlyDoubleQuoted) {
  auto get = [](std::string_view tag) {
    auto a = GetQuotedAttribute(tag.data(), tag.size(), "src");
    return a ? a->value : "<none>";
  };
  EXPECT_EQ(get("<frame name=\"top\" SRC=\"a b.html\">"), "a b.html");
  EXPECT_EQ(get("<frame src='a.html'>"), "<none>");
  EXPECT_EQ(get("<frame src=a.html>"), "<none>");
  EXPECT_EQ(get("<frame>src=\"x\""), "<none>");     // past the first '>'
  EXPECT_EQ(get("<frame src=\"a>b\">"), "<none>");  // '>' before the closing quote
  EXPECT_EQ(get("<frame src=\"unterminated"), "<none>");
  // The first occurrence counts even inside another attribute's value.
  EXPECT_EQ(get("<frame name=\"srcx\" src=\"a\">"), " src=");
  const std::string tag = "<iframe src=\"\">";
  auto empty = GetQuotedAttribute(tag.data(), tag.size(), "src");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->value, "");
  EXPECT_EQ(empty->position, tag.data() + 13);
}

}  // namespace
}  // namespace tw
