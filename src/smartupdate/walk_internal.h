// The comparison walk over two documents, one for learning and matching alike: Walk() is the
// loop, and a policy says what happens where the documents differ or a record applies (the
// learning policy in learn.cc adds records, the matching one in match.cc consults them). Around
// it: the documents with their element indexes, the resynchronisation that brings them back into
// step after a structural difference, and record lookups.
// Internal to the smartupdate library.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "foundation/ascii.h"
#include "pagefile/page_record.h"
#include "smartupdate/compare.h"
#include "smartupdate/element_index.h"
#include "smartupdate/html_scan.h"

namespace tw::walk {

// One document of the pair. Its element index is built when the walk first skips an element.
class Document {
 public:
  explicit Document(std::string_view bytes) : bytes_(bytes) {}
  const char* begin() const { return bytes_.data(); }
  const char* end() const { return bytes_.data() + bytes_.size(); }
  std::string_view bytes() const { return bytes_; }
  std::optional<SkippedElement> Skip(const char* pos, const char* range_end,
                                     bool want_first_child) const;

 private:
  std::string_view bytes_;
  mutable std::optional<ElementIndex> index_;
};

// One side of the walk at some nesting level: its document and the end of the range walked.
struct Side {
  const Document* doc;
  const char* end;
};

inline const char* NextTag(const Side& side, const char* from) {
  if (!from || from >= side.end) return nullptr;
  return NextStartTag(from, static_cast<size_t>(side.end - from));
}

inline std::optional<TagName> NameAt(const Side& side, const char* tag) {
  return ReadTagName(tag, static_cast<size_t>(side.end - tag));
}

struct ResyncOutcome {
  const char* previous = nullptr;  // where each walk goes on, or nullptr (none)
  const char* current = nullptr;
  uint64_t passed = 0;  // elements passed over (0 when the end was reached)
  bool reached_end = false;
};

// Moves both documents past their current elements (`a`, `b`, either may be missing, with their
// names) until they are in step again, counting the elements passed over.
ResyncOutcome Resynchronise(const Side& previous, const char* a,
                            const std::optional<TagName>& a_name, const Side& current,
                            const char* b, const std::optional<TagName>& b_name);

// The first record at or after `from`, and before `stop`, whose ordinal is not below n. `Entry`
// is MaskEntry for a walk that changes the records, const MaskEntry for one that reads them.
template <class Entry>
Entry* Seek(Entry* from, Entry* stop, uint64_t n) {
  while (from != stop && from->index < n) from = from->next;
  return from;
}

// The first record of `kind` among the records at ordinal n from `at` (the seek position); with
// `subtree_ends`, a Subtree record met first ends the search.
template <class Entry>
Entry* FindAt(Entry* at, Entry* stop, uint64_t n, uint32_t kind, bool subtree_ends) {
  for (; at != stop && at->index == n; at = at->next) {
    if (at->kind == kind) return at;
    if (subtree_ends && at->kind == mask_kind::kSubtree) return nullptr;
  }
  return nullptr;
}

inline bool IsFrameName(std::string_view name) {
  return EqualsIgnoreCase(name, "frame") || EqualsIgnoreCase(name, "iframe");
}

// How many bytes the two documents have in common from their starts.
size_t CommonPrefix(std::string_view a, std::string_view b);

// Whether [a, a_end) of the previous document holds the same bytes as [b, b_end) of the current
// one. Ranges at the same offset inside the documents' common prefix are known to be equal up to
// its end, so nested elements around a difference are not compared again at every level.
inline bool SameBytes(const Document& previous, const char* a, const char* a_end,
                      const Document& current, const char* b, const char* b_end,
                      size_t common_prefix) {
  const auto length = static_cast<size_t>(a_end - a);
  if (length != static_cast<size_t>(b_end - b)) return false;
  size_t known = 0;
  const auto offset = static_cast<size_t>(a - previous.begin());
  if (offset == static_cast<size_t>(b - current.begin()) && offset < common_prefix) {
    known = std::min(length, common_prefix - offset);
  }
  return std::memcmp(a + known, b + known, length - known) == 0;
}

// One level of the walk: the whole documents (depth 0), or the inside of a container compared
// element by element (depth 1 and more, where the children must line up: no resynchronisation).
template <class Entry>
struct Level {
  Side previous;
  Side current;
  const char* previous_begin;
  const char* current_begin;
  int depth;
  // The records of this level: from `cursor`, always the first whose ordinal is not below n, up
  // to `stop`.
  Entry* cursor;
  Entry* stop;
  uint64_t n;            // the current element ordinal
  size_t common_prefix;  // bytes the two documents have in common from their starts

