// Estimated sizes of a match block, per MODE, that steer the match search.
//
// These are estimates, not the exact coded sizes: several tiers carry a
// deliberate surcharge (the MODE 3 two-byte near and far forms count 5 more
// than they code, the MODE 4 middle tier 8), which biases the search toward
// cheaper forms. The longest block of each MODE (block_length_limit) bounds
// the search too.
// Patch files made earlier depend on exactly these numbers: the same inputs
// must keep giving the same patch file.
#pragma once

#include <array>
#include <cstdint>

#include "core/block_forms.h"

namespace vd {

struct CostContext {
  std::int64_t running = 0;          // R: end of the previous match
  std::int64_t replacePosition = 0;  // MODE 4 only
  // oldSize + patchDataSize, the far width's bound in MODE 3.
  std::int64_t referenceSize = 0;
};

// The last length of every length tier of the tables below, in any MODE and
// either file: between two of these (and beyond the last) the length part of
// a cost stays the same.
inline constexpr std::array<std::int64_t, 5> kLengthTierEnds = {
    kMode3ShortMax, kMode4LengthMask, kMode1LengthMask, extended_u16_max(4), extended_u16_max(1)};

// Every reference position where a table's position part may change: a
// position part stays the same from one of these up to the next.
inline constexpr std::size_t kPriceChangeCount = 14;
std::array<std::int64_t, kPriceChangeCount> price_change_positions(const CostContext& context);

// Cost of a candidate of `length` bytes at reference position q in the oldfile.
int oldfile_match_cost(int mode, std::int64_t length, std::int64_t q, const CostContext& context);

// Cost of a candidate in the existing patch file (q >= oldSize).
int patchfile_match_cost(int mode, std::int64_t length, std::int64_t q, const CostContext& context);

}  // namespace vd
