#include "maker/position_sort.h"

#include <algorithm>
#include <array>

namespace vd {

void sort_positions(std::vector<std::uint32_t>& positions, std::vector<std::uint32_t>& scratch) {
  // Below this many, comparisons cost less than clearing the counts.
  constexpr std::size_t kFewPositions = 256;
  constexpr int kDigitBits = 11;
  constexpr std::uint32_t kDigitMask = (1u << kDigitBits) - 1;
  if (positions.size() < kFewPositions) {
    std::sort(positions.begin(), positions.end());
    return;
  }
  const std::uint32_t highest = *std::max_element(positions.begin(), positions.end());
  scratch.resize(positions.size());
  for (int shift = 0; shift < 32 && (highest >> shift) != 0; shift += kDigitBits) {
    std::array<std::uint32_t, kDigitMask + 2> starts{};
    for (const std::uint32_t position : positions) ++starts[((position >> shift) & kDigitMask) + 1];
    for (std::size_t digit = 1; digit < starts.size(); ++digit) starts[digit] += starts[digit - 1];
    for (const std::uint32_t position : positions) scratch[starts[(position >> shift) & kDigitMask]++] = position;
    positions.swap(scratch);
  }
}

}  // namespace vd
