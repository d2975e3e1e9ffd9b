// Pieces the two walks share: the documents with their element indexes, the resynchronisation
// that brings them back into step after a structural difference, and record lookups.
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

// The first record at or after `from`, and before `stop`, whose ordinal is not below n.
inline const MaskEntry* Seek(const MaskEntry* from, const MaskEntry* stop, uint64_t n) {
  while (from != stop && from->index < n) from = from->next;
  return from;
}

// The first record of `kind` among the records at ordinal n from `at` (the seek position); with
// `subtree_ends`, a Subtree record met first ends the search.
inline const MaskEntry* FindAt(const MaskEntry* at, const MaskEntry* stop, uint64_t n,
                               uint32_t kind, bool subtree_ends) {
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

}  // namespace tw::walk
