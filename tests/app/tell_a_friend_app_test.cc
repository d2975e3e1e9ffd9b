// The facade's Tell a Friend in a temporary HOME with its own settings store: what it sends, and
// the vCard import from files the test writes. OK's checks and the remembered sender are the
// friend subsystem's, seen through the service in tests/service.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/application.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "resources/strings.h"
#include "support/http_test_server.h"
#include "support/sandbox.h"

namespace tw::app {
namespace {

class TellAFriendAppTest : public ::testing::Test {
 protected:
  static FriendMessage Sound() {
    FriendMessage m;
    m.to_name = "Ann & Bob";
    m.to_address = "ann@example.org";
    m.from_name = "Carol";
    m.from_address = "carol@example.org";
    return m;
  }

  test::Sandbox sandbox_;
  test::ScopedHome home_{sandbox_};
  Application app_;
};

TEST_F(TellAFriendAppTest, TheServiceGetsEveryValueEncodedAndTheDesktopOpensTheAddress) {
  Result<SettingsStore> store = SettingsStore::OpenUser();
  ASSERT_TRUE(store.ok());
  ASSERT_FALSE(store->WriteString(LoadString(str::kRootKey), "TAFServiceAddress",
                                  "https://recommend.example.org/send"));
  // A fake opener first on PATH writes what it is given.
  const std::string bin = sandbox_.Sub("bin", true), opened = sandbox_.Sub("opened");
  test::WriteFileBytes(bin + "/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + opened + "'\n");
  ASSERT_EQ(::chmod((bin + "/xdg-open").c_str(), 0755), 0);
  test::ScopedEnv path("PATH", bin + ":/usr/bin:/bin");

  Outcome<std::string> sent = app_.SendTellAFriend(Sound(), RecommendationDelivery::kOpenOnDesktop);
  ASSERT_TRUE(sent.ok()) << sent.message().text;
  EXPECT_EQ(*sent,
            "https://recommend.example.org/send?Count=1&EMF=0&FN=Carol&FA=carol%40example.org"
            "&TN0=Ann%20%26%20Bob&TA0=ann%40example.org");
  EXPECT_EQ(test::ReadFileBytes(opened), *sent + "\n");

  // Without an opener the message says so; the address was still made and the sender kept.
  test::ScopedEnv nowhere("PATH", sandbox_.Sub("empty", true));
  sent = app_.SendTellAFriend(Sound(), RecommendationDelivery::kOpenOnDesktop);
  ASSERT_FALSE(sent.ok());
  EXPECT_EQ(ProblemName(sent.message().problem), "browser-failed");
}

TEST_F(TellAFriendAppTest, VCardImportGivesContactsWithinTheFieldsOrTheAddressBookMessage) {
  const std::string long_name(150, 'n');
  const std::string file = sandbox_.Sub("friends.vcf");
  test::WriteFileBytes(file,
                       "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:No Mail\r\nEND:VCARD\r\n"
                       "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" +
                           long_name +
                           "\r\nEMAIL;TYPE=INTERNET:long@example.org\r\nEND:VCARD\r\n"
                           "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Smith;Jo\r\n"
                           "EMAIL;INTERNET:jo@example.org\r\nEND:VCARD\r\n");
  Outcome<ContactList> contacts = app_.ImportVCardContacts(file);
  ASSERT_TRUE(contacts.ok()) << contacts.message().text;
  ASSERT_EQ(contacts->size(), 2u);
  EXPECT_EQ((*contacts)[0], (Contact{std::string(100, 'n'), "long@example.org"}));
  EXPECT_EQ((*contacts)[1].address, "jo@example.org");
  EXPECT_EQ(*app_.ImportVCardText(test::ReadFileBytes(file)), *contacts);

  for (const Outcome<ContactList>& failed : {app_.ImportVCardContacts(sandbox_.Sub("missing.vcf")),
                                             app_.ImportVCardText("not a card")}) {
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.message().text, "An error occurred while accessing the Address Book.");
    EXPECT_EQ(failed.message().string_id, str::kAddressBookError);
  }
}

}  // namespace
}  // namespace tw::app
