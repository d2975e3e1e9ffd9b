// UTF-8 text: validity, lengths in characters, cuts that never split a character, and the
// conversion of the single-byte Western code pages that old files still carry.
//
// A "character" here is a Unicode code point; invalid bytes count as one character each.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tw {

bool IsValidUtf8(std::string_view text);
// The number of characters in the text.
size_t Utf8Length(std::string_view text);
// The first max_chars characters of the text.
std::string CutUtf8Chars(std::string_view text, size_t max_chars);
// The text cut to at most max_bytes bytes, without splitting a UTF-8 sequence.
std::string CutUtf8Bytes(std::string_view text, size_t max_bytes);
// Windows-1252 (a superset of ISO-8859-1's printable characters) to UTF-8.
std::string Windows1252ToUtf8(std::string_view text);
// The text unchanged when it is valid UTF-8, else read as Windows-1252.
std::string ToValidUtf8(std::string_view text);

}  // namespace tw
