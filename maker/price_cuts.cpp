#include "maker/price_cuts.h"

#include <algorithm>

namespace vd {
namespace {

// The cost of a candidate in the file whose byte 0 is at reference position
// `base`: the oldfile's at 0, else the patch file's.
int match_cost(int mode, std::int64_t base, std::int64_t length, std::int64_t q, const CostContext& context) {
  return base == 0 ? oldfile_match_cost(mode, length, q, context) : patchfile_match_cost(mode, length, q, context);
}

// Whether a candidate at reference position q costs other than one at q - 1
// of the same length. Every cost is a part for the length plus a part for
// the position, so one length tells.
bool price_changes_at(int mode, std::int64_t base, std::int64_t q, const CostContext& context) {
  return match_cost(mode, base, 3, q, context) != match_cost(mode, base, 3, q - 1, context);
}

bool same_context(const CostContext& a, const CostContext& b) {
  return a.running == b.running && a.replacePosition == b.replacePosition && a.referenceSize == b.referenceSize;
}

}  // namespace

const FilePrices& PriceCuts::update(int mode, std::int64_t base, std::int64_t size, const CostContext& context) {
  if (mode == mode_ && base == base_ && size == size_ && same_context(context, context_)) return prices_;
  mode_ = mode;
  base_ = base;
  size_ = size;
  context_ = context;
  auto changes = price_change_positions(context);
  std::sort(changes.begin(), changes.end());
  std::size_t count = 0;
  for (std::size_t i = 0; i < changes.size(); ++i)
    if ((i == 0 || changes[i] != changes[i - 1]) && price_changes_at(mode, base, changes[i], context))
      cuts_[count++] = changes[i];
  prices_.cuts = {cuts_.data(), count};
  prices_.cheapestOfThree = prices_of(3).first;
  prices_.dearestOfFull = prices_of(block_length_limit(mode)).second;
  return prices_;
}

// A price holds from one cut up to the next.
std::pair<int, int> PriceCuts::prices_of(std::int64_t length) const {
  const int first = match_cost(mode_, base_, length, base_, context_);
  std::pair<int, int> range{first, first};
  for (const std::int64_t cut : prices_.cuts) {
    if (cut <= base_ || cut >= base_ + size_) continue;
    const int price = match_cost(mode_, base_, length, cut, context_);
    range = {std::min(range.first, price), std::max(range.second, price)};
  }
  return range;
}

}  // namespace vd
