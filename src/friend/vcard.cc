#include "friend/vcard.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "foundation/ascii.h"
#include "foundation/utf8.h"
#include "platform/foreign_file.h"

namespace tw {
namespace {

enum class Version { k21, k30, k40 };

// The physical lines of the text; a line ends at CR LF, LF or a lone CR.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  std::optional<std::string_view> Next() {
    if (pos_ >= text_.size()) return std::nullopt;
    const size_t end = text_.find_first_of("\r\n", pos_);
    const std::string_view line =
        text_.substr(pos_, end == std::string_view::npos ? std::string_view::npos : end - pos_);
    pos_ = end == std::string_view::npos ? text_.size() : end + 1;
    if (end != std::string_view::npos && text_[end] == '\r' && pos_ < text_.size() &&
        text_[pos_] == '\n') {
      ++pos_;
    }
    return line;
  }

  // Whether the next physical line continues the current one by folding.
  bool NextIsFolded() const {
    return pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t');
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

bool IsQuotedPrintableLine(std::string_view head) {
  // The parameters stand before the first ':'; 2.1 also writes the encoding as a bare word.
  const size_t colon = head.find(':');
  const std::string_view params = head.substr(0, colon);
  for (size_t i = 0; i + 16 <= params.size(); ++i) {
    if (EqualsIgnoreCase(params.substr(i, 16), "QUOTED-PRINTABLE")) return true;
  }
  return false;
}

// One logical line: the physical line with its continuations. Folds drop the blank that begins
// the continuation except in 2.1, where it stands for itself; a quoted-printable value ending
// in "=" goes on in the next line whatever that begins with.
std::optional<std::string> NextLogicalLine(LineReader& reader, Version version) {
  std::optional<std::string_view> first = reader.Next();
  if (!first) return std::nullopt;
  std::string line(*first);
  const bool quoted_printable = IsQuotedPrintableLine(line);
  for (;;) {
    if (quoted_printable && !line.empty() && line.back() == '=') {
      std::optional<std::string_view> more = reader.Next();
      if (!more) break;
      line.pop_back();
      line += *more;
      continue;
    }
    if (!reader.NextIsFolded()) break;
    const std::string_view more = *reader.Next();
    line += version == Version::k21 ? more : more.substr(1);
  }
  return line;
}

struct Property {
  std::string name;                // upper case, without its group
  std::vector<std::string> types;  // lower case
  std::string encoding;            // lower case
  std::string charset;             // lower case
  std::optional<uint32_t> pref;
  std::string value;  // raw, not yet decoded
};

uint32_t ParsePref(std::string_view text) {
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || value > 1000) return 100;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  return text.empty() ? 100 : value;
}

void AddTypes(Property& p, std::string_view list) {
  while (!list.empty()) {
    const size_t comma = list.find(',');
    std::string type = AsciiLower(TrimBlanks(list.substr(0, comma)));
    if (type.size() >= 2 && type.front() == '"' && type.back() == '"') {
      type = type.substr(1, type.size() - 2);
    }
    if (type == "pref") {
      p.pref = 1;
    } else if (!type.empty()) {
      p.types.push_back(std::move(type));
    }
    list.remove_prefix(comma == std::string_view::npos ? list.size() : comma + 1);
  }
}

void AddParameter(Property& p, std::string_view param) {
  const size_t equals = param.find('=');
  if (equals == std::string_view::npos) {
    // 2.1's bare words: an encoding, or a type.
    const std::string word = AsciiLower(TrimBlanks(param));
    if (word == "quoted-printable" || word == "base64" || word == "8bit" || word == "7bit") {
      p.encoding = word;
    } else {
      AddTypes(p, word);
    }
    return;
  }
  const std::string key = AsciiLower(TrimBlanks(param.substr(0, equals)));
  std::string_view value = TrimBlanks(param.substr(equals + 1));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  if (key == "type") {
    AddTypes(p, value);
  } else if (key == "encoding") {
    p.encoding = AsciiLower(value);
  } else if (key == "charset") {
    p.charset = AsciiLower(value);
  } else if (key == "pref") {
    p.pref = ParsePref(value);
  }
}

// "group.NAME;param;param:value"; parameter values may be double-quoted and then hold ';' and
// ':'. A line without ':' is no property.
std::optional<Property> ParseProperty(std::string_view line) {
  size_t colon = std::string_view::npos;
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == ':' && !quoted) {
      colon = i;
      break;
    }
  }
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view head = line.substr(0, colon);
  Property p;
  p.value = std::string(line.substr(colon + 1));

  size_t start = head.find(';');
  std::string_view name = TrimBlanks(head.substr(0, start));
  if (const size_t dot = name.rfind('.'); dot != std::string_view::npos) {
    name.remove_prefix(dot + 1);
  }
  for (char c : name) p.name += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);

  quoted = false;
  while (start != std::string_view::npos) {
    size_t end = start + 1;
    for (; end < head.size(); ++end) {
      if (head[end] == '"') quoted = !quoted;
      if (head[end] == ';' && !quoted) break;
    }
    AddParameter(p, head.substr(start + 1, end - start - 1));
    start = end < head.size() ? end : std::string_view::npos;
  }
  return p;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string DecodeQuotedPrintable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '=' && i + 2 < text.size()) {
      const int high = HexDigit(text[i + 1]);
      const int low = HexDigit(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

// The property's value as UTF-8 text, still with its backslash escapes; nothing for binary
// values.
std::optional<std::string> DecodedValue(const Property& p) {
  if (p.encoding == "base64" || p.encoding == "b") return std::nullopt;
  const std::string bytes =
      p.encoding == "quoted-printable" ? DecodeQuotedPrintable(p.value) : p.value;
  if (p.charset == "iso-8859-1" || p.charset == "windows-1252" || p.charset == "latin1" ||
      p.charset == "cp1252") {
    return Windows1252ToUtf8(bytes);
  }
  return ToValidUtf8(bytes);
}

// Splits a structured value at its unescaped ';'.
std::vector<std::string_view> SplitComponents(std::string_view value) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\') {
      ++i;
    } else if (value[i] == ';') {
      parts.push_back(value.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(value.substr(start));
  return parts;
}

// The text with its escapes resolved and every line break, tab or other control character made
// a space, runs of spaces made one, and the ends trimmed.
std::string CleanText(std::string_view value, bool commas_are_separators) {
  std::string out;
  const auto put = [&](char c) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    if (c == ' ' && (out.empty() || out.back() == ' ')) return;
    out += c;
  };
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '\\' && i + 1 < value.size()) {
      c = value[++i];
      put(c == 'n' || c == 'N' ? ' ' : c);
    } else {
      put(commas_are_separators && c == ',' ? ' ' : c);
    }
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// "Given Additional Family" from N's family;given;additional;prefix;suffix.
std::string NameFromParts(std::string_view value) {
  const std::vector<std::string_view> parts = SplitComponents(value);
  std::string name;
  for (size_t index : {1, 2, 0}) {
    if (index >= parts.size()) continue;
    const std::string part = CleanText(parts[index], true);
    if (part.empty()) continue;
    if (!name.empty()) name += ' ';
    name += part;
  }
  return name;
}

bool IsInternetMail(const Property& p) {
  // The non-Internet mail systems of 2.1's EMAIL types.
  static constexpr std::string_view kOtherSystems[] = {
      "x400",    "aol",     "applelink",  "attmail", "cis", "eworld",
      "ibmmail", "mcimail", "powershare", "prodigy", "tlx"};
  for (const std::string& type : p.types) {
    for (std::string_view other : kOtherSystems) {
      if (type == other) return false;
    }
  }
  return true;
}

std::string MailAddressOf(std::string_view value) {
  std::string address = CleanText(value, false);
  for (std::string_view prefix : {"SMTP:", "mailto:"}) {
    if (StartsWithIgnoreCase(address, prefix)) address.erase(0, prefix.size());
  }
  if (address.find(' ') != std::string::npos) return {};
  return address;
}

// What one card has told so far.
struct Card {
  Version version = Version::k30;
  std::string formatted_name;
  std::string name_from_parts;
  std::string nickname;
  std::string organisation;
  std::string address;
  uint32_t address_pref = UINT32_MAX;

  std::optional<Contact> ToContact() const {
    for (const std::string* name : {&formatted_name, &name_from_parts, &nickname, &organisation}) {
      if (!name->empty() && !address.empty()) return Contact{*name, address};
    }
    return std::nullopt;
  }
};

void TakeProperty(Card& card, const Property& p) {
  if (p.name == "VERSION") {
    const std::string_view v = TrimBlanks(p.value);
    card.version = v == "2.1" ? Version::k21 : v == "4.0" ? Version::k40 : Version::k30;
    return;
  }
  const bool wanted = p.name == "FN" || p.name == "N" || p.name == "NICKNAME" || p.name == "ORG" ||
                      p.name == "EMAIL";
  if (!wanted) return;
  const std::optional<std::string> value = DecodedValue(p);
  if (!value) return;
  if (p.name == "FN") {
    if (card.formatted_name.empty()) card.formatted_name = CleanText(*value, false);
  } else if (p.name == "N") {
    if (card.name_from_parts.empty()) card.name_from_parts = NameFromParts(*value);
  } else if (p.name == "NICKNAME") {
    // A list of nicknames; the first is the one.
    if (card.nickname.empty()) {
      std::string_view first = *value;
      for (size_t i = 0; i < first.size(); ++i) {
        if (first[i] == '\\') {
          ++i;
        } else if (first[i] == ',') {
          first = first.substr(0, i);
          break;
        }
      }
      card.nickname = CleanText(first, false);
    }
  } else if (p.name == "ORG") {
    if (card.organisation.empty()) card.organisation = CleanText(SplitComponents(*value)[0], false);
  } else if (IsInternetMail(p)) {
    std::string address = MailAddressOf(*value);
    const uint32_t pref = p.pref.value_or(101);
    if (!address.empty() && pref < card.address_pref) {
      card.address = std::move(address);
      card.address_pref = pref;
    }
  }
}

bool IsLine(const Property& p, std::string_view name, std::string_view value) {
  return p.name == name && EqualsIgnoreCase(TrimBlanks(p.value), value);
}

}  // namespace

