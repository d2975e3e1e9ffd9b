#include <gtest/gtest.h>

#include "platform/url.h"

namespace tw {
namespace {

TEST(UrlTest, CracksAddressesIntoTheirParts) {
  Result<UrlParts> parts = CrackUrl("https://user:pw@Example.ORG:8443/a/B.html?q=X");
  ASSERT_TRUE(parts.ok());
  EXPECT_EQ(parts->scheme, "https");
  EXPECT_EQ(parts->user, "user");
  EXPECT_EQ(parts->password, "pw");
  EXPECT_EQ(parts->port, 8443);
  EXPECT_EQ(parts->path, "/a/B.html?q=X");
  EXPECT_EQ(CrackUrl("http://example.org")->path, "/");
  EXPECT_EQ(CrackUrl("http://example.org")->port, 80);
  EXPECT_FALSE(CrackUrl("not an address").ok());
}

TEST(UrlTest, CombinesReferencesAsABrowserDoes) {
  const std::string base = "http://h.org:81/dir/page.html?x=1";
  EXPECT_EQ(*CombineUrl(base, "/top.html"), "http://h.org:81/top.html");
  EXPECT_EQ(*CombineUrl(base, "frame.html"), "http://h.org:81/dir/frame.html");
  EXPECT_EQ(*CombineUrl(base, "../up.html"), "http://h.org:81/up.html");
  EXPECT_EQ(*CombineUrl(base, "https://other.org/x"), "https://other.org/x");
  EXPECT_EQ(*CombineUrl(base, "?y=2"), "http://h.org:81/dir/page.html?y=2");
}

TEST(UrlTest, LowersOnlySchemeAndHost) {
  EXPECT_EQ(LowerSchemeAndHost("HTTP://Example.ORG/Path/File.HTML?Q=A"),
            "http://example.org/Path/File.HTML?Q=A");
  EXPECT_EQ(LowerSchemeAndHost("http://User:PW@HOST.org:80/X"), "http://User:PW@host.org:80/X");
  EXPECT_EQ(LowerSchemeAndHost("HTTP://HOST"), "http://host");
  EXPECT_TRUE(HasHttpScheme("HTTPS://x"));
  EXPECT_FALSE(HasHttpScheme("ftp://x"));
}

TEST(UrlTest, PercentEncodesEverythingButTheUnreservedCharacters) {
  EXPECT_EQ(PercentEncode("AZaz09-._~"), "AZaz09-._~");
  EXPECT_EQ(PercentEncode("a b&c=d+e#f?g/h%"), "a%20b%26c%3Dd%2Be%23f%3Fg%2Fh%25");
  EXPECT_EQ(PercentEncode(std::string("\xC3\xBC\x00\xFF", 4)), "%C3%BC%00%FF");
}

}  // namespace
}  // namespace tw
