// The walk before the oldfile's lists are built. It starts from the same
// floor as a walk over the chain without a suffix array, and the floor
// makes every candidate that can beat it agree with the newfile for some
// length that depends only on its price. Where a stretch of one price is
// short (MODE 3's one-byte near positions), its positions are measured
// whole; elsewhere the length is mostly 8 bytes or more, and the samplings
// of the oldfile give every position that can agree that long. Those are
// every candidate the walk over the chain would let through, walked in the
// same order from the same floor, so the result is the same.
#include <algorithm>

#include "maker/chain_walk.h"

namespace vd {
namespace {

constexpr std::int64_t kMostMeasuredWhole = 256;

}  // namespace

bool ChainWalk::walk_unlisted(const AgreeingPositions& agreeing, std::vector<std::uint32_t>& candidates) {
  raise_to_hinted_floor();
  if (!best) return false;
  candidates.clear();
  std::int64_t shortestAgreeing = INT64_MAX;
  const auto gather = [&](std::int64_t first, std::int64_t last) {
    if (first > last) return;
    const std::int64_t needed = length_to_beat_best(first);
    if (needed > std::min(block_length_limit(mode), newLeft)) return;
    if (last - first < kMostMeasuredWhole) {
      for (std::int64_t q = first; q <= last; ++q) candidates.push_back(static_cast<std::uint32_t>(q));
    } else {
      shortestAgreeing = std::min(shortestAgreeing, needed);
    }
  };
  const std::int64_t lastStart = size - 3;
  std::int64_t first = 0;
  for (const std::int64_t change : prices.cuts) {
    const std::int64_t cut = change - base;
    if (cut <= first) continue;
    if (cut > lastStart) break;
    gather(first, cut - 1);
    first = cut;
  }
  gather(first, lastStart);
  if (shortestAgreeing != INT64_MAX && !agreeing(shortestAgreeing, candidates)) return false;
  std::sort(candidates.begin(), candidates.end());
  candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
  for (const std::uint32_t q : candidates)
    if (try_candidate(q, length_to_beat_best(q), 0)) break;
  return true;
}

}  // namespace vd
