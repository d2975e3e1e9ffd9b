// A Tell a Friend message: who recommends Tidewell to whom, and in which mail format, with the
// checks the dialog makes before it is sent.
//
// Pure values and functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

// The mail format asked for; the number is what the recommendation service receives.
enum class MailFormat : uint32_t { kHtml = 0, kPlainText = 1 };

// The dialog's fields hold this many characters; an address taken from an address book may
// fill the friend's address up to kMaxImportedAddressChars.
inline constexpr size_t kMaxFieldChars = 100;
inline constexpr size_t kMaxImportedAddressChars = 200;

struct FriendMessage {
  std::string to_name;
  std::string to_address;
  std::string from_name;
  std::string from_address;
  MailFormat format = MailFormat::kHtml;

  bool operator==(const FriendMessage&) const = default;
};

// The fields in the order the dialog checks them.
enum class FriendField { kToName, kToAddress, kFromName, kFromAddress };

// What keeps the message from being sent: the field to put the focus on and the string-table
// text to show (with the error icon).
struct FriendProblem {
  FriendField field;
  uint32_t message_id;
  bool operator==(const FriendProblem&) const = default;
};

// The message with every field cut to what its field can hold (characters, not bytes).
FriendMessage WithinFieldLimits(FriendMessage message);

// Whether an e-mail address is acceptable: at least 7 characters, an "@", the last "." at least
// two characters after the first "@", and at least one character after that ".".
bool IsAcceptableMailAddress(std::string_view address);

// The first problem of the message: an empty field (in field order) asks for a value; then the
// friend's address and the sender's address must be acceptable.
std::optional<FriendProblem> CheckFriendMessage(const FriendMessage& message);

}  // namespace tw
