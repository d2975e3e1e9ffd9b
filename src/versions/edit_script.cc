#include "versions/edit_script.h"

#include <dtl/dtl.hpp>

namespace tw {

std::vector<EditStep> EditScript(const std::vector<uint32_t>& earlier,
                                 const std::vector<uint32_t>& current) {
  size_t head = 0;
  while (head < earlier.size() && head < current.size() && earlier[head] == current[head]) ++head;
  size_t tail = 0;
  while (tail < earlier.size() - head && tail < current.size() - head &&
         earlier[earlier.size() - 1 - tail] == current[current.size() - 1 - tail]) {
    ++tail;
  }
  std::vector<EditStep> steps;
  steps.reserve(earlier.size() + current.size() - head - tail);
  for (size_t i = 0; i < head; ++i) steps.push_back({Edit::kSame, i});

  const std::vector<uint32_t> a(earlier.begin() + static_cast<ptrdiff_t>(head),
                                earlier.end() - static_cast<ptrdiff_t>(tail));
  const std::vector<uint32_t> b(current.begin() + static_cast<ptrdiff_t>(head),
                                current.end() - static_cast<ptrdiff_t>(tail));
  if (uint64_t{a.size()} * b.size() > kMaxDiffCells || a.empty() || b.empty()) {
    for (size_t i = 0; i < a.size(); ++i) steps.push_back({Edit::kRemoved, head + i});
    for (size_t i = 0; i < b.size(); ++i) steps.push_back({Edit::kAdded, head + i});
  } else {
    dtl::Diff<uint32_t, std::vector<uint32_t>> diff(a, b, true);
    diff.compose();
    for (const auto& [value, info] : diff.getSes().getSequence()) {
      switch (info.type) {
        case dtl::SES_COMMON:
          steps.push_back({Edit::kSame, head + static_cast<size_t>(info.beforeIdx - 1)});
          break;
        case dtl::SES_DELETE:
          steps.push_back({Edit::kRemoved, head + static_cast<size_t>(info.beforeIdx - 1)});
          break;
        default:
          steps.push_back({Edit::kAdded, head + static_cast<size_t>(info.afterIdx - 1)});
      }
    }
  }
  for (size_t i = 0; i < tail; ++i) steps.push_back({Edit::kSame, earlier.size() - tail + i});
  return steps;
}

}  // namespace tw
