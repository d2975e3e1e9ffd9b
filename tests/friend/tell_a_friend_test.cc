// The dialog's work against a real settings store in a private home: the remembered sender and
// the recommendation service.
#include <gtest/gtest.h>

#include "friend/tell_a_friend.h"
#include "platform/file_system.h"
#include "resources/strings.h"
#include "support/sandbox.h"

namespace tw {
namespace {

class TellAFriendTest : public ::testing::Test {
 protected:
  SettingsStore Store() { return *SettingsStore::OpenUser(); }
  std::string RootKey() { return std::string(LoadString(str::kRootKey)); }

  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};
};

const FriendMessage kSent{"Ann", "ann@example.org", "Bob Sender", "bob@example.net",
                          MailFormat::kPlainText};

TEST_F(TellAFriendTest, RemembersTheSenderForTheNextDialog) {
  EXPECT_EQ(OpenTellAFriend(Store()), FriendMessage{});  // nothing stored: empty, HTML

  const TellAFriendResult result = AcceptTellAFriend(Store(), kSent);
  ASSERT_FALSE(result.problem);
  EXPECT_EQ(result.address.rfind("mailto:ann@example.org?", 0), 0u);

  // Under the root key itself, not its Options key.
  EXPECT_EQ(*Store().ReadString(RootKey(), "TAFFrom"), "Bob Sender");
  EXPECT_EQ(*Store().ReadString(RootKey(), "TAFFromAddress"), "bob@example.net");
  EXPECT_FALSE(Store().ReadString(LoadString(str::kOptionsKey), "TAFFrom").ok());

  const FriendMessage reopened = OpenTellAFriend(Store());
  EXPECT_EQ(reopened.from_name, "Bob Sender");
  EXPECT_EQ(reopened.from_address, "bob@example.net");
  EXPECT_TRUE(reopened.to_name.empty());
  EXPECT_TRUE(reopened.to_address.empty());
  EXPECT_EQ(reopened.format, MailFormat::kHtml);
}

TEST_F(TellAFriendTest, AMessageWithAProblemIsNeitherSentNorRemembered) {
  FriendMessage m = kSent;
  m.to_address = "ann@example";
  const TellAFriendResult result = AcceptTellAFriend(Store(), m);
  EXPECT_EQ(result.problem, (FriendProblem{FriendField::kToAddress, str::kMailAddressFormat}));
  EXPECT_TRUE(result.address.empty());
  EXPECT_FALSE(Store().ReadString(RootKey(), "TAFFrom").ok());
}

TEST_F(TellAFriendTest, TakesOnlyRememberedValuesThatFit) {
  ASSERT_TRUE(Store().WriteString(RootKey(), "TAFFrom", std::string(150, 'n')).ok());
  ASSERT_TRUE(Store().WriteString(RootKey(), "TAFFromAddress", std::string(261, 'a')).ok());
  FriendMessage opened = OpenTellAFriend(Store());
  EXPECT_EQ(opened.from_name, std::string(kMaxFieldChars, 'n'));  // cut to the field
  EXPECT_TRUE(opened.from_address.empty());                       // past 260 bytes: not taken

  ASSERT_TRUE(Store().WriteDword(RootKey(), "TAFFrom", 7).ok());  // of another type
  EXPECT_TRUE(OpenTellAFriend(Store()).from_name.empty());
}

TEST_F(TellAFriendTest, ASenderThatCannotBeWrittenDoesNotStopTheMessage) {
  // A folder where the store's file should be: nothing can be written there.
  const SettingsStore store = Store();
  ASSERT_TRUE(CreateDirectories(store.path()).ok());
  const TellAFriendResult result = AcceptTellAFriend(store, kSent);
  EXPECT_FALSE(result.problem);
  EXPECT_EQ(result.address.rfind("mailto:ann@example.org?", 0), 0u);
  EXPECT_FALSE(store.ReadString(RootKey(), "TAFFrom").ok());
}

TEST_F(TellAFriendTest, SendsToTheServiceTheStoreNames) {
  EXPECT_EQ(RecommendationService(Store()), "");
  ASSERT_TRUE(
      Store().WriteString(RootKey(), "TAFServiceAddress", "https://example.com/recommend").ok());
  const TellAFriendResult result = AcceptTellAFriend(Store(), kSent);
  EXPECT_EQ(result.address,
            "https://example.com/recommend?Count=1&EMF=1&FN=Bob%20Sender&FA=bob%40example.net"
            "&TN0=Ann&TA0=ann%40example.org");
}

}  // namespace
}  // namespace tw
