// LearnDifferences: the walk with the learning policy, and its recursive form LearnInside.
#include <algorithm>
#include <new>
#include <vector>

#include "smartupdate/compare.h"
#include "smartupdate/walk_internal.h"

namespace tw {
namespace {

// Among records at the same ordinal the order matters: the text and element lookups stop at a
// Subtree record, a Subtree record is followed by its span, and a resynchronisation that runs to
// the end deletes the records after its own. So records at one ordinal are kept in this order.
int Rank(uint32_t kind) {
  switch (kind) {
    case mask_kind::kTextBefore:
      return 0;
    case mask_kind::kTagBytes:
    case mask_kind::kWholeElement:
      return 1;
    case mask_kind::kTagMismatch:
    case mask_kind::kElementCount:
      return 2;
    default:
      return 3;  // Subtree
  }
}

// A walk failure that unwinds the recursion (ordinals that no longer fit the records).
struct WalkFailed {};

uint32_t Ordinal(uint64_t n) {
  if (n > UINT32_MAX) throw WalkFailed{};
  return static_cast<uint32_t>(n);
}

// One level of the learning walk: the records of the level are a list of its own (the whole list,
// or the working list of a container's span), and the level's result.
struct Level : walk::Level<MaskEntry> {
  MaskList* list;
  int result = walk_result::kSame;
};

// The learning policy of walk::Walk (LearnDifferences, and LearnInside on the inside of a
// container): every difference no record allows becomes a record.
class Learner {
 public:
  Learner(SourceList* sources, LearnNotes* notes) : sources_(sources), notes_(notes) {}

  int AtEnd(Level& level, const char*) { return level.result; }
  void BeforeJumpLookup(const Level& level, uint32_t kind) {
    if (level.inside()) return;
    (kind == mask_kind::kElementCount ? count_lookup_ : mismatch_lookup_) = level.n;
  }
  bool Resynchronised(Level& level, uint32_t kind, const walk::ResyncOutcome& out);
  bool TextDiffers(Level& level, uint32_t kind) {
    if (!walk::FindRecord(level, kind, true)) {
      Insert(level, kind, 0);
      level.result = walk_result::kDifferent;
    }
    return true;
  }
  void TextEqual(Level&, uint32_t, const char*, const char*) {}
  int ElementEqual(Level& level, const walk::Element& e, const MaskEntry* subtree);
  int ElementDiffers(Level& level, const walk::Element& e, MaskEntry* subtree);

 private:
  MaskEntry* Insert(Level& level, uint32_t kind, uint64_t count);
  int LearnInside(Level& level, const walk::Element& e, MaskEntry* subtree);

