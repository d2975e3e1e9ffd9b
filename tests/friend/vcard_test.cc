// The vCard reader on the forms that address books really write.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "friend/vcard.h"
#include "support/sandbox.h"

namespace tw {
namespace {

ContactList Parse(std::string_view text) {
  Result<ContactList> contacts = ParseVCards(text);
  EXPECT_TRUE(contacts.ok()) << contacts.error().code();
  return contacts.ok() ? *contacts : ContactList{};
}

TEST(VCardTest, ReadsVersion21AsOldAddressBooksWriteIt) {
  // Quoted-printable with soft line breaks (the next line does not begin with a blank), a
  // Latin-1 name, bare parameter words, an X.400 address before the Internet one, and another
  // person's card inside AGENT.
  const std::string text =
      "BEGIN:VCARD\r\n"
      "VERSION:2.1\r\n"
      "N;CHARSET=ISO-8859-1:M\xFCller;J\xFCrgen\r\n"
      "FN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:J=FCrgen M=FC=\r\n"
      "ller=0D=0A(work)\r\n"
      "EMAIL;X400:c=de;a=x;p=y;s=Mueller\r\n"
      "AGENT:BEGIN:VCARD\r\n"
      "FN:The Agent\r\n"
      "EMAIL;INTERNET:agent@example.org\r\n"
      "END:VCARD\r\n"
      "EMAIL;PREF;INTERNET:juergen@example.de\r\n"
      "NOTE:a note folded\r\n"
      " in 2.1\r\n"
      "END:VCARD\r\n";
  EXPECT_EQ(Parse(text),
            (ContactList{{"J\xC3\xBCrgen M\xC3\xBCller (work)", "juergen@example.de"}}));
}

TEST(VCardTest, UnfoldsAndUnescapesVersion30) {
  const std::string text =
      "BEGIN:VCARD\r\n"
      "VERSION:3.0\r\n"
      "FN:Anne-Marie O\\,Brien \\; Par\r\n"
      " tners\r\n"
      "item1.EMAIL;TYPE=INTERNET:other@example.org\r\n"
      "item2.EMAIL;TYPE=INTERNET,pref:\r\n"
      "\tanne@example.org\r\n"
      "PHOTO;ENCODING=b;TYPE=JPEG:AAAA\r\n"
      " BBBB\r\n"
      "END:VCARD\r\n";
  EXPECT_EQ(Parse(text), (ContactList{{"Anne-Marie O,Brien ; Partners", "anne@example.org"}}));
}

TEST(VCardTest, HonoursVersion40Preferences) {
  const std::string text =
      "BEGIN:VCARD\n"
      "VERSION:4.0\n"
      "FN;LANGUAGE=\"en;x:y\":Zo\xC3\xAB Park\n"
      "EMAIL;TYPE=home;PREF=50:home@example.org\n"
      "EMAIL;TYPE=work;PREF=1:work@example.org\n"
      "EMAIL:plain@example.org\n"
      "END:VCARD\n";
  EXPECT_EQ(Parse(text), (ContactList{{"Zo\xC3\xAB Park", "work@example.org"}}));
}

TEST(VCardTest, GivesOneContactPerCardWithANameAndAnAddress) {
  const std::string text =
      "\xEF\xBB\xBF"
      "BEGIN:VCARD\nVERSION:3.0\nFN:No Address\nTEL:123\nEND:VCARD\n"
      "BEGIN:VCARD\nVERSION:3.0\nN:Doe;John;Q.;Dr.;Jr.\nEMAIL:SMTP:john@example.org\nEND:VCARD\n"
      "garbage between cards\n"
      "BEGIN:vcard\nVERSION:3.0\nNICKNAME:Jojo,JJ\nEMAIL:mailto:jojo@example.org\nEND:vcard\n"
      "BEGIN:VCARD\nVERSION:3.0\nORG:Example Ltd;Sales\nEMAIL:sales@example.org\nEND:VCARD\n"
      "BEGIN:VCARD\nVERSION:3.0\nEMAIL:nameless@example.org\nEND:VCARD\n"
      "BEGIN:VCARD\nVERSION:3.0\nFN:Bad Address\nEMAIL:two words@example.org\nEND:VCARD\n"
      // A file cut short still gives the card it was in.
      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Last One\r\nEMAIL:last@example.org";
  EXPECT_EQ(Parse(text), (ContactList{{"John Q. Doe", "john@example.org"},
                                      {"Jojo", "jojo@example.org"},
                                      {"Example Ltd", "sales@example.org"},
                                      {"Last One", "last@example.org"}}));
}

TEST(VCardTest, NamesThatAreNotUtf8AreReadAsWestern) {
  // No CHARSET, but Windows-1252 bytes: the name still reaches the UI as UTF-8.
  const std::string text = "BEGIN:VCARD\nFN:Ren\xE9 \x80\nEMAIL:rene@example.org\nEND:VCARD\n";
  EXPECT_EQ(Parse(text), (ContactList{{"Ren\xC3\xA9 \xE2\x82\xAC", "rene@example.org"}}));
}

TEST(VCardTest, RefusesWhatIsNoVCardAndTooManyContacts) {
  EXPECT_EQ(ParseVCards("").error().code(), err::kInvalidData);
  EXPECT_EQ(ParseVCards("FN:Someone\nEMAIL:a@example.org\n").error().code(), err::kInvalidData);
  // A vCard file whose cards have no addresses is read, with no contacts.
  EXPECT_TRUE(Parse("BEGIN:VCARD\nFN:x\nEND:VCARD\n").empty());

  std::string many;
  for (size_t i = 0; i <= kMaxVCardContacts; ++i) {
    many += "BEGIN:VCARD\nFN:n\nEMAIL:a@b.cd\nEND:VCARD\n";
  }
  EXPECT_EQ(ParseVCards(many).error().code(), err::kNotEnoughMemory);
}

TEST(VCardTest, ReadsFiles) {
  test::Sandbox sandbox;
  EXPECT_EQ(ReadVCardFile(sandbox.Sub("missing.vcf")).error().code(), err::kFileNotFound);

  const std::string path = sandbox.Sub("contacts.vcf");
  test::WriteFileBytes(path, "BEGIN:VCARD\nFN:Ann\nEMAIL:ann@example.org\nEND:VCARD\n");
  EXPECT_EQ(*ReadVCardFile(path), (ContactList{{"Ann", "ann@example.org"}}));

  ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kMaxVCardFileBytes + 1)), 0);
  EXPECT_EQ(ReadVCardFile(path).error().code(), err::kNotEnoughMemory);
}

}  // namespace
}  // namespace tw
