#include "smartupdate/html_scan.h"

#include <cstring>

#include "foundation/ascii.h"

namespace tw {
namespace {

// Void names sit in fixed 7-byte slots: none is longer than six characters.
constexpr std::array<std::string_view, 8> kVoidTags = {"img",  "input", "area", "link",
                                                       "meta", "html",  "head", "body"};

const char* Find(const char* from, const char* end, char c) {
  if (from >= end) return nullptr;
  return static_cast<const char*>(std::memchr(from, c, static_cast<size_t>(end - from)));
}

// Whether the bytes at `at` begin, without regard to case, with `text`.
bool BeginsWith(const char* at, const char* end, std::string_view text) {
  return static_cast<size_t>(end - at) >= text.size() &&
         EqualsIgnoreCase(std::string_view(at, text.size()), text);
}

// Where scanning resumes after the name of the tag at `pos`.
const char* AfterName(const char* pos, const TagName& name) { return pos + 1 + name.size; }

}  // namespace

const char* NextStartTag(const char* pos, size_t remaining) {
  const char* end = pos + remaining;
  for (const char* p = Find(pos, end, '<'); p; p = Find(p + 1, end, '<')) {
    if (p + 1 == end || p[1] != '/') return p;
  }
  return nullptr;
}

std::optional<TagName> ReadTagName(const char* pos, size_t remaining) {
  if (remaining < 2) return std::nullopt;  // the document ends before any stopping character
  TagName name;
  if (pos[1] == '!') {
    name.chars[0] = '!';
    name.size = 1;
    return name;
  }
  const char* end = pos + remaining;
  const char* p = pos + 1;
  while (p < end && IsTagNameChar(*p)) {
    if (name.size == kMaxTagName) return std::nullopt;  // eleven or more: not a tag
    name.chars[name.size++] = *p++;
  }
  if (p == end || name.size == 0) return std::nullopt;
  return name;
}

bool IsDeclarationTag(std::string_view name) { return name == "!"; }

bool IsVoidTag(std::string_view name) {
  for (std::string_view v : kVoidTags) {
    if (EqualsIgnoreCase(name, v)) return true;
  }
  return false;
}

std::optional<const char*> SkipStartTag(const char* pos, size_t remaining) {
  const std::optional<TagName> name = ReadTagName(pos, remaining);
  if (!name) return std::nullopt;
  const char* end = pos + remaining;
  const char* from = AfterName(pos, *name);
  if (const char* close = Find(from, end, '>')) return close;
  if (const char* lt = Find(from, end, '<')) return lt;
  return std::nullopt;
}

const char* FirstChildStartTag(const char* after_name, const char* range_end,
                               std::string_view name) {
  for (const char* p = Find(after_name, range_end, '<'); p; p = Find(p + 1, range_end, '<')) {
    if (p + 1 < range_end && p[1] == '/') continue;
    if (!BeginsWith(p + 1, range_end, name)) return p;
  }
  return range_end;
}

std::optional<SkippedElement> SkipElement(const char* pos, size_t remaining) {
  const std::optional<TagName> name = ReadTagName(pos, remaining);
  if (!name) return std::nullopt;
  const char* end = pos + remaining;
  const char* from = AfterName(pos, *name);
  const std::string_view text = name->view();

  if (IsDeclarationTag(text) || IsVoidTag(text)) {
    if (const char* close = Find(from, end, '>')) return SkippedElement{close, false, false};
    if (const char* lt = Find(from, end, '<')) return SkippedElement{lt, false, false};
    return std::nullopt;
  }

  // A container: balance start tags that begin with the name against "</name>" end tags.
  size_t depth = 0;
  const char* first_child = nullptr;
  for (const char* p = Find(from, end, '<'); p; p = Find(p + 1, end, '<')) {
    if (p + 1 < end && p[1] == '/') {
      if (BeginsWith(p + 2, end, text) && p + 2 + text.size() < end && p[2 + text.size()] == '>') {
        if (depth == 0) return SkippedElement{p + 3 + text.size(), true, false};
        --depth;
      }
    } else if (BeginsWith(p + 1, end, text)) {
      ++depth;
    } else if (!first_child) {
      first_child = p;
    }
  }
  const char* stop = first_child ? first_child : end;
  if (stop == pos) return std::nullopt;
  return SkippedElement{stop, true, true};
}

std::optional<QuotedAttribute> GetQuotedAttribute(const char* element, size_t remaining,
                                                  std::string_view name) {
  const char* end = element + remaining;
  const char* p = element;
  for (; p < end; ++p) {
    if (BeginsWith(p, end, name)) break;
    if (*p == '>') return std::nullopt;
  }
  if (p == end) return std::nullopt;
  for (; p < end && *p != '"'; ++p) {
    if (*p == '>') return std::nullopt;
  }
  if (p == end) return std::nullopt;
  const char* open = p;
  for (++p; p < end && *p != '"'; ++p) {
    if (*p == '>') return std::nullopt;
  }
  if (p == end) return std::nullopt;
  return QuotedAttribute{std::string(open + 1, p), p};
}

}  // namespace tw
