#include "foundation/utf8.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

TEST(Utf8Test, TellsValidTextFromInvalid) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("plain \xC3\xBC \xE2\x82\xAC \xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsValidUtf8("\xC3"));              // cut short
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong "/"
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // a surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // past the last code point
  EXPECT_FALSE(IsValidUtf8("caf\xE9"));           // Latin-1
}

TEST(Utf8Test, CountsAndCutsWholeCharacters) {
  const std::string text = "a\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80z";
  EXPECT_EQ(Utf8Length(text), 5u);
  EXPECT_EQ(CutUtf8Chars(text, 2), "a\xC3\xBC");
  EXPECT_EQ(CutUtf8Chars(text, 4), "a\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(CutUtf8Chars(text, 99), text);
  // An invalid byte counts as one character and is never joined to its neighbours.
  EXPECT_EQ(Utf8Length("\xE2\x82"), 2u);
  EXPECT_EQ(CutUtf8Chars("\xE2\x82", 1), "\xE2");
}

TEST(Utf8Test, ReadsWesternSingleByteText) {
  EXPECT_EQ(Windows1252ToUtf8("caf\xE9 \x80 \x9F \x81"),
            "caf\xC3\xA9 \xE2\x82\xAC \xC5\xB8 \xC2\x81");
  EXPECT_EQ(ToValidUtf8("caf\xC3\xA9"), "caf\xC3\xA9");  // already UTF-8: unchanged
  EXPECT_EQ(ToValidUtf8("caf\xE9"), "caf\xC3\xA9");
}

TEST(Utf8Test, ByteCutsNeverSplitACharacter) {
  EXPECT_EQ(CutUtf8Bytes("abc", 5), "abc");
  EXPECT_EQ(CutUtf8Bytes("abcdef", 3), "abc");
  EXPECT_EQ(CutUtf8Bytes("a\xC3\xBC"
                         "b",
                         2),
            "a");                                    // ü would be split
  EXPECT_EQ(CutUtf8Bytes("a\xE2\x82\xAC", 3), "a");  // € would be split
  EXPECT_EQ(CutUtf8Bytes("a\xE2\x82\xAC"
                         "b",
                         4),
            "a\xE2\x82\xAC");
}

}  // namespace

}  // namespace tw
