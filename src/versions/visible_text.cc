#include "versions/visible_text.h"

#include <algorithm>
#include <cstdint>

#include "foundation/ascii.h"
#include "foundation/utf8.h"

namespace tw {
namespace {

// Elements whose start or end ends a line of text.
constexpr std::string_view kBlockNames[] = {
    "address", "article",  "aside",      "blockquote", "br",     "caption", "dd",   "div", "dl",
    "dt",      "fieldset", "figcaption", "figure",     "footer", "form",    "h1",   "h2",  "h3",
    "h4",      "h5",       "h6",         "header",     "hr",     "li",      "main", "nav", "ol",
    "option",  "p",        "pre",        "section",    "table",  "title",   "tr",   "ul"};
// Elements that stand apart from the words around them (cells, images, controls); other inline
// elements (b, i, a, span...) may sit inside a word.
constexpr std::string_view kSeparateNames[] = {"button", "embed",  "frame",  "iframe", "img",
                                               "input",  "object", "select", "td",     "textarea",
                                               "th",     "video",  "audio"};
// Elements whose content is never shown.
constexpr std::string_view kHiddenNames[] = {"script", "style", "template"};

// Named references common in page text; others stay as written.
constexpr struct {
  std::string_view name;
  std::string_view text;
} kNamedReferences[] = {{"amp", "&"},
                        {"lt", "<"},
                        {"gt", ">"},
                        {"quot", "\""},
                        {"apos", "'"},
                        {"nbsp", " "},
                        {"copy", "\xC2\xA9"},
                        {"reg", "\xC2\xAE"},
                        {"trade", "\xE2\x84\xA2"},
                        {"hellip", "\xE2\x80\xA6"},
                        {"mdash", "\xE2\x80\x94"},
                        {"ndash", "\xE2\x80\x93"},
                        {"laquo", "\xC2\xAB"},
                        {"raquo", "\xC2\xBB"},
                        {"euro", "\xE2\x82\xAC"},
                        {"middot", "\xC2\xB7"},
                        {"bull", "\xE2\x80\xA2"}};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsNameChar(char c) { return IsAsciiLetter(c) || (c >= '0' && c <= '9'); }

std::string EncodeUtf8(uint32_t code) {
  std::string out;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xc0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3f));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xe0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (code & 0x3f));
  } else {
    out += static_cast<char>(0xf0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (code & 0x3f));
  }
  return out;
}

// The masked spans as sorted, disjoint ranges.
std::vector<ByteSpan> Merged(std::vector<ByteSpan> spans) {
  std::sort(spans.begin(), spans.end(),
            [](const ByteSpan& a, const ByteSpan& b) { return a.begin < b.begin; });
  std::vector<ByteSpan> merged;
  for (const ByteSpan& s : spans) {
    if (s.end <= s.begin) continue;
    if (!merged.empty() && s.begin <= merged.back().end) {
      merged.back().end = std::max(merged.back().end, s.end);
    } else {
      merged.push_back(s);
    }
  }
  return merged;
}

class TextBuilder {
 public:
  TextBuilder(std::string_view html, std::vector<ByteSpan> masked, bool utf8)
      : html_(html), masked_(Merged(std::move(masked))), utf8_(utf8) {}

  std::vector<TextLine> Run() {
    size_t i = 0;
    while (i < html_.size()) {
      const char c = html_[i];
      if (c == '<') {
        i = Markup(i);
      } else if (c == '&') {
        i = Reference(i);
      } else {
        if (!Masked(i)) {
          if (IsBlank(c)) {
            EndWord();
          } else {
            AppendByte(c);
          }
        }
        ++i;
      }
    }
    EndLine();
    return std::move(lines_);
  }

 private:
  bool Masked(size_t offset) {
    while (next_span_ < masked_.size() && masked_[next_span_].end <= offset) ++next_span_;
    return next_span_ < masked_.size() && masked_[next_span_].begin <= offset;
  }

  // A byte of the document's text, as UTF-8.
  void AppendByte(char c) {
    if (utf8_ || static_cast<unsigned char>(c) < 0x80) {
      word_ += c;
    } else {
      word_ += Windows1252ToUtf8(std::string_view(&c, 1));
    }
  }

  void EndWord() {
    if (word_.empty()) return;
    line_.push_back(std::move(word_));
    word_.clear();
  }
  void EndLine() {
    EndWord();
    if (!line_.empty()) lines_.push_back(std::move(line_));
    line_.clear();
  }

