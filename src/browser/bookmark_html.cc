// The bookmarks HTML file that browsers export:
//   <DL><p>
//     <DT><H3 ADD_DATE="...">Folder</H3>
//     <DL><p>
//       <DT><A HREF="http://..." ADD_DATE="...">Title</A>
//     </DL><p>
//   </DL>
// A folder is an <H3> whose list is the <DL> after it; the markup around is loose HTML, so tags
// are found one by one and everything else is passed over.
#include <string>
#include <vector>

#include "browser/bookmarks.h"
#include "foundation/ascii.h"

namespace tw {
namespace {

struct Tag {
  std::string_view name;  // without "<" and a leading "/"
  bool closing = false;
  std::string_view attributes;
  size_t end = 0;  // just past ">"
};

// The next tag at or after `pos`; nullopt when there is none.
std::optional<Tag> NextTag(std::string_view html, size_t pos) {
  for (;;) {
    const size_t open = html.find('<', pos);
    if (open == std::string_view::npos) return std::nullopt;
    const size_t close = html.find('>', open + 1);
    if (close == std::string_view::npos) return std::nullopt;
    std::string_view inside = html.substr(open + 1, close - open - 1);
    Tag tag;
    tag.end = close + 1;
    if (!inside.empty() && inside.front() == '/') {
      tag.closing = true;
      inside.remove_prefix(1);
    }
    size_t name_end = 0;
    while (name_end < inside.size() && inside[name_end] != ' ' && inside[name_end] != '\t' &&
           inside[name_end] != '\r' && inside[name_end] != '\n') {
      ++name_end;
    }
    tag.name = inside.substr(0, name_end);
    tag.attributes = inside.substr(name_end);
    if (!tag.name.empty()) return tag;
    pos = close + 1;
  }
}

void AppendUtf8(uint32_t cp, std::string& out) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Text with the character references that exporters write (&amp; &lt; &gt; &quot; &#39; &#NN;
// &#xHH;) replaced; an unknown or broken reference stays as it is.
std::string DecodeText(std::string_view text) {
  struct Named {
    std::string_view name;
    char c;
  };
  constexpr Named kNamed[] = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t semi = text[i] == '&' ? text.find(';', i + 1) : std::string_view::npos;
    if (semi == std::string_view::npos || semi - i > 10) {
      out.push_back(text[i]);
      continue;
    }
    const std::string_view ref = text.substr(i + 1, semi - i - 1);
    bool decoded = false;
    if (ref.size() > 1 && ref.front() == '#') {
      const bool hex = ref[1] == 'x' || ref[1] == 'X';
      const std::string_view digits = ref.substr(hex ? 2 : 1);
      uint32_t cp = 0;
      bool valid = !digits.empty();
      for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        if (d < 0 || cp > 0x10FFFF) {
          valid = false;
          break;
        }
        cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(d);
      }
      if (valid) {
        AppendUtf8(cp, out);
        decoded = true;
      }
    } else {
      for (const Named& named : kNamed) {
        if (EqualsIgnoreCase(ref, named.name)) {
          out.push_back(named.c);
          decoded = true;
          break;
        }
      }
    }
    if (decoded) {
      i = semi;
    } else {
      out.push_back('&');
    }
  }
  return out;
}

// The value of an attribute (name compared without regard to case), quoted or bare.
std::optional<std::string> Attribute(std::string_view attributes, std::string_view wanted) {
  size_t i = 0;
  while (i < attributes.size()) {
    while (i < attributes.size() && (attributes[i] == ' ' || attributes[i] == '\t' ||
                                     attributes[i] == '\r' || attributes[i] == '\n')) {
      ++i;
    }
    const size_t name_start = i;
    while (i < attributes.size() && attributes[i] != '=' && attributes[i] != ' ' &&
           attributes[i] != '\t' && attributes[i] != '\r' && attributes[i] != '\n') {
      ++i;
    }
    const std::string_view name = attributes.substr(name_start, i - name_start);
    if (i >= attributes.size() || attributes[i] != '=') {
      if (i == name_start) ++i;  // a stray character
      continue;
    }
    ++i;
    std::string_view value;
    if (i < attributes.size() && (attributes[i] == '"' || attributes[i] == '\'')) {
      const char quote = attributes[i++];
      const size_t end = attributes.find(quote, i);
      value =
          attributes.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i);
      i = end == std::string_view::npos ? attributes.size() : end + 1;
    } else {
      const size_t start = i;
      while (i < attributes.size() && attributes[i] != ' ' && attributes[i] != '\t') ++i;
      value = attributes.substr(start, i - start);
    }
    if (EqualsIgnoreCase(name, wanted)) return DecodeText(value);
  }
  return std::nullopt;
}

