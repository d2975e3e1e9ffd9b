// LearnDifferences and its recursive form LearnInside.
#include <algorithm>
#include <new>
#include <vector>

#include "smartupdate/compare.h"
#include "smartupdate/walk_internal.h"

namespace tw {
namespace {

using walk::Side;

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

// One level of the walk: the whole documents, or the inside of one container.
struct Level {
  Side previous;
  Side current;
  const char* previous_begin;
  const char* current_begin;
  bool inside;  // LearnInside: first text run under TagBytes, no resynchronisation
  int depth;
  MaskList* list;
  MaskEntry* cursor;  // the first record whose ordinal is not below n
  uint64_t n;
  int result = walk_result::kSame;
};

class Learner {
 public:
  Learner(SourceList* sources, LearnNotes* notes, size_t common_prefix)
      : sources_(sources), notes_(notes), common_prefix_(common_prefix) {}

  int Walk(Level& level);

 private:
  MaskEntry* Seek(Level& level) {
    level.cursor = const_cast<MaskEntry*>(walk::Seek(level.cursor, nullptr, level.n));
    return level.cursor;
  }
  MaskEntry* Find(Level& level, uint32_t kind, bool subtree_ends) {
    return const_cast<MaskEntry*>(walk::FindAt(Seek(level), nullptr, level.n, kind, subtree_ends));
  }
  MaskEntry* Insert(Level& level, uint32_t kind, uint64_t count);
  int Resync(Level& level, uint32_t kind, const char*& p, const char* a,
             const std::optional<TagName>& a_name, const char*& q, const char* b,
             const std::optional<TagName>& b_name);
  int Container(Level& level, const char* a, const char* a_end, const char* b, const char* b_end);

  SourceList* sources_;
  LearnNotes* notes_;
  size_t common_prefix_;
  // The last ordinals at which the top level looked for an ElementCount and a TagMismatch record.
  uint64_t count_lookup_ = UINT64_MAX;
  uint64_t mismatch_lookup_ = UINT64_MAX;
};

MaskEntry* Learner::Insert(Level& level, uint32_t kind, uint64_t count) {
  MaskEntry* at = Seek(level);
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

int Learner::Resync(Level& level, uint32_t kind, const char*& p, const char* a,
                    const std::optional<TagName>& a_name, const char*& q, const char* b,
                    const std::optional<TagName>& b_name) {
  const walk::ResyncOutcome out =
      walk::Resynchronise(level.previous, a, a_name, level.current, b, b_name);
  MaskEntry* record = Find(level, kind, false);
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
  p = out.previous;
  q = out.current;
  return walk_result::kSame;
}

// A container whose bytes differ and that no record allows: compare its inside, and record the
// outcome as a Subtree record with its span of records, or a WholeElement record.
int Learner::Container(Level& level, const char* a, const char* a_end, const char* b,
                       const char* b_end) {
  const uint64_t n = level.n;
  MaskEntry* subtree = Find(level, mask_kind::kSubtree, false);
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
    Level in{{level.previous.doc, a_end},
             {level.current.doc, b_end},
             a + 1,
             b + 1,
             true,
             level.depth + 1,
             &working,
             working.first(),
             n + 1};
    inside = Walk(in);
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
    return walk_result::kSame;
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
    return walk_result::kSame;
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
  return walk_result::kSame;
}

int Learner::Walk(Level& level) {
  const char* p = level.previous_begin;
  const char* q = level.current_begin;
  for (;;) {
    const char* a = walk::NextTag(level.previous, p);
    const char* b = walk::NextTag(level.current, q);
    if (!a && !b) break;
    if (!a || !b) {
      // One side has run out of start tags.
      const std::optional<TagName> name =
          a ? walk::NameAt(level.previous, a) : walk::NameAt(level.current, b);
      if (!name) {
        (a ? p : q) = (a ? a : b) + 1;
        continue;
      }
      if (level.inside) return walk_result::kInside;
      const std::optional<TagName> none;
      Resync(level, mask_kind::kElementCount, p, a, a ? name : none, q, b, b ? name : none);
      continue;
    }
    if (!level.inside) count_lookup_ = level.n;
    if (MaskEntry* r = Find(level, mask_kind::kElementCount, false)) level.n += r->count + 1ull;

    if (!walk::SameBytes(*level.previous.doc, p, a, *level.current.doc, q, b, common_prefix_)) {
      const bool first_run = level.inside && p == level.previous_begin && q == level.current_begin;
      const uint32_t kind = first_run ? mask_kind::kTagBytes : mask_kind::kTextBefore;
      if (!Find(level, kind, true)) {
        Insert(level, kind, 0);
        level.result = walk_result::kDifferent;
      }
      p = a;
      q = b;
      continue;
    }

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
      Resync(level, mask_kind::kTagMismatch, p, a, a_name, q, b, b_name);
      continue;
    }
    if (!level.inside) mismatch_lookup_ = level.n;
    if (MaskEntry* r = Find(level, mask_kind::kTagMismatch, false)) level.n += r->count + 1ull;
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

    if (walk::SameBytes(*level.previous.doc, a, a_end, *level.current.doc, b, b_end,
                        common_prefix_)) {
      if (!container) {
        ++level.n;
        continue;
      }
      if (sources_ && walk::IsFrameName(a_name->view())) {
        auto src = GetQuotedAttribute(a, static_cast<size_t>(level.previous.end - a), "src");
        if (src && AddFrameSource(*sources_, std::move(src->value))) return walk_result::kFailed;
      }
      const MaskEntry* subtree = Find(level, mask_kind::kSubtree, false);
      level.n += subtree ? subtree->count + 1ull : 1;
      continue;
    }
    const uint32_t allowing = container ? mask_kind::kWholeElement : mask_kind::kTagBytes;
    if (Find(level, allowing, true)) {
      ++level.n;
      continue;
    }
    if (!container) {
      Insert(level, mask_kind::kTagBytes, 0);
      level.result = walk_result::kDifferent;
      ++level.n;
      continue;
    }
    if (Container(level, a, a_end, b, b_end) == walk_result::kFailed) return walk_result::kFailed;
  }
  return level.result;
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
    Level top{{&prev_doc, prev_doc.end()},
              {&cur_doc, cur_doc.end()},
              prev_doc.begin(),
              cur_doc.begin(),
              false,
              0,
              &masks,
              masks.first(),
              0};
    return Learner(sources, notes, walk::CommonPrefix(previous, current)).Walk(top);
  } catch (const WalkFailed&) {
    return walk_result::kFailed;
  } catch (const std::bad_alloc&) {
    return walk_result::kFailed;
  }
}

}  // namespace tw
