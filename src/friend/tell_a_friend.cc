#include "friend/tell_a_friend.h"

#include "foundation/utf8.h"
#include "friend/recommendation.h"
#include "resources/strings.h"

namespace tw {
namespace {

std::string_view RootKey() { return LoadString(str::kRootKey); }

std::string Remembered(const SettingsKey& key, std::string_view name) {
  Result<std::string> value = key.ReadString(name);
  if (!value.ok() || value->size() > kMaxRememberedBytes) return {};
  return CutUtf8Chars(*value, kMaxFieldChars);
}

}  // namespace

FriendMessage OpenTellAFriend(const SettingsStore& store) {
  FriendMessage message;
  Result<SettingsKey> key = store.OpenKey(RootKey());
  if (!key.ok()) return message;
  message.from_name = Remembered(*key, kFromNameValue);
  message.from_address = Remembered(*key, kFromAddressValue);
  return message;
}

std::string RecommendationService(const SettingsStore& store) {
  Result<std::string> service = store.ReadString(RootKey(), kServiceAddressValue);
  return service.ok() ? std::move(*service) : std::string();
}

TellAFriendResult AcceptTellAFriend(const SettingsStore& store, const FriendMessage& typed) {
  const FriendMessage message = WithinFieldLimits(typed);
  if (std::optional<FriendProblem> problem = CheckFriendMessage(message)) {
    return TellAFriendResult{problem, {}};
  }
  TellAFriendResult result{std::nullopt,
                           RecommendationAddress(RecommendationService(store), message)};
  (void)store.WriteString(RootKey(), kFromNameValue, message.from_name);
  (void)store.WriteString(RootKey(), kFromAddressValue, message.from_address);
  return result;
}

void ApplyImportedContacts(FriendMessage& message, const ContactList& contacts) {
  if (contacts.empty()) return;
  message.to_name = CutUtf8Chars(contacts.front().name, kMaxFieldChars);
  message.to_address = CutUtf8Chars(contacts.front().address, kMaxImportedAddressChars);
}

}  // namespace tw
