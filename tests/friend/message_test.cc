// The Tell a Friend checks: the address rule, the order of the checks, the field limits.
#include <gtest/gtest.h>

#include "friend/message.h"
#include "friend/tell_a_friend.h"
#include "resources/strings.h"

namespace tw {
namespace {

TEST(MailAddressRuleTest, NeedsSevenCharactersAnAtAndADotAfterIt) {
  // The shortest addresses around the length limit.
  EXPECT_FALSE(IsAcceptableMailAddress("a@bc.d"));   // six characters
  EXPECT_TRUE(IsAcceptableMailAddress("ab@c.de"));   // seven: one between "@" and "."
  EXPECT_FALSE(IsAcceptableMailAddress("abc@.de"));  // nothing between them
  // Where the dot stands.
  EXPECT_FALSE(IsAcceptableMailAddress("first.last@example"));  // only dot before the "@"
  EXPECT_FALSE(IsAcceptableMailAddress("someone@example."));    // ends with its only dot
  EXPECT_FALSE(IsAcceptableMailAddress("someone@examplecom"));
  EXPECT_FALSE(IsAcceptableMailAddress("someone.example.com"));
  EXPECT_TRUE(IsAcceptableMailAddress("first.last@mail.example.org"));
  // The first "@" and the last "." count: a dot after a later "@" is enough.
  EXPECT_TRUE(IsAcceptableMailAddress("a@b@cd.ef"));
  // Characters, not bytes: five letters of two bytes each and "@", "." are still too short.
  EXPECT_FALSE(IsAcceptableMailAddress("\xC3\xA9@\xC3\xA9.\xC3\xA9"));
  EXPECT_TRUE(IsAcceptableMailAddress("\xC3\xA9\xC3\xA9@\xC3\xA9.\xC3\xA9\xC3\xA9"));
}

FriendMessage Complete() {
  return FriendMessage{"Ann", "ann@example.org", "Bob", "bob@example.net", MailFormat::kHtml};
}

TEST(FriendMessageCheckTest, ReportsTheFirstProblemInFieldOrder) {
  EXPECT_EQ(CheckFriendMessage(Complete()), std::nullopt);

  FriendMessage empty;
  empty.to_address = "not an address";
  EXPECT_EQ(CheckFriendMessage(empty), (FriendProblem{FriendField::kToName, str::kEnterValue}));
  FriendMessage m = Complete();
  m.from_address.clear();
  m.to_address = "bad";  // an empty field is reported before any malformed address
  EXPECT_EQ(CheckFriendMessage(m), (FriendProblem{FriendField::kFromAddress, str::kEnterValue}));
  m = Complete();
  m.from_name.clear();
  EXPECT_EQ(CheckFriendMessage(m), (FriendProblem{FriendField::kFromName, str::kEnterValue}));

  m = Complete();
  m.to_address = "ann@example";
  m.from_address = "bob@example";
  EXPECT_EQ(CheckFriendMessage(m),
            (FriendProblem{FriendField::kToAddress, str::kMailAddressFormat}));
  m.to_address = "ann@example.org";
  EXPECT_EQ(CheckFriendMessage(m),
            (FriendProblem{FriendField::kFromAddress, str::kMailAddressFormat}));
}

TEST(FriendMessageCheckTest, MessagesAreTheTableTexts) {
  EXPECT_EQ(LoadString(str::kEnterValue), "Please enter a value.");
  EXPECT_EQ(LoadString(str::kMailAddressFormat).rfind("E-Mail address has an incorrect format.", 0),
            0u);
  EXPECT_NE(LoadString(str::kMailAddressFormat).find("@example.com"), std::string_view::npos);
  EXPECT_EQ(LoadString(str::kAddressBookError),
            "An error occurred while accessing the Address Book.");
}

TEST(FriendMessageCheckTest, FieldsAreCutToTheirLimitsInCharacters) {
  FriendMessage m;
  m.to_name = std::string(150, 'n');
  m.to_address = std::string(250, 'a');
  // 120 two-byte characters: the cut keeps 100 whole ones.
  for (int i = 0; i < 120; ++i) m.from_name += "\xC3\xBC";
  m.from_address = std::string(101, 'f');
  const FriendMessage cut = WithinFieldLimits(m);
  EXPECT_EQ(cut.to_name.size(), kMaxFieldChars);
  EXPECT_EQ(cut.to_address.size(), kMaxImportedAddressChars);
  EXPECT_EQ(cut.from_name.size(), 2 * kMaxFieldChars);
  EXPECT_EQ(cut.from_address.size(), kMaxFieldChars);
}

TEST(ImportedContactsTest, TheFirstContactBecomesTheFriend) {
  FriendMessage m = Complete();
  ApplyImportedContacts(m, {});  // a cancelled pick changes nothing
  EXPECT_EQ(m, Complete());

  ApplyImportedContacts(m, {{std::string(120, 'x'), std::string(190, 'y') + "@example.org"},
                            {"Second", "second@example.org"},
                            {"Third", "third@example.org"}});
  EXPECT_EQ(m.to_name, std::string(kMaxFieldChars, 'x'));
  EXPECT_EQ(m.to_address.size(), kMaxImportedAddressChars);
  EXPECT_EQ(m.from_name, "Bob");  // the sender stays
  EXPECT_EQ(m.from_address, "bob@example.net");
}

}  // namespace
}  // namespace tw
