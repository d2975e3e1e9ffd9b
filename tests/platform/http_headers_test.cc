#include "platform/http_headers.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

ResponseHeaders Parse(std::initializer_list<std::string_view> lines) {
  ResponseHeaders headers;
  for (std::string_view line : lines) headers.AddLine(line);
  return headers;
}

TEST(ResponseHeadersTest, KeepsTheFinalBlockOnly) {
  const ResponseHeaders headers =
      Parse({"HTTP/1.1 100 Continue\r\n", "X-Early: 1\r\n", "\r\n", "HTTP/1.1 404 Not Found\r\n",
             "Content-Type: text/html\r\n", "X-Long: one\r\n", " \t two\r\n", "x-long: again\r\n",
             "no colon here\r\n", "\r\n", "Trailer-Field: late\r\n"});
  EXPECT_EQ(headers.status(), 404);
  EXPECT_TRUE(headers.complete());
  EXPECT_FALSE(headers.Find("X-Early"));
  EXPECT_EQ(headers.Find("content-type"), "text/html");
  EXPECT_EQ(headers.Find("X-LONG"), "one two");  // the first of two, with its folded line
  EXPECT_FALSE(headers.Find("Trailer-Field"));
  EXPECT_EQ(headers.fields().size(), 3u);
  EXPECT_EQ(Parse({"HTTP/1.1 2000 Odd\r\n"}).status(), 0);
  EXPECT_EQ(Parse({"HTTP/1.0 301\r\n"}).status(), 301);
}

TEST(ResponseHeadersTest, ABlockPastItsCapIsInvalid) {
  ResponseHeaders many;
  many.AddLine("HTTP/1.1 200 OK\r\n");
  for (size_t i = 0; i <= kMaxHeaderFields; ++i) many.AddLine("X: y\r\n");
  EXPECT_TRUE(many.invalid());
  EXPECT_TRUE(many.fields().empty());

  ResponseHeaders large;
  large.AddLine("HTTP/1.1 200 OK\r\n");
  const std::string line = "X-Big: " + std::string(64 * 1024, 'a') + "\r\n";
  for (int i = 0; i < 5; ++i) large.AddLine(line);
  EXPECT_TRUE(large.invalid());
}

TEST(HttpDateTest, ReadsTheThreeHttpFormats) {
  const FileTime expected = FileTime::FromUnixSeconds(784111777);  // 1994-11-06 08:49:37 UTC
  EXPECT_EQ(ParseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT"), expected);
  EXPECT_EQ(ParseHttpDate("Sunday, 06-Nov-94 08:49:37 GMT"), expected);
  EXPECT_EQ(ParseHttpDate("Sun Nov  6 08:49:37 1994"), expected);
  EXPECT_EQ(ParseHttpDate("  Sun, 06 Nov 1994 08:49:37 GMT "), expected);
  EXPECT_FALSE(ParseHttpDate(""));
  EXPECT_FALSE(ParseHttpDate("0"));
  EXPECT_FALSE(ParseHttpDate("-1"));
  EXPECT_FALSE(ParseHttpDate("not a date"));
  EXPECT_FALSE(ParseHttpDate(std::string(1000, '1')));
}

TEST(HttpDateTest, ReadsPlainDecimalsOnly) {
  EXPECT_EQ(ParseDecimal(" 1000 "), 1000u);
  EXPECT_EQ(ParseDecimal("0"), 0u);
  EXPECT_FALSE(ParseDecimal("-5"));
  EXPECT_FALSE(ParseDecimal("12a"));
  EXPECT_FALSE(ParseDecimal(""));
  EXPECT_FALSE(ParseDecimal("99999999999999999999"));
}

}  // namespace
}  // namespace tw
