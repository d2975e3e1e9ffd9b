// The rules of titles and addresses and the exact messages a user sees when one is broken.
#include "app/page_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/messages.h"

namespace tw::app {
namespace {

// The problem, text and icon of a refusal, or "ok".
std::string Refusal(const std::optional<UserMessage>& m) {
  if (!m) return "ok";
  const char* icons[] = {"none", "error", "warning", "information", "question"};
  return std::string(ProblemName(m->problem)) + " | " + m->text + " | " +
         icons[static_cast<int>(m->icon)];
}

TEST(AddressRulesTest, RefuseInOrderWithTheirMessages) {
  EXPECT_EQ(Refusal(CheckAddressRules("")),
            "address-required | An address is required to add a page. | none");
  EXPECT_EQ(Refusal(CheckAddressRules("ftp://example.org/file")),
            "not-http | Only HTTP URL's are supported. | warning");
  EXPECT_EQ(Refusal(CheckAddressRules("mailto:someone@example.org")),
            "not-http | Only HTTP URL's are supported. | warning");
  // A known scheme that does not split into an address.
  EXPECT_EQ(Refusal(CheckAddressRules("http://")),
            "invalid-address | This is an invalid URL. | warning");
  EXPECT_EQ(Refusal(CheckAddressRules("http://example.org/" + std::string(2066, 'x'))),
            "invalid-address | This is an invalid URL. | warning");
  EXPECT_EQ(Refusal(CheckAddressRules(std::string("http://a\0b", 10))),
            "invalid-address | This is an invalid URL. | warning");
}

TEST(AddressRulesTest, AcceptWebAddressesAndWhatTheParserDoesNotKnow) {
  for (const char* address :
       {"http://example.org/", "https://example.org/a?b=c", "HTTP://EXAMPLE.ORG/",
        // Typed without a scheme, or with a scheme word the parser does not know: taken as is.
        "example.org/news", "localhost:8080/x", "foo://bar", "http://example.org/"}) {
    EXPECT_EQ(Refusal(CheckAddressRules(address)), "ok") << address;
  }
  EXPECT_EQ(WithWebPrefix("example.org/"), "http://example.org/");
  EXPECT_EQ(WithWebPrefix("https://example.org/"), "https://example.org/");
  EXPECT_EQ(WithWebPrefix("HTTP://example.org/"), "HTTP://example.org/");
}

TEST(TitleRulesTest, RefuseBadCharactersAndLengthWithTheirMessages) {
  const std::string invalid =
      "invalid-title | The title can not contain any of the following characters:\r\n"
      "/ \\ : * ? \" < > | | warning";
  for (const std::string& title :
       std::vector<std::string>{"a?b", "tab\there", "a/b", "a|b", std::string("a\0b", 3)}) {
    EXPECT_EQ(Refusal(CheckTitleRules(title, 100, Field::kTitle)), invalid) << title;
  }
  const std::optional<UserMessage> too_long = CheckTitleRules("abcdef", 5, Field::kTitle);
  EXPECT_EQ(Refusal(too_long), "too-long | Please enter a length less than &d. | information");
  EXPECT_EQ(too_long->field, Field::kTitle);
  EXPECT_EQ(Refusal(CheckTitleRules("abcde", 5, Field::kTitle)), "ok");
  EXPECT_EQ(Refusal(CheckTitleRules("", 5, Field::kTitle)), "ok");
  EXPECT_EQ(InvalidTitleMessage(Field::kTitle).string_id, 159u);
}

TEST(MessagesTest, TheRangeMessageTakesItsBounds) {
  const UserMessage m = OutOfRangeMessage(Field::kWaitMinutes, 0, 30);
  EXPECT_EQ(m.text, "Please enter a value between 0 and 30.");
  EXPECT_EQ(m.icon, Icon::kInformation);
  EXPECT_EQ(FieldName(m.field), "waitMinutes");
  EXPECT_EQ(m.range, std::make_pair(int64_t{0}, int64_t{30}));
  EXPECT_FALSE(m.string_id.has_value());
  // A failure with a system error says why.
  const UserMessage failed = AddFailedMessage(Error(err::kAccessDenied));
  EXPECT_EQ(failed.text, "An error occurred while adding the page.");
  EXPECT_EQ(failed.string_id, 134u);
  EXPECT_EQ(failed.detail, "Access was denied.");
}

TEST(TitlesFromAddressesTest, DialogAndCommandLineMakeTheirOwn) {
  // The dialog drops "http://" only and keeps nothing a file name cannot hold.
  EXPECT_EQ(DialogTitleFromAddress("http://example.org/a?b", 100), "example.org-a#b");
  EXPECT_EQ(DialogTitleFromAddress("https://example.org/", 100), "https---example.org-");
  EXPECT_EQ(DialogTitleFromAddress("example.org/" + std::string(50, 'x'), 20),
            "example.org-xxxxxxxx");
  // The command line drops either prefix and a final slash; the address keeps its case rules.
  EXPECT_EQ(CommandLineTitleFromAddress("https://example.org/news/"), "example.org/news");
  EXPECT_EQ(CommandLineAddress("HTTPS://example.org/"), "http://HTTPS://example.org/");
}

TEST(TitlesFromAddressesTest, AddCurrentPageMakesItsOwn) {
  // The browser's title wins; an empty one gives way to the address without its web scheme,
  // which is compared with case.
  EXPECT_EQ(CurrentPageTitle("Weather", "http://example.org/", 200), "Weather");
  EXPECT_EQ(CurrentPageTitle("", "https://example.org/a?b=1", 200), "example.org-a#b=1");
  EXPECT_EQ(CurrentPageTitle("", "HTTP://example.org/", 200), "HTTP---example.org-");
  EXPECT_EQ(CurrentPageTitle("tab\there", "http://x/", 200), "tab#here");
  // Cut to 251 bytes first, then to what the folder leaves, never inside a character.
  const std::string accents = std::string(250, 'a') + "\xc3\xa9";
  EXPECT_EQ(CurrentPageTitle(accents, "http://x/", 300), std::string(250, 'a'));
  EXPECT_EQ(CurrentPageTitle("", "http://" + accents, 300), std::string(250, 'a'));
  EXPECT_EQ(CurrentPageTitle("abc\xc3\xa9", "http://x/", 4), "abc");
}

TEST(NumberedTitlesTest, CutByTwoAndNumberedFromTwoToNine) {
  const std::vector<std::string> titles = NumberedTitles("Example");
  ASSERT_EQ(titles.size(), 9u);
  EXPECT_EQ(titles[0], "Example");
  EXPECT_EQ(titles[1], "Examp2");
  EXPECT_EQ(titles[8], "Examp9");
  EXPECT_EQ(NumberedTitles("ab")[1], "2");
  // A cut never splits a character.
  EXPECT_EQ(NumberedTitles("a\xE2\x82\xAC")[1], "a2");
}

}  // namespace
}  // namespace tw::app
