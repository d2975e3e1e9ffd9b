// The address that sends the recommendation: the service's query, or a mailto: address.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "friend/recommendation.h"

namespace tw {
namespace {

std::string Decode(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The query of an address as a receiving server splits it: at "&", then at the first "=".
std::vector<std::pair<std::string, std::string>> QueryOf(std::string_view address) {
  std::vector<std::pair<std::string, std::string>> pairs;
  std::string_view query = address.substr(address.find('?') + 1);
  query = query.substr(0, query.find('#'));
  while (!query.empty()) {
    const std::string_view item = query.substr(0, query.find('&'));
    const size_t equals = item.find('=');
    pairs.emplace_back(Decode(item.substr(0, equals)),
                       equals == std::string_view::npos ? "" : Decode(item.substr(equals + 1)));
    query.remove_prefix(std::min(query.size(), item.size() + 1));
  }
  return pairs;
}

const FriendMessage kMessage{"Ann & Co=1", "ann+tag@example.org",
                             "B\xC3\xB6"
                             "b #1?",
                             "bob@example.net", MailFormat::kPlainText};

TEST(RecommendationQueryTest, CarriesTheFixedKeysWithEveryValueEncoded) {
  const std::string address = RecommendationQueryAddress("https://example.com/taf?id=7", kMessage);
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  // Names holding "&", "=", "#", "?" or "+" each stay one value; nothing is added or replaced.
  EXPECT_EQ(QueryOf(address), (Pairs{{"id", "7"},
                                     {"Count", "1"},
                                     {"EMF", "1"},
                                     {"FN",
                                      "B\xC3\xB6"
                                      "b #1?"},
                                     {"FA", "bob@example.net"},
                                     {"TN0", "Ann & Co=1"},
                                     {"TA0", "ann+tag@example.org"}}));
  EXPECT_EQ(address.find(' '), std::string::npos);
  EXPECT_NE(address.find("&TN0=Ann%20%26%20Co%3D1&"), std::string::npos);
}

TEST(RecommendationQueryTest, JoinsTheServicesOwnQuery) {
  FriendMessage m = kMessage;
  m.format = MailFormat::kHtml;
  EXPECT_EQ(RecommendationQueryAddress("http://example.com/taf", m)
                .rfind("http://example.com/taf?Count=1&EMF=0&FN=", 0),
            0u);
  EXPECT_EQ(RecommendationQueryAddress("http://example.com/taf?", m)
                .rfind("http://example.com/taf?Count=1&", 0),
            0u);
  EXPECT_EQ(RecommendationQueryAddress("http://example.com/taf?a=b&", m)
                .rfind("http://example.com/taf?a=b&Count=1&", 0),
            0u);
  const std::string with_fragment = RecommendationQueryAddress("http://example.com/t#top", m);
  EXPECT_EQ(with_fragment.rfind("http://example.com/t?Count=1&", 0), 0u);
  EXPECT_EQ(with_fragment.substr(with_fragment.size() - 4), "#top");
}

TEST(RecommendationMailtoTest, WritesToTheFriendInTheChosenFormat) {
  const std::string plain = RecommendationMailto(kMessage);
  ASSERT_EQ(plain.rfind("mailto:ann%2Btag@example.org?", 0), 0u) << plain;
  std::map<std::string, std::string> fields;
  for (auto& [key, value] : QueryOf(plain)) fields[key] = value;
  EXPECT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields["subject"],
            "B\xC3\xB6"
            "b #1? recommends Tidewell");
  EXPECT_EQ(fields["body"].rfind("Hello Ann & Co=1,\r\n\r\n", 0), 0u);
  EXPECT_NE(fields["body"].find("(bob@example.net)"), std::string::npos);

  FriendMessage html = kMessage;
  html.format = MailFormat::kHtml;
  html.to_name = "<Ann>";
  fields.clear();
  for (auto& [key, value] : QueryOf(RecommendationMailto(html))) fields[key] = value;
  EXPECT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields["body"].rfind("Hello <Ann>,", 0), 0u);  // the plain text for other programs
  EXPECT_EQ(fields["html-body"].rfind("<p>Hello &lt;Ann&gt;,</p>", 0), 0u);
}

TEST(RecommendationAddressTest, UsesTheServiceOnlyWhenItIsAWebAddress) {
  EXPECT_EQ(RecommendationAddress("", kMessage).rfind("mailto:", 0), 0u);
  EXPECT_EQ(RecommendationAddress("file:///etc/passwd", kMessage).rfind("mailto:", 0), 0u);
  EXPECT_EQ(RecommendationAddress("javascript:alert(1)", kMessage).rfind("mailto:", 0), 0u);
  EXPECT_EQ(RecommendationAddress("HTTPS://example.com/t", kMessage)
                .rfind("HTTPS://example.com/t?Count=1", 0),
            0u);
}

}  // namespace
}  // namespace tw
