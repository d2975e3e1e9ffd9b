// Frames and inline frames of a page: finding their sources in a document and keeping the page's
// frame entries in line with them.
#pragma once

#include <cstddef>
#include <string_view>

#include "foundation/owned_list.h"
#include "pagefile/page_record.h"
#include "platform/error.h"

namespace tw {

// The `src` values found in one document, in document order.
using SourceList = OwnedList<StringNode>;
// A check job's frames to visit: nodes pointing at the page's FrameEntry records, which the
// page's frame list owns.
using FrameVisitList = OwnedList<RefNode<FrameEntry>>;

// A page cannot make us fetch more frames than this: sources beyond it are not collected.
inline constexpr size_t kMaxFrameSources = 256;

// Appends the double-quoted `src` of every element whose name begins with "frame" or "iframe"
// (any case) to `sources`. The scan stops, successfully, at the first '<' whose tag name cannot
// be read. Fails only when memory runs out (8).
Error CollectFrameSources(std::string_view document, SourceList& sources);

// Appends `value` unless the list is full. Fails only when memory runs out (8).
Error AddFrameSource(SourceList& sources, std::string value);

// Makes each source absolute against the page address (http:// and https:// sources stay as they
// are), then: removes every frame on `visits` whose address matches no source (case-insensitive),
// from the visit list and from the page; and adds a frame with the page's waitSeconds for every
// source that matches no visit, to the page and to the visit list. Empty sources, and sources that
// do not resolve to an http or https address, are not frames we could fetch and are left out.
// frameCount follows.
// Fails only when memory runs out (8); the lists then hold what was done so far.
Error ResolveFrameSources(SourceList& sources, PageRecord& page, FrameVisitList& visits);

}  // namespace tw
