// Where each container element of one document ends, found in one pass.
//
// SkipElement scans from a start tag to the end tag that balances it, so a walk that skips the
// elements of every nesting level of a page scans the inner bytes once per level, and an element
// without an end tag (a br, an h1 named "h") scans to the end of its range. The index answers
// the same question in O(log n) after one pass over the document, with the same results for any
// range inside the document: it balances, for every name, the start tags that begin with the
// name against the "</name>" end tags exactly as SkipElement does, and only compares where the
// balancing end tag lies with the end of the range asked about.
//
// Memory: 8 bytes per container start tag (16 while building). The document must outlive the
// index and not change.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "smartupdate/html_scan.h"

namespace tw {

class ElementIndex {
 public:
  explicit ElementIndex(std::string_view document);

  // What SkipElement(pos, remaining) gives, for `pos` inside the indexed document. With
  // `want_first_child` false an unclosed container's `end` is the range end instead of its
  // first child, which saves the scan for callers that only need the extent.
  std::optional<SkippedElement> Skip(const char* pos, size_t remaining,
                                     bool want_first_child = true) const;

  size_t containers() const { return starts_.size(); }

 private:
  static constexpr uint32_t kNoEnd = UINT32_MAX;
  void Build();

  std::string_view document_;
  std::vector<uint32_t> starts_;  // offsets of container start tags, ascending
  std::vector<uint32_t> ends_;    // offset just after the balancing end tag, or kNoEnd
};

}  // namespace tw
