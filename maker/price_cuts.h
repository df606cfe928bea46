#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <utility>

#include "maker/match_cost.h"

namespace vd {

// What the searches in one file in one MODE need of its prices.
struct FilePrices {
  // The reference positions, ascending and each once, where the price of a
  // candidate changes: most of the places where some price may change leave
  // this file's prices as they are.
  std::span<const std::int64_t> cuts;
  // The cheapest price of 3 bytes and the dearest of a block of the MODE's
  // longest length, anywhere in the file.
  int cheapestOfThree = 0;
  int dearestOfFull = 0;
};

// The prices follow from the running and replace positions, which stay put
// for a whole stretch of data, so the match index keeps them from one
// search to the next.
class PriceCuts {
 public:
  // For the file of `size` bytes whose byte 0 is at reference position
  // `base`: the oldfile's at 0, else the patch file's.
  const FilePrices& update(int mode, std::int64_t base, std::int64_t size, const CostContext& context);

 private:
  std::pair<int, int> prices_of(std::int64_t length) const;

  int mode_ = 0;
  std::int64_t base_ = -1;
  std::int64_t size_ = 0;
  CostContext context_;
  std::array<std::int64_t, kPriceChangeCount> cuts_{};
  FilePrices prices_;
};

}  // namespace vd
