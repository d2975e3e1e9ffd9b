#include "friend/message.h"

#include "foundation/utf8.h"
#include "resources/strings.h"

namespace tw {

FriendMessage WithinFieldLimits(FriendMessage message) {
  message.to_name = CutUtf8Chars(message.to_name, kMaxFieldChars);
  message.to_address = CutUtf8Chars(message.to_address, kMaxImportedAddressChars);
  message.from_name = CutUtf8Chars(message.from_name, kMaxFieldChars);
  message.from_address = CutUtf8Chars(message.from_address, kMaxFieldChars);
  return message;
}

bool IsAcceptableMailAddress(std::string_view address) {
  if (Utf8Length(address) < 7) return false;
  const size_t at = address.find('@');
  const size_t dot = address.rfind('.');
  if (at == std::string_view::npos || dot == std::string_view::npos) return false;
  return dot >= at + 2 && dot + 1 < address.size();
}

std::optional<FriendProblem> CheckFriendMessage(const FriendMessage& message) {
  const struct {
    FriendField field;
    const std::string& text;
  } fields[] = {{FriendField::kToName, message.to_name},
                {FriendField::kToAddress, message.to_address},
                {FriendField::kFromName, message.from_name},
                {FriendField::kFromAddress, message.from_address}};
  for (const auto& f : fields) {
    if (f.text.empty()) return FriendProblem{f.field, str::kEnterValue};
  }
  if (!IsAcceptableMailAddress(message.to_address)) {
    return FriendProblem{FriendField::kToAddress, str::kMailAddressFormat};
  }
  if (!IsAcceptableMailAddress(message.from_address)) {
    return FriendProblem{FriendField::kFromAddress, str::kMailAddressFormat};
  }
  return std::nullopt;
}

}  // namespace tw
