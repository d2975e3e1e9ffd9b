// The facade's Tell a Friend: the dialog's fields, its OK and its two imports.
#include "friend/tell_a_friend.h"

#include "app/application.h"
#include "app/application_internal.h"
#include "app/messages.h"
#include "foundation/utf8.h"
#include "friend/thunderbird_address_book.h"
#include "friend/vcard.h"
#include "platform/desktop_open.h"
#include "resources/strings.h"

namespace tw::app {
namespace {

Field FieldOf(FriendField field) {
  switch (field) {
    case FriendField::kToName:
      return Field::kToName;
    case FriendField::kToAddress:
      return Field::kToAddress;
    case FriendField::kFromName:
      return Field::kFromName;
    case FriendField::kFromAddress:
      return Field::kFromAddress;
  }
  return Field::kNone;
}

UserMessage ProblemMessage(const FriendProblem& problem) {
  const Field field = FieldOf(problem.field);
  return problem.message_id == str::kMailAddressFormat ? MailAddressMessage(field)
                                                       : EnterValueMessage(field);
}

// Contacts as the dialog's fields can take them.
Outcome<ContactList> Imported(Result<ContactList> read) {
  if (!read.ok()) return AddressBookMessage(read.error());
  for (Contact& contact : *read) {
    contact.name = CutUtf8Chars(contact.name, kMaxFieldChars);
    contact.address = CutUtf8Chars(contact.address, kMaxImportedAddressChars);
  }
  return std::move(*read);
}

}  // namespace

Outcome<FriendMessage> Application::OpenTellAFriend() {
  if (!core_->store.ok()) return InternalErrorMessage(core_->store.error());
  return tw::OpenTellAFriend(*core_->store);
}

Outcome<std::string> Application::SendTellAFriend(const FriendMessage& message,
                                                  RecommendationDelivery delivery) {
  if (!core_->store.ok()) return InternalErrorMessage(core_->store.error());
  TellAFriendResult result = AcceptTellAFriend(*core_->store, message);
  if (result.problem) return ProblemMessage(*result.problem);
  if (delivery == RecommendationDelivery::kOpenOnDesktop) {
    if (Error e = OpenWithDesktop(result.address)) return BrowserFailedMessage(e);
  }
  return std::move(result.address);
}

Outcome<ContactList> Application::ImportVCardContacts(const std::string& path) {
  return Imported(ReadVCardFile(path));
}

Outcome<ContactList> Application::ImportVCardText(std::string_view text) {
  if (text.size() > kMaxVCardFileBytes) return AddressBookMessage(Error(err::kNotEnoughMemory));
  return Imported(ParseVCards(text));
}

Outcome<ContactList> Application::ImportAddressBookContacts() {
  return Imported(ReadDefaultThunderbirdAddressBook());
}

}  // namespace tw::app
