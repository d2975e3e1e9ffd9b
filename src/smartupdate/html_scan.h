// Scanning primitives over the raw bytes of an HTML document.
//
// There is no tree and no tokenizer: every primitive takes a position inside a byte range and
// the number of bytes that remain from that position to the range end, and never reads at or past
// that end. Bytes are bytes (NUL, invalid UTF-8 and truncated tags included); nothing is decoded
// or normalised. The comparison walks number elements with these rules, and stored mask records
// refer to those numbers, so the rules below (odd ones included) must not drift.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

// Tag names are at most this long; a longer run of name characters means the `<` is text.
inline constexpr size_t kMaxTagName = 10;

struct TagName {
  std::array<char, kMaxTagName + 1> chars{};  // as in the document, NUL-terminated
  size_t size = 0;
  std::string_view view() const { return {chars.data(), size}; }
};

// The characters a tag name is made of: letters, '!', '-' and '<' '=' '?' '@'. Digits end a
// name, so a level-one heading is named "h".
inline bool IsTagNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '<' && c <= 'Z' && c != '>') || c == '!' || c == '-';
}

// The first '<' at or after `pos` that is not followed by '/', or nullptr.
const char* NextStartTag(const char* pos, size_t remaining);

// The name of the tag whose '<' is at `pos`: "!" for comments and declarations, else the run of
// name characters after the '<'. Fails for an empty run, a run longer than kMaxTagName, or a run
// that reaches the range end.
std::optional<TagName> ReadTagName(const char* pos, size_t remaining);

// "!" (comments, declarations) is passed over by the comparison.
bool IsDeclarationTag(std::string_view name);
// img, input, area, link, meta, html, head and body (any case) have no content and no end tag.
bool IsVoidTag(std::string_view name);

// From the '<' at `pos` to the '>' that closes its start tag; without one, to the first '<' met
// after the name. Fails when neither exists or the name cannot be read.
std::optional<const char*> SkipStartTag(const char* pos, size_t remaining);

struct SkippedElement {
  const char* end = nullptr;  // see SkipElement
  bool is_container = false;
  bool is_unclosed = false;
};

// Moves from the '<' at `pos` past the whole element.
// - "!" and void elements end on their first '>' (`end` is that '>'); without one, at the first
//   '<' met; without that either, the element cannot be skipped.
// - Any other name is a container: `end` is just after the end tag "</name>" that balances it.
//   Start tags whose text begins with the name (case-insensitively) nest, so inside a b element
//   a br or body start tag counts as another b. Without a balancing end tag the element is
//   unclosed and `end` is its first child start tag, or the range end.
std::optional<SkippedElement> SkipElement(const char* pos, size_t remaining);

// For an unclosed container named `name` whose name ends at `after_name`: the first start tag
// that does not begin with the name, or `range_end`.
const char* FirstChildStartTag(const char* after_name, const char* range_end,
                               std::string_view name);

struct QuotedAttribute {
  std::string value;               // the bytes between the quotes, unchanged
  const char* position = nullptr;  // the closing quote
};

// The double-quoted value after the first case-insensitive occurrence of `name` at or after
// `element` and before the first '>'. The occurrence need not be a whole attribute name, and
// single-quoted or unquoted values are not found. Fails when a '>' or the range end comes first.
std::optional<QuotedAttribute> GetQuotedAttribute(const char* element, size_t remaining,
                                                  std::string_view name);

}  // namespace tw