Result<ContactList> ParseVCards(std::string_view text) {
  // A byte order mark is no part of the first line.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  LineReader reader(text);
  ContactList contacts;
  std::optional<Card> card;
  size_t depth = 0;  // cards open, counting embedded ones
  bool any_card = false;
  for (;;) {
    const std::optional<std::string> line =
        NextLogicalLine(reader, card ? card->version : Version::k30);
    if (!line) break;
    const std::optional<Property> p = ParseProperty(*line);
    if (!p) continue;
    // 2.1 embeds another person's card in AGENT, beginning on the AGENT line itself.
    if (IsLine(*p, "BEGIN", "VCARD") || (card && IsLine(*p, "AGENT", "BEGIN:VCARD"))) {
      if (depth++ == 0) card.emplace();
      any_card = true;
      continue;
    }
    if (!card) continue;
    if (IsLine(*p, "END", "VCARD")) {
      if (--depth > 0) continue;
      if (std::optional<Contact> contact = card->ToContact()) {
        if (contacts.size() == kMaxVCardContacts) return Error(err::kNotEnoughMemory);
        contacts.push_back(std::move(*contact));
      }
      card.reset();
      continue;
    }
    if (depth == 1) TakeProperty(*card, *p);
  }
  // A file cut short still gives the card it was in.
  if (card) {
    if (std::optional<Contact> contact = card->ToContact()) {
      if (contacts.size() == kMaxVCardContacts) return Error(err::kNotEnoughMemory);
      contacts.push_back(std::move(*contact));
    }
  }
  if (!any_card) return Error(err::kInvalidData);
  return contacts;
}

Result<ContactList> ReadVCardFile(const std::string& path) {
  Result<std::string> text = ReadForeignFile(path, kMaxVCardFileBytes);
  if (!text.ok()) return text.error();
  return ParseVCards(*text);
}

}  // namespace tw
