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

namespace cost_detail {

// Numbers of the estimates alone, not of any form: the MODE 4 one-byte
// estimate reaches twice as far as the form, and patch file positions up to
// kLowPatchPosition count as cheaper.
constexpr std::int64_t kMode4NearEstimateReach = 508;
constexpr std::int64_t kLowPatchPosition = 4194303;
// What the MODE 3 estimate adds to its two-byte near and its far forms.
constexpr int kMode3Surcharge = 5;

// The MODE 2 near window, which the patch file estimates of every MODE use.
constexpr bool near_patch_position(std::int64_t q, std::int64_t running) {
  return within(q, running - kNearBias, running + kMode2NearAhead);
}

constexpr int mode3_far_width(const CostContext& c) { return far_width_for(c.referenceSize); }

constexpr int mode2_position_estimate(PositionForm form) {
  switch (form) {
    case PositionForm::Far:
      return 3;
    case PositionForm::FarEscaped:
      return 4;
    default:
      return 2;
  }
}

constexpr int mode3_position_estimate(PositionForm form, const CostContext& c) {
  const int exact = position_size(3, form, mode3_far_width(c));
  return form == PositionForm::NearByte ? exact : exact + kMode3Surcharge;
}

constexpr int mode4_position_estimate(std::int64_t q, const CostContext& c) {
  if (within(q, c.running, c.running + kMode4NearEstimateReach)) return 1;
  switch (position_form(4, q, c.running)) {
    case PositionForm::Far:
      return 4;
    case PositionForm::FarEscaped:
      return 5;
    default:
      return 8;
  }
}

}  // namespace cost_detail

// Cost of a candidate of `length` bytes at reference position q in the
// oldfile. Defined here: the searches ask it for nearly every candidate.
inline int oldfile_match_cost(int mode, std::int64_t n, std::int64_t q, const CostContext& c) {
  using namespace cost_detail;
  const std::int64_t r = c.running;
  switch (mode) {
    case 1:
      return match_block_size(1, n, q, r, 0, false);
    case 2:
      return header_size(2, n) + mode2_position_estimate(position_form(2, q, r));
    case 3:
      return header_size(3, n) + mode3_position_estimate(position_form(3, q, r), c);
    default: {
      const int lengthPart = header_size(4, n) - (q == r || q == c.replacePosition ? 1 : 0);
      return lengthPart + mode4_position_estimate(q, c);
    }
  }
}

// Cost of a candidate in the existing patch file (q >= oldSize).
inline int patchfile_match_cost(int mode, std::int64_t n, std::int64_t q, const CostContext& c) {
  using namespace cost_detail;
  const bool near = near_patch_position(q, c.running);
  const bool low = q <= kLowPatchPosition;
  switch (mode) {
    case 1:
      return 7 - (low ? 1 : 0) - (near ? 2 : 0) - (n <= kMode1LengthMask ? 2 : 0);
    case 2:
      return 9 - (low ? 4 : 0) - (near ? 2 : 0) - (n <= kMode2ShortMask ? 1 : 0);
    case 3:
      return match_block_size(3, n, q, c.running, mode3_far_width(c), false);
    default:
      return 7 - (near ? 2 : 0) - (n <= kMode4LengthMask ? 2 : 0);
  }
}

}  // namespace vd
