// The shortest edit script between two sequences, on the diff library of the system's packages
// (dtl, Wu's O(NP) algorithm), with the common start and end taken off first and a bound on the
// work: where what is left of the two would cost more than kMaxDiffCells to compare, it is
// given as removed whole and added whole. Internal to the versions library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tw {

inline constexpr uint64_t kMaxDiffCells = 25'000'000;

enum class Edit { kSame, kRemoved, kAdded };

struct EditStep {
  Edit edit;
  size_t index;  // into the earlier sequence (kSame, kRemoved) or the current one (kAdded)
};

// Removals come before the additions they stand beside.
std::vector<EditStep> EditScript(const std::vector<uint32_t>& earlier,
                                 const std::vector<uint32_t>& current);

}  // namespace tw
