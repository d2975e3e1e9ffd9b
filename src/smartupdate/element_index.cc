#include "smartupdate/element_index.h"

#include <algorithm>
#include <cstring>

namespace tw {
namespace {

// Tag names packed six bits a character into one integer, so that a name (or the first k
// characters of a start tag's text) is a hash key without building a string. Letters fold to
// lower case; no name character packs to zero, so names of different lengths differ.
uint64_t Symbol(char c) {
  if (c >= 'a' && c <= 'z') return static_cast<uint64_t>(c - 'a' + 1);
  if (c >= 'A' && c <= 'Z') return static_cast<uint64_t>(c - 'A' + 1);
  switch (c) {
    case '!':
      return 27;
    case '-':
      return 28;
    case '<':
      return 29;
    case '=':
      return 30;
    case '?':
      return 31;
    default:
      return 32;  // '@', the last name character
  }
}

// Open addressing on the packed names: each name's stack top, or -1.
class NameTable {
 public:
  NameTable() : slots_(64) {}

  int32_t* Find(uint64_t key) {
    for (size_t i = Hash(key);; i = (i + 1) & (slots_.size() - 1)) {
      if (slots_[i].key == key) return &slots_[i].top;
      if (slots_[i].key == 0) return nullptr;
    }
  }

  int32_t& Insert(uint64_t key) {
    if (int32_t* top = Find(key)) return *top;
    if ((used_ + 1) * 2 > slots_.size()) Grow();
    ++used_;
    Slot* slot = Place(key);
    slot->top = -1;
    return slot->top;
  }

 private:
  struct Slot {
    uint64_t key = 0;
    int32_t top = -1;
  };
  size_t Hash(uint64_t key) const {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 20) & (slots_.size() - 1);
  }
  Slot* Place(uint64_t key) {
    size_t i = Hash(key);
    while (slots_[i].key != 0) i = (i + 1) & (slots_.size() - 1);
    slots_[i].key = key;
    return &slots_[i];
  }
  void Grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& s : old) {
      if (s.key != 0) Place(s.key)->top = s.top;
    }
  }

  std::vector<Slot> slots_;
  size_t used_ = 0;
};

// A name ending in '<' is followed by a "</" that its own scan does not see (it starts after the
// name) but older elements do; such elements are left to the plain scan and count here only as
// nesting for others.
bool Indexed(const TagName& name) {
  return !IsVoidTag(name.view()) && name.chars[name.size - 1] != '<';
}

struct Pending {
  uint32_t start;
  uint32_t nested;  // start tags beginning with the name seen since, not yet balanced
  int32_t below;    // the next older pending element of the same name, or -1
  uint32_t slot;    // index into starts_/ends_
};

}  // namespace

ElementIndex::ElementIndex(std::string_view document) : document_(document) {
  if (document_.size() < kNoEnd) Build();
}

// One pass over every '<'. Each name has a stack of elements still waiting for their end tag; a
// start tag that begins with a name but is not itself an element of that name counts as one
// more nesting level for the newest waiting element, and an end tag "</name>" either closes such
// a level or, when there is none, ends the newest waiting element. That is SkipElement's depth
// count, kept for all elements at once.
void ElementIndex::Build() {
  const char* base = document_.data();
  const char* end = base + document_.size();
  NameTable names;
  std::vector<Pending> pending;
  // Which (first character, length) pairs have a name in the table, to skip most lookups.
  bool known[33][kMaxTagName + 1] = {};

  for (const char* p = static_cast<const char*>(std::memchr(base, '<', document_.size())); p;
       p = static_cast<const char*>(std::memchr(p + 1, '<', static_cast<size_t>(end - p - 1)))) {
    if (p + 1 == end) break;
    if (p[1] == '/') {
      uint64_t key = 0;
      const char* q = p + 2;
      size_t length = 0;
      while (q < end && IsTagNameChar(*q) && length <= kMaxTagName) {
        key = (key << 6) | Symbol(*q++);
        ++length;
      }
      if (length == 0 || length > kMaxTagName || q == end || *q != '>') continue;
      int32_t* top = names.Find(key);
      if (!top || *top < 0) continue;
      Pending& element = pending[static_cast<size_t>(*top)];
      if (element.nested > 0) {
        --element.nested;
      } else {
        ends_[element.slot] = static_cast<uint32_t>(q + 1 - base);
        *top = element.below;
      }
      continue;
    }
    if (p[1] == '!') continue;  // no container name begins with '!'

    // The run of name characters after '<': every prefix of it is a name this start tag nests.
    uint64_t key = 0;
    size_t length = 0;
    const char* q = p + 1;
    const uint64_t first = Symbol(*q);
    const std::optional<TagName> name = ReadTagName(p, static_cast<size_t>(end - p));
    const bool container = name && Indexed(*name);
    while (q < end && IsTagNameChar(*q) && length < kMaxTagName) {
      key = (key << 6) | Symbol(*q++);
      ++length;
      if (container && length == name->size) break;  // its own name: handled below
      if (!known[first][length]) continue;
      if (int32_t* top = names.Find(key); top && *top >= 0) {
        ++pending[static_cast<size_t>(*top)].nested;
      }
    }
    if (!container) continue;
    int32_t& top = names.Insert(key);
    known[first][length] = true;
    starts_.push_back(static_cast<uint32_t>(p - base));
    ends_.push_back(kNoEnd);
    pending.push_back(Pending{static_cast<uint32_t>(p - base), 0, top,
                              static_cast<uint32_t>(starts_.size() - 1)});
    top = static_cast<int32_t>(pending.size() - 1);
  }
}

std::optional<SkippedElement> ElementIndex::Skip(const char* pos, size_t remaining,
                                                 bool want_first_child) const {
  const char* base = document_.data();
  const char* range_end = pos + remaining;
  auto scan = [&] {
    std::optional<SkippedElement> e = SkipElement(pos, remaining);
    if (e && e->is_unclosed && !want_first_child) e->end = range_end;
    return e;
  };
  const bool inside = pos >= base && remaining <= document_.size() &&
                      static_cast<size_t>(pos - base) <= document_.size() - remaining;
  const std::optional<TagName> name = ReadTagName(pos, remaining);
  if (!name || !inside || IsDeclarationTag(name->view()) || !Indexed(*name) ||
      document_.size() >= kNoEnd) {
    return scan();
  }
  const auto offset = static_cast<uint32_t>(pos - base);
  const auto it = std::lower_bound(starts_.begin(), starts_.end(), offset);
  if (it == starts_.end() || *it != offset) return scan();
  const uint32_t stop = ends_[static_cast<size_t>(it - starts_.begin())];
  if (stop != kNoEnd && base + stop <= range_end) return SkippedElement{base + stop, true, false};
  if (!want_first_child) return SkippedElement{range_end, true, true};
  const char* child = FirstChildStartTag(pos + 1 + name->size, range_end, name->view());
  if (child == pos) return std::nullopt;
  return SkippedElement{child, true, true};
}

}  // namespace tw
