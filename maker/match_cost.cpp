#include "maker/match_cost.h"

namespace vd {
namespace {

// Numbers of the estimates alone, not of any form: the MODE 4 one-byte
// estimate reaches twice as far as the form, and patch file positions up to
// kLowPatchPosition count as cheaper.
constexpr std::int64_t kMode4NearEstimateReach = 508;
constexpr std::int64_t kLowPatchPosition = 4194303;
// What the MODE 3 estimate adds to its two-byte near and its far forms.
constexpr int kMode3Surcharge = 5;

bool within(std::int64_t q, std::int64_t low, std::int64_t high) { return q >= low && q <= high; }

// The MODE 2 near window, which the patch file estimates of every MODE use.
bool near_patch_position(std::int64_t q, std::int64_t running) {
  return within(q, running - kNearBias, running + kMode2NearAhead);
}

int mode3_far_width(const CostContext& c) { return far_width_for(c.referenceSize); }

int mode2_position_estimate(PositionForm form) {
  switch (form) {
    case PositionForm::Far:
      return 3;
    case PositionForm::FarEscaped:
      return 4;
    default:
      return 2;
  }
}

int mode3_position_estimate(PositionForm form, const CostContext& c) {
  const int exact = position_size(3, form, mode3_far_width(c));
  return form == PositionForm::NearByte ? exact : exact + kMode3Surcharge;
}

int mode4_position_estimate(std::int64_t q, const CostContext& c) {
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

}  // namespace

std::array<std::int64_t, kPriceChangeCount> price_change_positions(const CostContext& c) {
  const std::int64_t r = c.running;
  const std::int64_t rp = c.replacePosition;
  return {r - kNearBias,
          r,
          r + 1,
          r + kMode3NearByteMax + 1,
          r + kCodeNearMax + 1,
          r + kMode4NearEstimateReach + 1,
          r + kMode2NearAhead + 1,
          r + kMode3NearWordMax + 1,
          r + kBiasedWrittenAhead + 1,
          rp,
          rp + 1,
          kLowPatchPosition + 1,
          kMode2FarMax + 1,
          kU24Max + 1};
}

int oldfile_match_cost(int mode, std::int64_t n, std::int64_t q, const CostContext& c) {
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

int patchfile_match_cost(int mode, std::int64_t n, std::int64_t q, const CostContext& c) {
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
