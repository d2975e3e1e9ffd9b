// What changed between an earlier version of a page and its content now.
//
// For the page and each of its frames: the visible text as a word-level diff, with the parts
// that change on every download left out of both sides (the spans each side's mask records
// cover; a side without records of its own takes the other side's), and the raw HTML as a
// line diff in unified form for those who want it. Lines are compared first; the words of the
// lines that differ are then compared among themselves, so a small change in a long page costs
// little.
//
// Pure functions on records the caller has read; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "pagefile/page_record.h"

namespace tw {

enum class DiffKind { kSame, kRemoved, kAdded };

// A run of text of one kind. Runs put one after another give each side's text: a word carries
// the space before it, and a line break is "\n".
struct DiffRun {
  DiffKind kind;
  std::string text;
  bool operator==(const DiffRun&) const = default;
};

struct DocumentDiff {
  std::string address;            // the page's address, or the frame's
  bool changed = false;           // the text diff has a removed or added run
  std::vector<DiffRun> text;      // the visible text, volatile parts left out
  std::vector<std::string> html;  // "@@ -a,b +c,d @@" hunk heads and lines led by ' ', '-', '+'
};

// The page first, then its frames, matched by address: a frame found in one side only is
// diffed against nothing.
std::vector<DocumentDiff> DiffPages(const PageRecord& earlier, const PageRecord& current);

// The pieces, for one document each.
std::vector<DiffRun> DiffVisibleText(std::string_view earlier, const MaskList& earlier_masks,
                                     std::string_view current, const MaskList& current_masks);
std::vector<std::string> DiffHtml(std::string_view earlier, std::string_view current);

}  // namespace tw
