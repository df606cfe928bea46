// Sorting file positions into ascending order.
#pragma once

#include <cstdint>
#include <vector>

namespace vd {

// Sorts `positions`, using `scratch` as room of the same size. A search
// lists the positions that agree with the newfile in the order of their
// suffixes, thousands of them where the file repeats itself; a sort by
// digits passes over them at most three times, where comparisons cost several
// times as long.
void sort_positions(std::vector<std::uint32_t>& positions, std::vector<std::uint32_t>& scratch);

}  // namespace vd
