// The comparison walk of Smart Update, which learns (LearnDifferences) or matches under what was
// learned (MatchWithMasks, FindMaskedSpans).
//
// It walks the previous and the new HTML of a document side by side, start tag by start tag,
// comparing the raw bytes of the text between tags and of each element, and number the elements
// they visit (the element ordinals that mask records refer to): from 0, comments and declarations
// unnumbered, an unchanged container one number unless a Subtree record says how many its inside
// used, TagMismatch and ElementCount records making the numbering jump by their count plus one.
//
// LearnDifferences adds and changes records so that the differences it finds are allowed from
// then on; MatchWithMasks only asks whether every difference is allowed by the records.
//
// A container whose bytes differ is compared element by element inside, recursively; nesting is
// bounded by kMaxContainerDepth, below which a container is compared as one whole element.
//
// Text after the last start tag of a document is not compared on its own, except where neither
// document has a start tag at all: text alone is compared whole, as the text before element 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "pagefile/page_record.h"
#include "smartupdate/frames.h"

namespace tw {

// MaskEntry kinds.
namespace mask_kind {
inline constexpr uint32_t kTextBefore = 1;    // the text before element n may differ
inline constexpr uint32_t kTagBytes = 2;      // element n (not a container) may differ
inline constexpr uint32_t kTagMismatch = 3;   // up to count elements passed over to get in step
inline constexpr uint32_t kElementCount = 4;  // one document ran out of elements at n
inline constexpr uint32_t kSubtree = 5;       // container n compared inside; count ordinals inside
inline constexpr uint32_t kWholeElement = 6;  // container n may differ as a whole
}  // namespace mask_kind

// Walk results.
namespace walk_result {
inline constexpr int kSame = 0;       // no difference outside the records
inline constexpr int kInside = 1;     // (inside a container only) the children do not line up
inline constexpr int kFailed = 2;     // an element cannot be skipped, memory, broken records
inline constexpr int kDifferent = 3;  // differences found (learned, for LearnDifferences)
}  // namespace walk_result

// How many containers deep the walks look inside. Real pages nest a few dozen containers; this
// walk also nests every unclosed container (a br, an h1 named "h", a p or li without end tag)
// around the rest of its parent, which on long hand-written pages reaches a few hundred. Beyond
// this depth a container is compared as one whole element, which keeps a hostile page of a
// million nested elements to a bounded stack (the recursion is this deep at most) and to at most
// this many passes over the document.
inline constexpr int kMaxContainerDepth = 1000;

// What a learning walk tells about itself beyond its result.
struct LearnNotes {
  // A TagMismatch or ElementCount record was added at an ordinal where this walk had already
  // looked for one. Both kinds make the numbering jump wherever they are found: an ElementCount
  // record wherever both documents still have a start tag, a TagMismatch record at every pair of
  // elements of the same name, comments and declarations included, and neither of these uses an
  // ordinal of its own. So when a comment, a declaration or an unreadable '<' stands before the
  // place where the documents fell out of step, the next walk over the same pair meets the new
  // record earlier than this one did, jumps, and no longer lines up: the pair just learned is
  // not accepted by MatchWithMasks, and learning it again adds records.
  bool jump_record_after_lookup = false;
};

// Compares `previous` with `current` and learns every difference into `masks` (kept in ascending
// order of ordinal). With `sources`, the src of every frame or iframe element found unchanged in
// both is appended (read from `previous`). A list out of order (a damaged page file) is sorted
// first. Returns kSame, kDifferent or kFailed; after kFailed the list may hold part of what was
// learned, so callers walk a copy.
int LearnDifferences(std::string_view previous, std::string_view current, MaskList& masks,
                     SourceList* sources, LearnNotes* notes = nullptr);

// Whether every difference between `previous` and `current` is allowed by `masks`: kSame,
// kDifferent, or kFailed (an element cannot be skipped, or a Subtree record covers no records).
int MatchWithMasks(std::string_view previous, std::string_view current, const MaskList& masks);

// Byte offsets [begin, end) in a document.
struct ByteSpan {
  size_t begin = 0;
  size_t end = 0;
  bool operator==(const ByteSpan&) const = default;
};

// The parts of a document that its records cover: the walk MatchWithMasks makes over two equal
// downloads of the document, noting in document order every text run and element that a record
// at its ordinal would allow to differ, inside Subtree containers too (where what follows the
// last child is never compared, and so may differ as well). TagMismatch and
// ElementCount records only move the numbering on: one document alone cannot tell which of its
// elements they would let pass. Returns kSame, or kFailed (an element that cannot be skipped;
// the spans found so far are kept).
int FindMaskedSpans(std::string_view document, const MaskList& masks, std::vector<ByteSpan>& spans);

}  // namespace tw
