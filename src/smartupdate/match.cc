// MatchWithMasks: the walk with the matching policy, which changes nothing and stops at the first
// difference no record allows, with its recursive form MatchInside and CheckResync.
// FindMaskedSpans makes the same walk over two equal downloads and notes where the records apply.
#include <new>

#include "smartupdate/compare.h"
#include "smartupdate/walk_internal.h"

namespace tw {
namespace {

using Level = walk::Level<const MaskEntry>;

class Matcher {
 public:
  // With `spans`, notes where the records apply (the documents are then equal), in offsets from
  // `spans_begin`.
  Matcher(std::vector<ByteSpan>* spans, const char* spans_begin)
      : spans_(spans), spans_begin_(spans_begin) {}

  int AtEnd(const Level& level, const char* p) {
    // What follows the last child of a container compared inside is never compared.
    if (spans_ && level.inside() && p) AddSpan(p, level.previous.end);
    return walk_result::kSame;
  }
  void BeforeJumpLookup(const Level&, uint32_t) {}
  bool Resynchronised(Level& level, uint32_t kind, const walk::ResyncOutcome& out) {
    return CheckResync(level, kind, out);
  }
  bool TextDiffers(Level& level, uint32_t kind) {
    return walk::FindRecord(level, kind, true) != nullptr;
  }
  void TextEqual(Level& level, uint32_t kind, const char* begin, const char* end) {
    if (spans_ && walk::FindRecord(level, kind, true)) AddSpan(begin, end);
  }
  int ElementEqual(Level& level, const walk::Element& e, const MaskEntry* subtree);
  int ElementDiffers(Level& level, const walk::Element& e, const MaskEntry* subtree) {
    if (!subtree) return walk_result::kDifferent;
    return MatchInside(level, e, *subtree, false);
  }

 private:
  void AddSpan(const char* begin, const char* end) {
    if (end > begin) {
      spans_->push_back(
          {static_cast<size_t>(begin - spans_begin_), static_cast<size_t>(end - spans_begin_)});
    }
  }
  bool CheckResync(Level& level, uint32_t kind, const walk::ResyncOutcome& out);
  int MatchInside(Level& level, const walk::Element& e, const MaskEntry& subtree, bool same);

  std::vector<ByteSpan>* spans_;
  const char* spans_begin_;
};

// A resynchronisation is allowed when a record of its kind at n lets as many elements be passed
// over as it takes.
bool Matcher::CheckResync(Level& level, uint32_t kind, const walk::ResyncOutcome& out) {
  const MaskEntry* record = walk::FindRecord(level, kind, false);
  if (!record || out.passed > record->count) return false;
  level.n += record->count + 1ull;
  return true;
}

int Matcher::ElementEqual(Level& level, const walk::Element& e, const MaskEntry* subtree) {
  // Looking for spans, a Subtree container is looked into for the records of its span.
  if (spans_ && subtree) return MatchInside(level, e, *subtree, true);
  if (spans_) {
    const uint32_t allowing = e.container ? mask_kind::kWholeElement : mask_kind::kTagBytes;
    if (walk::FindRecord(level, allowing, true)) AddSpan(e.a, e.a_end);
  }
  level.n += subtree ? subtree->count + 1ull : 1;
  return walk::kGoOn;
}

// The container `e` has a Subtree record: its inside is compared under the records of its span.
int Matcher::MatchInside(Level& level, const walk::Element& e, const MaskEntry& subtree,
                         bool same) {
  const uint64_t span_end = level.n + subtree.count;
  const MaskEntry* span_stop = subtree.next;
  while (span_stop != level.stop && span_stop->index <= span_end) span_stop = span_stop->next;
  if (span_stop == subtree.next) {
    // A span without records: a failure, where its container differs.
    if (!same) return walk_result::kFailed;
    level.n = span_end + 1;
    return walk::kGoOn;
  }
  if (level.depth >= kMaxContainerDepth) {
    if (!same) return walk_result::kDifferent;
    level.n = span_end + 1;
    level.cursor = span_stop;
    return walk::kGoOn;
  }
  Level in = walk::Inside<const MaskEntry>(level, e, subtree.next, span_stop, level.n + 1);
  const int inside = walk::Walk(*this, in);
  if (inside == walk_result::kFailed) return inside;
  if (inside != walk_result::kSame) return walk_result::kDifferent;
  level.n = span_end + 1;
  level.cursor = span_stop;
  return walk::kGoOn;
}

int WalkTop(std::string_view previous, std::string_view current, const MaskList& masks,
            std::vector<ByteSpan>* spans) {
  const walk::Document prev_doc(previous);
  const walk::Document cur_doc(current);
  Level top = Level::Top(prev_doc, cur_doc, masks.first());
  Matcher matcher(spans, previous.data());
  return walk::Walk(matcher, top);
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