// The text of an element up to its closing tag (tags inside are dropped), and where it ends.
std::string_view InnerText(std::string_view html, size_t from, std::string_view name, size_t& end) {
  for (size_t pos = from;;) {
    std::optional<Tag> tag = NextTag(html, pos);
    if (!tag) {
      end = html.size();
      return html.substr(from);
    }
    if (tag->closing && EqualsIgnoreCase(tag->name, name)) {
      end = tag->end;
      return html.substr(from, html.rfind('<', tag->end - 1) - from);
    }
    pos = tag->end;
  }
}

std::string CleanTitle(std::string_view raw) {
  std::string text = DecodeText(raw);
  for (char& c : text) {
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  }
  return std::string(TrimBlanks(text));
}

}  // namespace

Result<BookmarkNode> ParseBookmarkHtml(std::string_view html) {
  BookmarkNode tree{"", "", true, {}};
  // The open lists, innermost last: the folder each adds to. A <DL> beyond the depth cap adds to
  // the deepest folder there is, so the tree stays within the cap.
  std::vector<BookmarkNode*> open{&tree};
  // The folder whose <H3> came last, waiting for its <DL>, as an index into the current list's
  // children (a pointer would not survive the list growing).
  constexpr size_t kNoFolder = SIZE_MAX;
  size_t pending_folder = kNoFolder;
  size_t budget = kMaxBookmarkNodes - 1;
  bool saw_list = false;
  for (size_t pos = 0;;) {
    std::optional<Tag> tag = NextTag(html, pos);
    if (!tag) break;
    pos = tag->end;
    BookmarkNode& current = *open.back();
    if (EqualsIgnoreCase(tag->name, "DL")) {
      if (tag->closing) {
        if (open.size() > 1) open.pop_back();
        pending_folder = kNoFolder;
        continue;
      }
      saw_list = true;
      BookmarkNode* next = &current;
      if (pending_folder != kNoFolder && open.size() < kMaxBookmarkDepth) {
        next = &current.children[pending_folder];
      }
      open.push_back(next);
      pending_folder = kNoFolder;
    } else if (tag->closing) {
      continue;
    } else if (EqualsIgnoreCase(tag->name, "H3")) {
      size_t end = 0;
      const std::string title = CleanTitle(InnerText(html, pos, "H3", end));
      pos = end;
      if (budget == 0) continue;
      --budget;
      current.children.push_back(BookmarkNode{title, "", true, {}});
      pending_folder = current.children.size() - 1;
    } else if (EqualsIgnoreCase(tag->name, "A")) {
      size_t end = 0;
      const std::string title = CleanTitle(InnerText(html, pos, "A", end));
      pos = end;
      std::optional<std::string> address = Attribute(tag->attributes, "HREF");
      if (!address || address->empty() || budget == 0) continue;
      --budget;
      current.children.push_back(
          BookmarkNode{title.empty() ? *address : title, std::move(*address), false, {}});
    }
  }
  if (!saw_list) return Error(err::kInvalidData);
  return tree;
}

}  // namespace tw