  SourceList* sources_;
  LearnNotes* notes_;
  // The last ordinals at which the top level looked for an ElementCount and a TagMismatch record.
  uint64_t count_lookup_ = UINT64_MAX;
  uint64_t mismatch_lookup_ = UINT64_MAX;
};

MaskEntry* Learner::Insert(Level& level, uint32_t kind, uint64_t count) {
  MaskEntry* at = walk::Seek(level.cursor, level.stop, level.n);
  level.cursor = at;
  while (at && at->index == level.n && Rank(at->kind) <= Rank(kind)) at = at->next;
  auto node = std::make_unique<MaskEntry>(Ordinal(level.n), kind, Ordinal(count));
  MaskEntry* inserted =
      at ? level.list->InsertBefore(at, std::move(node)) : level.list->Append(std::move(node));
  if (at == level.cursor) level.cursor = inserted;
  return inserted;
}

// Adds `delta` to the ordinal of every record from `from` on.
void Shift(MaskEntry* from, int64_t delta) {
  for (; from; from = from->next) {
    const int64_t moved = static_cast<int64_t>(from->index) + delta;
    if (moved < 0 || moved > UINT32_MAX) throw WalkFailed{};
    from->index = static_cast<uint32_t>(moved);
  }
}

bool Learner::Resynchronised(Level& level, uint32_t kind, const walk::ResyncOutcome& out) {
  MaskEntry* record = walk::FindRecord(level, kind, false);
  if (!record) {
    record = Insert(level, kind, 0);
    level.result = walk_result::kDifferent;
    const uint64_t looked = kind == mask_kind::kElementCount ? count_lookup_ : mismatch_lookup_;
    if (notes_ && looked == level.n) notes_->jump_record_after_lookup = true;
  }
  if (out.reached_end) {
    // Nothing after this point is compared any more: the records of later ordinals go. Those at
    // this ordinal stay, since the walk may have used them already (the text before it).
    for (MaskEntry* r = record->next; r;) {
      MaskEntry* next = r->next;
      if (r->index > level.n) level.list->Remove(r);
      r = next;
    }
  }
  const uint32_t passed = Ordinal(out.passed);
  if (level.result == walk_result::kDifferent) {
    record->count = passed;
  } else if (passed > record->count) {
    record->count = passed;
    level.result = walk_result::kDifferent;
  }
  level.n += static_cast<uint64_t>(record->count) + 1;
  return true;
}

int Learner::ElementEqual(Level& level, const walk::Element& e, const MaskEntry* subtree) {
  if (!e.container) {
    ++level.n;
    return walk::kGoOn;
  }
  if (sources_ && walk::IsFrameName(e.name)) {
    auto src = GetQuotedAttribute(e.a, static_cast<size_t>(level.previous.end - e.a), "src");
    if (src && AddFrameSource(*sources_, std::move(src->value))) return walk_result::kFailed;
  }
  level.n += subtree ? subtree->count + 1ull : 1;
  return walk::kGoOn;
}

int Learner::ElementDiffers(Level& level, const walk::Element& e, MaskEntry* subtree) {
  if (e.container) return LearnInside(level, e, subtree);
  Insert(level, mask_kind::kTagBytes, 0);
  level.result = walk_result::kDifferent;
  ++level.n;
  return walk::kGoOn;
}

// A container whose bytes differ and that no record allows: compare its inside, and record the
// outcome as a Subtree record with its span of records, or a WholeElement record.
int Learner::LearnInside(Level& level, const walk::Element& e, MaskEntry* subtree) {
  const uint64_t n = level.n;
  const uint64_t old_count = subtree ? subtree->count : 0;
  // The span's records move to a working list of their own for the inside walk.
  MaskList working;
  if (subtree) {
    while (subtree->next && subtree->next->index <= n + old_count) {
      working.Append(level.list->Unlink(subtree->next));
    }
  }
  int inside = walk_result::kInside;
  uint64_t last = n;
  if (level.depth < kMaxContainerDepth) {
    Level in{walk::Inside<MaskEntry>(level, e, working.first(), nullptr, n + 1), &working};
    inside = walk::Walk(*this, in);
    last = in.n - 1;
    for (const MaskEntry& r : working) last = std::max<uint64_t>(last, r.index);
  }
  if (inside == walk_result::kFailed) return inside;

  auto put_back_after = [&](MaskEntry* where) {
    while (MaskEntry* r = working.last()) level.list->InsertAfter(where, working.Unlink(r));
  };
  if (inside == walk_result::kSame && !working.empty()) {
    put_back_after(subtree);
    level.n = n + old_count + 1;
    return walk::kGoOn;
  }
  if (inside == walk_result::kInside || working.empty()) {
    // Masked whole: the span's records go, and later ordinals close up.
    MaskEntry* record = subtree;
    if (record) {
      record->kind = mask_kind::kWholeElement;
      record->count = 0;
    } else {
      record = Insert(level, mask_kind::kWholeElement, 0);
    }
    Shift(record->next, -static_cast<int64_t>(old_count));
    level.result = walk_result::kDifferent;
    level.n = n + 1;
    return walk::kGoOn;
  }
  // Compared inside with differences learned: the working list becomes the span.
  const uint32_t count = Ordinal(last - n);
  if (subtree) {
    subtree->count = count;
  } else {
    subtree = Insert(level, mask_kind::kSubtree, count);
  }
  MaskEntry* after_span = subtree->next;
  put_back_after(subtree);
  Shift(after_span, static_cast<int64_t>(count) - static_cast<int64_t>(old_count));
  level.result = walk_result::kDifferent;
  level.n = last + 1;
  return walk::kGoOn;
}

// Records read from a damaged page file may be out of order; every rule of the walk assumes
// ascending ordinals, so learning first puts them back in order (records at one ordinal keep
// theirs).
void RestoreOrder(MaskList& list) {
  bool ascending = true;
  for (const MaskEntry* r = list.first(); r && r->next; r = r->next) {
    if (r->next->index < r->index) ascending = false;
  }
  if (ascending) return;
  std::vector<MaskEntry*> nodes;
  nodes.reserve(list.count());  // no allocation once nodes are unlinked
  while (MaskEntry* r = list.first()) nodes.push_back(list.Unlink(r));
  std::stable_sort(nodes.begin(), nodes.end(),
                   [](const MaskEntry* a, const MaskEntry* b) { return a->index < b->index; });
  for (MaskEntry* r : nodes) list.Append(r);
}

}  // namespace

int LearnDifferences(std::string_view previous, std::string_view current, MaskList& masks,
                     SourceList* sources, LearnNotes* notes) {
  try {
    RestoreOrder(masks);
    const walk::Document prev_doc(previous);
    const walk::Document cur_doc(current);
    Level top{walk::Level<MaskEntry>::Top(prev_doc, cur_doc, masks.first()), &masks};
    Learner learner(sources, notes);
    return walk::Walk(learner, top);
  } catch (const WalkFailed&) {
    return walk_result::kFailed;
  } catch (const std::bad_alloc&) {
    return walk_result::kFailed;
  }
}

}  // namespace tw
