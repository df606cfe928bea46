#include "maker/position_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace vd {
namespace {

// Lists short and long, of positions in small and large files (one digit to
// all 32 bits), with many repeats and none; sorted as std::sort sorts them.
TEST(SortPositions, SortsAsComparisonsDo) {
  std::mt19937 random(11);
  std::vector<std::uint32_t> scratch;
  for (const std::size_t count : {0u, 1u, 255u, 256u, 257u, 1000u, 20000u}) {
    for (const std::uint32_t highest : {0u, 7u, 2047u, 2048u, 5000000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
      std::vector<std::uint32_t> positions(count);
      for (std::uint32_t& position : positions)
        position = static_cast<std::uint32_t>(std::uniform_int_distribution<std::uint64_t>(0, highest)(random));
      std::vector<std::uint32_t> expected = positions;
      std::sort(expected.begin(), expected.end());
      sort_positions(positions, scratch);
      EXPECT_EQ(positions, expected) << count << " positions up to " << highest;
    }
  }
}

}  // namespace
}  // namespace vd
