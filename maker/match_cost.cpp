#include "maker/match_cost.h"

namespace vd {

std::array<std::int64_t, kPriceChangeCount> price_change_positions(const CostContext& c) {
  const std::int64_t r = c.running;
  const std::int64_t rp = c.replacePosition;
  using cost_detail::kLowPatchPosition, cost_detail::kMode4NearEstimateReach;
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

}  // namespace vd
