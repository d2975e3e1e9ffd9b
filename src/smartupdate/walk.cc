#include "smartupdate/walk_internal.h"

namespace tw::walk {

std::optional<SkippedElement> Document::Skip(const char* pos, const char* range_end,
                                             bool want_first_child) const {
  if (!index_) index_.emplace(bytes_);
  return index_->Skip(pos, static_cast<size_t>(range_end - pos), want_first_child);
}

size_t CommonPrefix(std::string_view a, std::string_view b) {
  const size_t length = std::min(a.size(), b.size());
  constexpr size_t kBlock = 4096;
  size_t at = 0;
  while (at + kBlock <= length && std::memcmp(a.data() + at, b.data() + at, kBlock) == 0) {
    at += kBlock;
  }
  while (at < length && a[at] == b[at]) ++at;
  return at;
}

namespace {

// The start tags from which each side goes on after passing over its element at `a` / `b`. When
// only one of the two is an unclosed container, that side steps into it instead (past its start
// tag only), since its children may be what the other side has next.
void PassOver(const Side& previous, const char*& a, const Side& current, const char*& b) {
  std::optional<SkippedElement> ea, eb;
  if (a) ea = previous.doc->Skip(a, previous.end, true);
  if (b) eb = current.doc->Skip(b, current.end, true);
  const bool a_unclosed = ea && ea->is_unclosed;
  const bool b_unclosed = eb && eb->is_unclosed;
  auto step = [](const Side& side, const char* tag, const std::optional<SkippedElement>& e,
                 bool step_into) -> const char* {
    if (!tag) return nullptr;
    if (step_into) {
      const std::optional<const char*> gt = SkipStartTag(tag, static_cast<size_t>(side.end - tag));
      return gt ? NextTag(side, *gt) : nullptr;
    }
    return e ? NextTag(side, e->end) : nullptr;  // an element that cannot be skipped ends the side
  };
  const bool one_unclosed = a_unclosed != b_unclosed;
  a = step(previous, a, ea, one_unclosed && a_unclosed);
  b = step(current, b, eb, one_unclosed && b_unclosed);
}

}  // namespace

ResyncOutcome Resynchronise(const Side& previous, const char* a,
                            const std::optional<TagName>& a_name, const Side& current,
                            const char* b, const std::optional<TagName>& b_name) {
  const char* na = a;
  const char* nb = b;
  PassOver(previous, na, current, nb);
  for (uint64_t passed = 0;; ++passed) {
    std::optional<TagName> na_name, nb_name;
    for (;;) {
      if (na) na_name = NameAt(previous, na);
      if (nb) nb_name = NameAt(current, nb);
      if ((!na || na_name) && (!nb || nb_name)) break;
      // Both sides move one character on, as the walk does at an unreadable tag.
      if (na) na = NextTag(previous, na + 1);
      if (nb) nb = NextTag(current, nb + 1);
      na_name.reset();
      nb_name.reset();
    }
    if (na && nb && na_name->view() == nb_name->view()) return {na, nb, passed, false};
    if (a_name && nb && nb_name->view() == a_name->view()) return {a, nb, passed, false};
    if (b_name && na && na_name->view() == b_name->view()) return {na, b, passed, false};
    PassOver(previous, na, current, nb);
    if (!na && !nb) return {nullptr, nullptr, 0, true};
  }
}

}  // namespace tw::walk
