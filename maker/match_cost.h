// Estimated sizes of a match block, per MODE, that steer the match search.
//
// These are estimates, not the exact coded sizes: several tiers carry a
// deliberate surcharge (the MODE 3 near tiers count 5 more than they code,
// the MODE 4 middle tier 8), which biases the search toward cheaper forms.
// Patch files made earlier depend on exactly these numbers: the same inputs
// must keep giving the same patch file.
#pragma once

#include <cstdint>

namespace vd {

struct CostContext {
  std::int64_t running = 0;          // R: end of the previous match
  std::int64_t replacePosition = 0;  // MODE 4 only
  // oldSize + patchDataSize, the far width's bound in MODE 3.
  std::int64_t referenceSize = 0;
};

// The longest block of each MODE, data or match; the search stops at it too.
constexpr std::int64_t block_length_limit(int mode) {
  return mode == 2 ? 16383 : mode == 3 ? 8224 : 0xFFFFFF;
}

// Cost of a candidate of `length` bytes at reference position q in the oldfile.
int oldfile_match_cost(int mode, std::int64_t length, std::int64_t q, const CostContext& context);

// Cost of a candidate in the existing patch file (q >= oldSize).
int patchfile_match_cost(int mode, std::int64_t length, std::int64_t q, const CostContext& context);

}  // namespace vd
