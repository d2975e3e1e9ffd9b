#include "foundation/utf8.h"

#include <cstdint>

namespace tw {
namespace {

// The length of the valid sequence starting at text[i], or 0 when the bytes there are not one.
size_t SequenceLength(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[i + k]); };
  const uint8_t lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint32_t min = 0;
  uint32_t code = 0;
  if ((lead & 0xe0) == 0xc0) {
    length = 2, min = 0x80, code = lead & 0x1fu;
  } else if ((lead & 0xf0) == 0xe0) {
    length = 3, min = 0x800, code = lead & 0x0fu;
  } else if ((lead & 0xf8) == 0xf0) {
    length = 4, min = 0x10000, code = lead & 0x07u;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xc0) != 0x80) return 0;
    code = (code << 6) | (byte(k) & 0x3fu);
  }
  // Overlong forms, surrogates and values past the last code point are not UTF-8.
  if (code < min || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return 0;
  return length;
}

// The offset just past the character at i: a valid sequence, or one invalid byte.
size_t NextCharacter(std::string_view text, size_t i) {
  const size_t length = SequenceLength(text, i);
  return i + (length ? length : 1);
}

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xc0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3f));
  } else {
    out += static_cast<char>(0xe0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (code & 0x3f));
  }
}

// Windows-1252's characters at 0x80 to 0x9f; the five unassigned bytes map as ISO-8859-1 does.
constexpr uint16_t kHighControls[32] = {
    0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, 0x02c6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008d, 0x017d, 0x008f, 0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022,
    0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178};

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const size_t length = SequenceLength(text, i);
    if (!length) return false;
    i += length;
  }
  return true;
}

size_t Utf8Length(std::string_view text) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); i = NextCharacter(text, i)) ++count;
  return count;
}

std::string CutUtf8Chars(std::string_view text, size_t max_chars) {
  size_t i = 0;
  for (size_t count = 0; i < text.size() && count < max_chars; ++count) {
    i = NextCharacter(text, i);
  }
  return std::string(text.substr(0, i));
}

std::string Windows1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<uint8_t>(c);
    AppendUtf8(out, byte >= 0x80 && byte < 0xa0 ? kHighControls[byte - 0x80] : byte);
  }
  return out;
}

std::string ToValidUtf8(std::string_view text) {
  return IsValidUtf8(text) ? std::string(text) : Windows1252ToUtf8(text);
}

std::string CutUtf8Bytes(std::string_view text, size_t max_bytes) {
  if (text.size() <= max_bytes) return std::string(text);
  size_t end = max_bytes;
  // Step back over continuation bytes so that the cut falls before a sequence's lead byte.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

}  // namespace tw
