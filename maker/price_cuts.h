#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "maker/match_cost.h"

namespace vd {

// The reference positions, ascending and each once, where the price of a
// candidate in one file in one MODE changes: most of the places where some
// price may change leave this file's prices as they are. They follow from
// the running and replace positions, which stay put for a whole stretch of
// data, so the match index keeps them from one search to the next.
class PriceCuts {
 public:
  std::span<const std::int64_t> update(int mode, std::int64_t base, const CostContext& context);

 private:
  int mode_ = 0;
  std::int64_t base_ = -1;
  CostContext context_;
  std::array<std::int64_t, kPriceChangeCount> cuts_{};
  std::size_t count_ = 0;
};

}  // namespace vd