  bool inside() const { return depth > 0; }

  static Level Top(const Document& previous, const Document& current, Entry* first) {
    return {{&previous, previous.end()},
            {&current, current.end()},
            previous.begin(),
            current.begin(),
            0,
            first,
            nullptr,
            0,
            CommonPrefix(previous.bytes(), current.bytes())};
  }
};

// An element pair of the same name: where each begins and ends.
struct Element {
  const char* a;
  const char* a_end;
  const char* b;
  const char* b_end;
  std::string_view name;  // as in the previous document
  bool container;
};

// The inside of the container `e` of `outer`: its ranges begin just after the start tags' '<', so
// the first text run holds the container's name and attributes.
template <class Entry>
Level<Entry> Inside(const Level<Entry>& outer, const Element& e, Entry* cursor, Entry* stop,
                    uint64_t n) {
  return {{outer.previous.doc, e.a_end},
          {outer.current.doc, e.b_end},
          e.a + 1,
          e.b + 1,
          outer.depth + 1,
          cursor,
          stop,
          n,
          outer.common_prefix};
}

// The record of `kind` at the level's ordinal (see FindAt), moving the cursor up to it.
template <class Entry>
Entry* FindRecord(Level<Entry>& level, uint32_t kind, bool subtree_ends) {
  level.cursor = Seek(level.cursor, level.stop, level.n);
  return FindAt(level.cursor, level.stop, level.n, kind, subtree_ends);
}

// Whether the walk of the whole documents reached their ends without meeting a start tag: then
// the text after the last start tag, which is otherwise never compared, is all there is.
template <class Entry>
bool IsWithoutElements(const Level<Entry>& level, const char* p, const char* q) {
  return !level.inside() && p == level.previous_begin && q == level.current_begin;
}

// What a policy's element hooks return when the walk goes on; anything else ends the walk with
// that result.
inline constexpr int kGoOn = walk_result::kSame;

// The walk over one level, numbering elements and comparing text runs and elements, with the
// policy deciding wherever a difference or a record matters. A policy provides, for its own
// `Level` (a walk::Level, perhaps with more of its own):
//   int AtEnd(Level&, const char* p)  both documents ran out of start tags (p: where the previous
//       one stopped); returns the level's result
//   void BeforeJumpLookup(const Level&, uint32_t kind)  a TagMismatch or ElementCount record is
//       about to be looked for at n
//   bool Resynchronised(Level&, uint32_t kind, const ResyncOutcome&)  the documents fell out of
//       step and the resynchronisation of `kind` passed over what `outcome` says; moves n past the
//       record, or returns false when the difference is not allowed
//   bool TextDiffers(Level&, uint32_t kind)  the text run before the current elements differs and
//       `kind` is the record that would allow it; false when the difference is not allowed
//   void TextEqual(Level&, uint32_t kind, const char* begin, const char* end)  the same for an
//       equal text run [begin, end) of the previous document
//   int ElementEqual(Level&, const Element&, Entry* subtree)  an element with the same bytes on
//       both sides (`subtree`: a container's Subtree record at n, if any)
//   int ElementDiffers(Level&, const Element&, Entry* subtree)  an element whose bytes differ and
//       that no TagBytes or WholeElement record allows
// The two element hooks move n past the element and return kGoOn, or end the walk.
template <class Policy, class PolicyLevel>
int Walk(Policy& policy, PolicyLevel& level) {
  const char* p = level.previous_begin;
  const char* q = level.current_begin;
  auto resynchronise = [&](uint32_t kind, const char* a, const std::optional<TagName>& a_name,
                           const char* b, const std::optional<TagName>& b_name) {
    const ResyncOutcome out = Resynchronise(level.previous, a, a_name, level.current, b, b_name);
    if (!policy.Resynchronised(level, kind, out)) return false;
    p = out.previous;
    q = out.current;
    return true;
  };
  for (;;) {
    const char* a = NextTag(level.previous, p);
    const char* b = NextTag(level.current, q);
    if (!a && !b) {
      if (IsWithoutElements(level, p, q)) {
        // Text alone (a text/plain page) is compared as the text before the end, or no change
        // of it would ever count.
        if (!SameBytes(*level.previous.doc, p, level.previous.end, *level.current.doc, q,
                       level.current.end, level.common_prefix)) {
          if (!policy.TextDiffers(level, mask_kind::kTextBefore)) return walk_result::kDifferent;
        } else {
          policy.TextEqual(level, mask_kind::kTextBefore, p, level.previous.end);
        }
      }
      return policy.AtEnd(level, p);
    }
    if (!a || !b) {
      // One side has run out of start tags.
      const std::optional<TagName> name = a ? NameAt(level.previous, a) : NameAt(level.current, b);
      if (!name) {
        (a ? p : q) = (a ? a : b) + 1;
        continue;
      }
      if (level.inside()) return walk_result::kInside;
      const std::optional<TagName> none;
      if (!resynchronise(mask_kind::kElementCount, a, a ? name : none, b, b ? name : none)) {
        return walk_result::kDifferent;
      }
      continue;
    }
    policy.BeforeJumpLookup(level, mask_kind::kElementCount);
    if (const auto* r = FindRecord(level, mask_kind::kElementCount, false)) {
      level.n += r->count + 1ull;
    }

    const bool first_run = level.inside() && p == level.previous_begin && q == level.current_begin;
    const uint32_t text_kind = first_run ? mask_kind::kTagBytes : mask_kind::kTextBefore;
    if (!SameBytes(*level.previous.doc, p, a, *level.current.doc, q, b, level.common_prefix)) {
      if (!policy.TextDiffers(level, text_kind)) return walk_result::kDifferent;
      p = a;
      q = b;
      continue;
    }
    if (p < a) policy.TextEqual(level, text_kind, p, a);

    const std::optional<TagName> a_name = NameAt(level.previous, a);
    const std::optional<TagName> b_name = NameAt(level.current, b);
    if (!a_name || !b_name) {
      p = a + 1;
      q = b + 1;
      continue;
    }
    const auto ea = level.previous.doc->Skip(a, level.previous.end, false);
    const auto eb = level.current.doc->Skip(b, level.current.end, false);
    if (!ea || !eb) return walk_result::kFailed;
    if (!EqualsIgnoreCase(a_name->view(), b_name->view()) || ea->is_container != eb->is_container) {
      if (level.inside()) return walk_result::kInside;
      if (!resynchronise(mask_kind::kTagMismatch, a, a_name, b, b_name)) {
        return walk_result::kDifferent;
      }
      continue;
    }
    policy.BeforeJumpLookup(level, mask_kind::kTagMismatch);
    if (const auto* r = FindRecord(level, mask_kind::kTagMismatch, false)) {
      level.n += r->count + 1ull;
    }
    if (IsDeclarationTag(a_name->view())) {
      p = ea->end;
      q = eb->end;
      continue;
    }
    const bool unclosed = ea->is_unclosed || eb->is_unclosed;
    const Element element{a,
                          unclosed ? level.previous.end : ea->end,
                          b,
                          unclosed ? level.current.end : eb->end,
                          a_name->view(),
                          ea->is_container};
    p = element.a_end;
    q = element.b_end;

    const bool same = SameBytes(*level.previous.doc, a, element.a_end, *level.current.doc, b,
                                element.b_end, level.common_prefix);
    const uint32_t allowing = element.container ? mask_kind::kWholeElement : mask_kind::kTagBytes;
    if (!same && FindRecord(level, allowing, true)) {
      ++level.n;
      continue;
    }
    auto* subtree = element.container ? FindRecord(level, mask_kind::kSubtree, false) : nullptr;
    const int next = same ? policy.ElementEqual(level, element, subtree)
                          : policy.ElementDiffers(level, element, subtree);
    if (next != kGoOn) return next;
  }
}

}  // namespace tw::walk
