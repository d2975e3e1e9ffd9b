// friend.open, friend.send and the two imports of Tell a Friend.
#include "api/method_groups.h"

namespace tw::api {
namespace {

constexpr std::string_view kHtmlFormat = "html";
constexpr std::string_view kPlainTextFormat = "plainText";

Json MessageJson(const app::FriendMessage& message) {
  return {
      {"toName", message.to_name},
      {"toAddress", message.to_address},
      {"fromName", message.from_name},
      {"fromAddress", message.from_address},
      {"format", message.format == app::MailFormat::kPlainText ? kPlainTextFormat : kHtmlFormat}};
}

Reply ContactsReply(const app::Outcome<app::ContactList>& contacts) {
  if (!contacts.ok()) return Reply::Failed(contacts.message());
  Json list = Json::array();
  for (const app::Contact& contact : *contacts) {
    list.push_back({{"name", contact.name}, {"address", contact.address}});
  }
  return Reply::Ok({{"contacts", std::move(list)}});
}

}  // namespace

void AddTellAFriendMethods(Dispatcher& dispatcher, app::Application& app) {
  dispatcher.Add("friend.open", [&app](const Json&) {
    app::Outcome<app::FriendMessage> message = app.OpenTellAFriend();
    if (!message.ok()) return Reply::Failed(message.message());
    return Reply::Ok(MessageJson(*message));
  });
  dispatcher.Add("friend.send", [&app](const Json& json) {
    Params params(json);
    app::FriendMessage message;
    message.to_name = params.String("toName");
    message.to_address = params.String("toAddress");
    message.from_name = params.String("fromName");
    message.from_address = params.String("fromAddress");
    const std::string format = params.OptionalString("format").value_or(std::string(kHtmlFormat));
    const bool open = params.OptionalBool("open").value_or(true);
    if (!params.problem() && format != kHtmlFormat && format != kPlainTextFormat) {
      params.Fail("params.format must be html or plainText");
    }
    if (params.problem()) return Reply::BadParams(params);
    message.format =
        format == kPlainTextFormat ? app::MailFormat::kPlainText : app::MailFormat::kHtml;
    app::Outcome<std::string> address =
        app.SendTellAFriend(message, open ? app::RecommendationDelivery::kOpenOnDesktop
                                          : app::RecommendationDelivery::kHandBack);
    if (!address.ok()) return Reply::Failed(address.message());
    return Reply::Ok({{"address", *address}, {"opened", open}});
  });
  dispatcher.Add("friend.importVCard", [&app](const Json& json) {
    Params params(json);
    const std::optional<std::string> path = params.OptionalString("path");
    const std::optional<std::string> text = params.OptionalString("text");
    if (!params.problem() && path.has_value() == text.has_value()) {
      params.Fail("params must hold either path or text");
    }
    if (params.problem()) return Reply::BadParams(params);
    return ContactsReply(path ? app.ImportVCardContacts(*path) : app.ImportVCardText(*text));
  });
  dispatcher.Add("friend.importAddressBook",
                 [&app](const Json&) { return ContactsReply(app.ImportAddressBookContacts()); });
}

}  // namespace tw::api