  size_t Find(std::string_view what, size_t from) const {
    const size_t at = html_.find(what, from);
    return at == std::string_view::npos ? html_.size() : at;
  }

  // From the '<' at `i`: a comment, a declaration, a tag, or a '<' that is text.
  size_t Markup(size_t i) {
    const std::string_view rest = html_.substr(i);
    if (rest.substr(0, 4) == "<!--") return std::min(html_.size(), Find("-->", i + 4) + 3);
    if (rest.size() >= 2 && (rest[1] == '!' || rest[1] == '?')) {
      return std::min(html_.size(), Find(">", i) + 1);
    }
    const bool closing = rest.size() >= 2 && rest[1] == '/';
    const size_t name_start = i + (closing ? 2 : 1);
    if (name_start >= html_.size() || !IsAsciiLetter(html_[name_start])) {
      if (!Masked(i)) word_ += '<';
      return i + 1;
    }
    size_t name_end = name_start;
    while (name_end < html_.size() && IsNameChar(html_[name_end])) ++name_end;
    const std::string name = AsciiLower(html_.substr(name_start, name_end - name_start));
    const size_t after = TagEnd(name_end);
    if (std::find(std::begin(kBlockNames), std::end(kBlockNames), name) != std::end(kBlockNames)) {
      EndLine();
    } else if (std::find(std::begin(kSeparateNames), std::end(kSeparateNames), name) !=
               std::end(kSeparateNames)) {
      EndWord();
    }
    if (!closing && std::find(std::begin(kHiddenNames), std::end(kHiddenNames), name) !=
                        std::end(kHiddenNames)) {
      // The content runs to the element's own end tag.
      for (size_t at = after; at < html_.size(); at = Find("</", at + 2)) {
        if (at + 2 + name.size() <= html_.size() &&
            EqualsIgnoreCase(html_.substr(at + 2, name.size()), name)) {
          return TagEnd(at + 2 + name.size());
        }
      }
      return html_.size();
    }
    return after;
  }

  // Just past the '>' that ends a tag, passing over quoted attribute values.
  size_t TagEnd(size_t i) const {
    char quote = 0;
    for (; i < html_.size(); ++i) {
      const char c = html_[i];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        return i + 1;
      }
    }
    return html_.size();
  }

  // From the '&' at `i`: a character reference, or an '&' that is text.
  size_t Reference(size_t i) {
    size_t end = i + 1;
    while (end < html_.size() && end - i <= 10 && (IsNameChar(html_[end]) || html_[end] == '#')) {
      ++end;
    }
    std::string text;
    if (end < html_.size() && html_[end] == ';') {
      const std::string_view body = html_.substr(i + 1, end - i - 1);
      text = Decode(body);
    }
    if (text.empty()) {
      if (!Masked(i)) word_ += '&';
      return i + 1;
    }
    if (!Masked(i)) {
      if (text == " ") {
        EndWord();
      } else {
        word_ += text;  // UTF-8 already
      }
    }
    return end + 1;
  }

  std::string Decode(std::string_view body) const {
    if (body.size() >= 2 && body[0] == '#') {
      const bool hex = body[1] == 'x' || body[1] == 'X';
      uint32_t code = 0;
      const std::string_view digits = body.substr(hex ? 2 : 1);
      if (digits.empty()) return {};
      for (char c : digits) {
        int value = -1;
        if (c >= '0' && c <= '9') value = c - '0';
        if (hex && c >= 'a' && c <= 'f') value = c - 'a' + 10;
        if (hex && c >= 'A' && c <= 'F') value = c - 'A' + 10;
        if (value < 0 || code > 0x10ffff) return {};
        code = code * (hex ? 16 : 10) + static_cast<uint32_t>(value);
      }
      if (code == 0 || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return {};
      if (code == 0xa0 || code < 0x20) return " ";
      return EncodeUtf8(code);
    }
    for (const auto& ref : kNamedReferences) {
      if (body == ref.name) return std::string(ref.text);
    }
    return {};
  }

  std::string_view html_;
  std::vector<ByteSpan> masked_;
  bool utf8_;
  size_t next_span_ = 0;
  std::string word_;
  TextLine line_;
  std::vector<TextLine> lines_;
};

}  // namespace

std::vector<TextLine> VisibleText(std::string_view html, const std::vector<ByteSpan>& masked) {
  return TextBuilder(html, masked, IsValidUtf8(html)).Run();
}

}  // namespace tw
