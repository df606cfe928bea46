// The search of last resort, when not even the simple lists fit in memory:
// a window of the oldfile around the running position, scored by length,
// cost and a penalty for lying far from where the newfile position would
// fall in the oldfile if both files were stretched to the same length.
#include "maker/match_index.h"

#include "core/block_forms.h"
#include "maker/byte_compare.h"

namespace vd {
namespace {

// The linear search codes MODE 3 and stops at its longest block.
constexpr std::int64_t kLinearLimit = block_length_limit(3);
constexpr std::int64_t kWindowBehind = 200;

// The MODE 3 header and near forms at their size; far positions count nothing.
std::int64_t linear_cost(std::int64_t length, std::int64_t q, std::int64_t r) {
  const PositionForm form = position_form(3, q, r);
  const int positionPart = form == PositionForm::Far ? 0 : position_size(3, form, 0);
  return header_size(3, length) + positionPart;
}

// Maps an oldfile position into newfile coordinates and measures how far it
// lies from p. Sizes are widened so that files of any allowed size multiply
// without overflow.
std::int64_t distance_penalty(std::int64_t q, std::int64_t p, std::int64_t oldSize, std::int64_t newSize) {
  std::int64_t mapped;
  if (oldSize > newSize) {
    const std::int64_t factor = oldSize * 10 / newSize;
    mapped = q / factor * 10;
  } else {
    const std::int64_t factor = newSize * 10 / oldSize;
    mapped = factor * q / 10;
  }
  const std::int64_t distance = mapped > p ? mapped - p : p - mapped;
  return distance / 50;
}

}  // namespace

std::optional<MatchCandidate> MatchIndex::find_match_linear(std::int64_t p) {
  if (memoPosition_ == p) return memo_;
  const std::int64_t oldSize = session_.oldSize;
  const std::int64_t newSize = session_.newSize;
  if (p >= newSize) return std::nullopt;
  const std::int64_t r = state.running;
  const std::int64_t start = r - kWindowBehind < 0 ? 0 : r - kWindowBehind;
  std::int64_t end = start + kLinearLimit;
  if (end > oldSize - session_.minBlock) end = oldSize - session_.minBlock;

  std::optional<MatchCandidate> best;
  std::int64_t bestScore = 0;
  for (std::int64_t q = start; q < end;) {
    std::int64_t maxLength = kLinearLimit;
    if (oldSize - q < maxLength) maxLength = oldSize - q;
    if (newSize - p < maxLength) maxLength = newSize - p;
    MatchCandidate candidate;
    candidate.position = q;
    candidate.length = common_prefix(session_.oldData + q, session_.newData + p, maxLength);
    candidate.cost = static_cast<int>(linear_cost(candidate.length, q, r));
    candidate.penalty = distance_penalty(q, p, oldSize, newSize);
    const std::int64_t score = candidate.length - candidate.cost - candidate.penalty;
    if (!best || score > bestScore) {
      best = candidate;
      bestScore = score;
    }
    if (best->length == kLinearLimit) break;
    // Only positions whose first byte agrees are worth measuring.
    for (++q; q < end && session_.oldData[q] != session_.newData[p]; ++q) {
    }
  }
  if (!best || best->length == 0) return std::nullopt;
  if (best->length < session_.minBlock + best->penalty) return std::nullopt;
  memoPosition_ = p;
  memo_ = *best;
  return best;
}

}  // namespace vd
