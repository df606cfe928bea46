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

std::span<const std::int64_t> PriceCuts::update(int mode, std::int64_t base, const CostContext& context) {
  if (mode != mode_ || base != base_ || !same_context(context, context_)) {
    mode_ = mode;
    base_ = base;
    context_ = context;
    auto changes = price_change_positions(context);
    std::sort(changes.begin(), changes.end());
    count_ = 0;
    for (std::size_t i = 0; i < changes.size(); ++i)
      if ((i == 0 || changes[i] != changes[i - 1]) && price_changes_at(mode, base, changes[i], context))
        cuts_[count_++] = changes[i];
  }
  return {cuts_.data(), count_};
}

}  // namespace vd
