// The fewest bytes that any block stream of a MODE can take to rebuild the
// newfile from the oldfile, as the first record of a new patch file: a
// bound that no encoder, ours or another, can go below.
//
// A dynamic program over (newfile position, running position) in which
// every way of coding a stretch costs at most what it really costs: exact
// for matches and plain data, and for the data before a match whose
// position a replace block implies only as cheap as its two cheapest
// headers. Time and memory grow with the product of the two sizes (four
// bytes per pair of positions), so it serves files of some tens of
// kilobytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace vd::test {

// None when the pair is too large to bound (a file over 60,000 bytes, or
// over 2^30 pairs of positions).
std::optional<std::int64_t> stream_lower_bound(int mode, std::span<const std::uint8_t> old,
                                               std::span<const std::uint8_t> neu);

}  // namespace vd::test
