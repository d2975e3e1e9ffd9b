// MatchWithMasks with MatchInside and CheckResync: the learning walk's counterpart that changes
// nothing and stops at the first difference no record allows. FindMaskedSpans makes the same
// walk over two equal downloads and notes where the records apply.
#include <new>

#include "smartupdate/compare.h"
#include "smartupdate/walk_internal.h"

namespace tw {
namespace {

using walk::Side;

struct Level {
  Side previous;
  Side current;
  const char* previous_begin;
  const char* current_begin;
  bool inside;
  int depth;
  const MaskEntry* cursor;  // the records of this level: from here up to `stop`
  const MaskEntry* stop;
  uint64_t n;
  size_t common_prefix;  // bytes the two documents have in common from their starts
  // Set: note where the records apply (the documents are then equal), in offsets from here.
  std::vector<ByteSpan>* spans;
  const char* spans_begin;
};

void AddSpan(Level& level, const char* begin, const char* end) {
  if (end > begin) {
    level.spans->push_back({static_cast<size_t>(begin - level.spans_begin),
                            static_cast<size_t>(end - level.spans_begin)});
  }
}

const MaskEntry* Find(Level& level, uint32_t kind, bool subtree_ends) {
  level.cursor = walk::Seek(level.cursor, level.stop, level.n);
  return walk::FindAt(level.cursor, level.stop, level.n, kind, subtree_ends);
}

// A resynchronisation is allowed when a record of its kind at n lets as many elements be passed
// over as it takes.
bool CheckResync(Level& level, uint32_t kind, const char*& p, const char* a,
                 const std::optional<TagName>& a_name, const char*& q, const char* b,
                 const std::optional<TagName>& b_name) {
  const walk::ResyncOutcome out =
      walk::Resynchronise(level.previous, a, a_name, level.current, b, b_name);
  const MaskEntry* record = Find(level, kind, false);
  if (!record || out.passed > record->count) return false;
  level.n += record->count + 1ull;
  p = out.previous;
  q = out.current;
  return true;
}

int Walk(Level& level) {
  const char* p = level.previous_begin;
  const char* q = level.current_begin;
  for (;;) {
    const char* a = walk::NextTag(level.previous, p);
    const char* b = walk::NextTag(level.current, q);
    if (!a && !b) {
      // What follows the last child of a container compared inside is never compared.
      if (level.spans && level.inside && p) AddSpan(level, p, level.previous.end);
      return walk_result::kSame;
    }
    if (!a || !b) {
      const std::optional<TagName> name =
          a ? walk::NameAt(level.previous, a) : walk::NameAt(level.current, b);
      if (!name) {
        (a ? p : q) = (a ? a : b) + 1;
        continue;
      }
      if (level.inside) return walk_result::kInside;
      const std::optional<TagName> none;
      if (!CheckResync(level, mask_kind::kElementCount, p, a, a ? name : none, q, b,
                       b ? name : none)) {
        return walk_result::kDifferent;
      }
      continue;
    }
    if (const MaskEntry* r = Find(level, mask_kind::kElementCount, false)) {
      level.n += r->count + 1ull;
    }

    const bool first_run = level.inside && p == level.previous_begin && q == level.current_begin;
    const uint32_t text_kind = first_run ? mask_kind::kTagBytes : mask_kind::kTextBefore;
    if (!walk::SameBytes(*level.previous.doc, p, a, *level.current.doc, q, b,
                         level.common_prefix)) {
      if (!Find(level, text_kind, true)) return walk_result::kDifferent;
      p = a;
      q = b;
      continue;
    }
    if (level.spans && p < a && Find(level, text_kind, true)) AddSpan(level, p, a);

    const std::optional<TagName> a_name = walk::NameAt(level.previous, a);
    const std::optional<TagName> b_name = walk::NameAt(level.current, b);
    if (!a_name || !b_name) {
      p = a + 1;
      q = b + 1;
      continue;
    }
    const auto ea = level.previous.doc->Skip(a, level.previous.end, false);
    const auto eb = level.current.doc->Skip(b, level.current.end, false);
    if (!ea || !eb) return walk_result::kFailed;
    if (!EqualsIgnoreCase(a_name->view(), b_name->view()) || ea->is_container != eb->is_container) {
      if (level.inside) return walk_result::kInside;
      if (!CheckResync(level, mask_kind::kTagMismatch, p, a, a_name, q, b, b_name)) {
        return walk_result::kDifferent;
      }
      continue;
    }
    if (const MaskEntry* r = Find(level, mask_kind::kTagMismatch, false)) {
      level.n += r->count + 1ull;
    }
    if (IsDeclarationTag(a_name->view())) {
      p = ea->end;
      q = eb->end;
      continue;
    }
    const bool container = ea->is_container;
    const bool unclosed = ea->is_unclosed || eb->is_unclosed;
    const char* a_end = unclosed ? level.previous.end : ea->end;
    const char* b_end = unclosed ? level.current.end : eb->end;
    p = a_end;
    q = b_end;

    const uint32_t element_kind = container ? mask_kind::kWholeElement : mask_kind::kTagBytes;
    const bool same = walk::SameBytes(*level.previous.doc, a, a_end, *level.current.doc, b, b_end,
                                      level.common_prefix);
    const MaskEntry* subtree = container ? Find(level, mask_kind::kSubtree, false) : nullptr;
    if (same && !(level.spans && subtree)) {
      if (level.spans && !subtree && Find(level, element_kind, true)) AddSpan(level, a, a_end);
      level.n += subtree ? subtree->count + 1ull : 1;
      continue;
    }
    if (!same && Find(level, element_kind, true)) {
      ++level.n;
      continue;
    }
    if (!subtree) return walk_result::kDifferent;
    // MatchInside over the records of the span.
    const uint64_t span_end = level.n + subtree->count;
    const MaskEntry* span_stop = subtree->next;
    while (span_stop != level.stop && span_stop->index <= span_end) span_stop = span_stop->next;
    if (span_stop == subtree->next) {
      // A span without records: a failure, where its container differs.
      if (!same) return walk_result::kFailed;
      level.n = span_end + 1;
      continue;
    }
    if (level.depth >= kMaxContainerDepth) {
      if (!same) return walk_result::kDifferent;
      level.n = span_end + 1;
      level.cursor = span_stop;
      continue;
    }
    Level in{{level.previous.doc, a_end},
             {level.current.doc, b_end},
             a + 1,
             b + 1,
             true,
             level.depth + 1,
             subtree->next,
             span_stop,
             level.n + 1,
             level.common_prefix,
             level.spans,
             level.spans_begin};
    const int inside = Walk(in);
    if (inside == walk_result::kFailed) return inside;
    if (inside != walk_result::kSame) return walk_result::kDifferent;
    level.n = span_end + 1;
    level.cursor = span_stop;
  }
}

int WalkTop(std::string_view previous, std::string_view current, const MaskList& masks,
            std::vector<ByteSpan>* spans) {
  const walk::Document prev_doc(previous);
  const walk::Document cur_doc(current);
  Level top{{&prev_doc, prev_doc.end()},
            {&cur_doc, cur_doc.end()},
            prev_doc.begin(),
            cur_doc.begin(),
            false,
            0,
            masks.first(),
            nullptr,
            0,
            walk::CommonPrefix(previous, current),
            spans,
            previous.data()};
  return Walk(top);
}

}  // namespace

int MatchWithMasks(std::string_view previous, std::string_view current, const MaskList& masks) {
  try {
    return WalkTop(previous, current, masks, nullptr);
  } catch (const std::bad_alloc&) {
    return walk_result::kFailed;
  }
}

int FindMaskedSpans(std::string_view document, const MaskList& masks,
                    std::vector<ByteSpan>& spans) {
  spans.clear();
  try {
    return WalkTop(document, document, masks, &spans);
  } catch (const std::bad_alloc&) {
    return walk_result::kFailed;
  }
}

}  // namespace tw
