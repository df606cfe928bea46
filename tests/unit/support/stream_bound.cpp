#include "support/stream_bound.h"

#include <algorithm>
#include <deque>
#include <vector>

#include "core/block_forms.h"

namespace vd::test {
namespace {

constexpr std::int64_t kNone = INT64_MAX / 4;  // no way there
constexpr std::uint16_t kUnreached = 0xFFFF;
// The costs and agreements held in 16 bits stay below 0xFFFF for files this
// small, and the two tables stay within a few gigabytes.
constexpr std::int64_t kLargestFile = 60000;
constexpr std::int64_t kMostPairs = std::int64_t{1} << 30;

// A stretch of distances (q - R for a position, or a block's length) over
// which a form costs the same.
struct Tier {
  std::int64_t low, high, cost;
};

template <typename Cost>
std::vector<Tier> tiers_of(std::int64_t low, std::int64_t high, Cost cost) {
  std::vector<Tier> tiers;
  for (std::int64_t x = low; x <= high; ++x) {
    const std::int64_t c = cost(x);
    if (tiers.empty() || tiers.back().cost != c)
      tiers.push_back({x, x, c});
    else
      tiers.back().high = x;
  }
  return tiers;
}

// For every q of the oldfile, out[q] lowers to the cheapest values[R] + cost
// with q - R in the tier (a sliding minimum as q goes up).
void lower_by_window(const std::vector<std::int64_t>& values, const Tier& tier, std::vector<std::int64_t>& out) {
  const auto last = static_cast<std::int64_t>(values.size()) - 1;
  std::deque<std::int64_t> rising;  // places whose values rise from the front
  std::int64_t next = 0;
  for (std::int64_t q = 0; q < static_cast<std::int64_t>(out.size()); ++q) {
    const std::int64_t high = std::min(q - tier.low, last);
    const std::int64_t low = std::max(q - tier.high, std::int64_t{0});
    for (; next <= high; ++next) {
      while (!rising.empty() && values[rising.back()] >= values[next]) rising.pop_back();
      rising.push_back(next);
    }
    while (!rising.empty() && rising.front() < low) rising.pop_front();
    if (!rising.empty() && low <= high) out[q] = std::min(out[q], values[rising.front()] + tier.cost);
  }
}

// For every run length up to `longest`, the fewest header bytes of the run
// in blocks of any lengths: all but one block as long as its header allows.
std::vector<std::int64_t> fewest_run_headers(int mode, const std::vector<Tier>& headerTiers, std::int64_t longest) {
  std::vector<std::int64_t> fewest(static_cast<std::size_t>(longest) + 1, 0);
  for (std::int64_t d = 1; d <= longest; ++d) {
    std::int64_t& headers = fewest[static_cast<std::size_t>(d)];
    headers = d <= block_length_limit(mode) ? header_size(mode, d) : kNone;
    for (const Tier& tier : headerTiers)
      if (tier.high < d) headers = std::min(headers, tier.cost + fewest[static_cast<std::size_t>(d - tier.high)]);
  }
  return fewest;
}

class BoundProgram {
 public:
  BoundProgram(int mode, std::span<const std::uint8_t> old, std::span<const std::uint8_t> neu);
  std::int64_t run();

 private:
  std::uint16_t* reached(std::int64_t p) { return &reached_[static_cast<std::size_t>(p * width_)]; }
  static std::int64_t value(std::uint16_t cost) { return cost == kUnreached ? kNone : cost; }
  void measure_agreements();
  void fold_rows(std::int64_t p);
  void price_plain_runs(std::int64_t p);
  void price_match_starts(std::int64_t p);
  void price_implied_positions(std::int64_t p);
  void spread_matches(std::int64_t p);

  int mode_;
  std::span<const std::uint8_t> old_, neu_;
  std::int64_t newSize_;
  std::int64_t width_;  // running positions 0 to the oldfile's size
  std::vector<Tier> positionTiers_, headerTiers_;
  std::vector<std::int64_t> runHeaders_;  // fewest header bytes of d data bytes
  std::int64_t window_;                   // runs up to this long are priced one by one
  std::vector<std::uint16_t> agree_;      // bytes the newfile at p and the oldfile at q agree
  std::vector<std::uint16_t> reached_;    // cheapest stream up to p that ends in a match ending at R
  // Over the rows before p, the cheapest reached(r)[R] - r: every row, the
  // rows older than the window, and those along each diagonal R - r.
  std::vector<std::int64_t> anyRow_, oldRow_, oldDiagonal_;
  std::vector<std::int64_t> afterMatch_, afterRun_, plainFirst_, start_;
};

BoundProgram::BoundProgram(int mode, std::span<const std::uint8_t> old, std::span<const std::uint8_t> neu)
    : mode_(mode),
      old_(old),
      neu_(neu),
      newSize_(static_cast<std::int64_t>(neu.size())),
      width_(static_cast<std::int64_t>(old.size()) + 1) {
  const auto oldSize = width_ - 1;
  const std::int64_t newSize = newSize_;
  const int farWidth = far_width_for(oldSize);
  positionTiers_ = tiers_of(-oldSize, oldSize, [&](std::int64_t delta) {
    return position_size(mode, position_form(mode, oldSize + delta, oldSize), farWidth);
  });
  headerTiers_ = tiers_of(1, std::max(oldSize, newSize) + 1, [&](std::int64_t length) {
    return length <= block_length_limit(mode) ? header_size(mode, length) : kNone;
  });
  runHeaders_ = fewest_run_headers(mode, headerTiers_, newSize);
  // Past the window every run costs at least a long header's bytes, as does
  // one block.
  const std::int64_t longHeader = headerTiers_.size() > 1 ? headerTiers_[1].cost : 1;
  window_ = 1;
  while (window_ < newSize && runHeaders_[static_cast<std::size_t>(window_ + 1)] < longHeader) ++window_;
  window_ = std::min(window_, newSize);
  anyRow_.assign(static_cast<std::size_t>(width_), kNone);
  oldRow_ = anyRow_;
  afterMatch_ = anyRow_;
  afterRun_ = anyRow_;
  plainFirst_ = anyRow_;
  oldDiagonal_.assign(static_cast<std::size_t>(newSize + width_), kNone);
  start_.assign(old.size(), kNone);
}

void BoundProgram::measure_agreements() {
  agree_.assign(static_cast<std::size_t>((newSize_ + 1) * width_), 0);
  for (std::int64_t p = newSize_ - 1; p >= 0; --p)
    for (std::int64_t q = width_ - 2; q >= 0; --q)
      if (neu_[p] == old_[q])
        agree_[p * width_ + q] = static_cast<std::uint16_t>(1 + agree_[(p + 1) * width_ + q + 1]);
}

void BoundProgram::fold_rows(std::int64_t p) {
  const auto fold = [&](std::int64_t r, std::vector<std::int64_t>& into, bool diagonal) {
    const std::uint16_t* row = reached(r);
    for (std::int64_t R = 0; R < width_; ++R) {
      if (row[R] == kUnreached) continue;
      const std::int64_t v = row[R] - r;
      into[R] = std::min(into[R], v);
      if (diagonal) oldDiagonal_[R - r + newSize_] = std::min(oldDiagonal_[R - r + newSize_], v);
    }
  };
  if (p > 0) fold(p - 1, anyRow_, false);
  if (p > window_) fold(p - window_ - 1, oldRow_, true);
}

// afterRun_[R]: the cheapest stream up to p that ends in plain data after
// a match ending at R.
void BoundProgram::price_plain_runs(std::int64_t p) {
  const std::int64_t oldRunHeaders = runHeaders_[static_cast<std::size_t>(std::min<std::int64_t>(window_ + 1, p))];
  for (std::int64_t R = 0; R < width_; ++R) {
    afterMatch_[R] = value(reached(p)[R]);
    afterRun_[R] = oldRow_[R] == kNone ? kNone : oldRow_[R] + p + oldRunHeaders;
  }
  for (std::int64_t r = std::max<std::int64_t>(0, p - window_); r < p; ++r) {
    const std::uint16_t* row = reached(r);
    const std::int64_t run = (p - r) + runHeaders_[static_cast<std::size_t>(p - r)];
    for (std::int64_t R = 0; R < width_; ++R) afterRun_[R] = std::min(afterRun_[R], value(row[R]) + run);
  }
}

// start_[q]: the cheapest stream up to p followed by the header of a match
// at q, its length bytes aside.
void BoundProgram::price_match_starts(std::int64_t p) {
  std::fill(start_.begin(), start_.end(), kNone);
  for (const Tier& tier : positionTiers_) {
    lower_by_window(afterMatch_, tier, start_);
    lower_by_window(afterRun_, tier, start_);
  }
  if (has_data_kinds(mode_)) price_implied_positions(p);
}

// Insert data: the match goes on at R. Replace data: at R + its length, as
// one block priced exactly, or after plain data at least a header dearer.
void BoundProgram::price_implied_positions(std::int64_t p) {
  const auto oldSize = static_cast<std::int64_t>(old_.size());
  const std::int64_t oldReplaceHeader = header_size(mode_, window_ + 1);
  for (std::int64_t q = 0; q < oldSize; ++q) {
    start_[q] = std::min(start_[q], afterRun_[q]);
    const std::int64_t diagonal = oldDiagonal_[q - p + newSize_];
    if (diagonal != kNone) start_[q] = std::min(start_[q], diagonal + p + oldReplaceHeader);
  }
  for (std::int64_t r = std::max<std::int64_t>(0, p - window_); r < p; ++r) {
    const std::int64_t d = p - r;
    const std::uint16_t* row = reached(r);
    for (std::int64_t q = d; q < oldSize && q - d < width_; ++q)
      start_[q] = std::min(start_[q], value(row[q - d]) + d + header_size(mode_, d));
  }
  for (std::size_t R = 0; R < anyRow_.size(); ++R) plainFirst_[R] = anyRow_[R] == kNone ? kNone : anyRow_[R] + p + 1;
  for (const Tier& tier : headerTiers_) lower_by_window(plainFirst_, tier, start_);
}

void BoundProgram::spread_matches(std::int64_t p) {
  const std::uint16_t* agreeing = &agree_[static_cast<std::size_t>(p * width_)];
  const std::int64_t limit = block_length_limit(mode_);
  for (std::int64_t q = 0; q < static_cast<std::int64_t>(old_.size()); ++q) {
    if (agreeing[q] == 0 || start_[q] == kNone) continue;
    const std::int64_t longest = std::min<std::int64_t>(agreeing[q], limit);
    for (std::int64_t length = 1; length <= longest; ++length) {
      const std::int64_t cost = start_[q] + header_size(mode_, length);
      std::uint16_t& there = reached(p + length)[q + length];
      if (cost < there) there = static_cast<std::uint16_t>(cost);
    }
  }
}

std::int64_t BoundProgram::run() {
  measure_agreements();
  reached_.assign(agree_.size(), kUnreached);
  reached(0)[0] = 0;
  for (std::int64_t p = 0;; ++p) {
    fold_rows(p);
    price_plain_runs(p);
    if (p == newSize_) break;
    price_match_starts(p);
    spread_matches(p);
  }
  std::int64_t fewest = kNone;
  for (std::int64_t R = 0; R < width_; ++R) fewest = std::min({fewest, afterMatch_[R], afterRun_[R]});
  return fewest;
}

}  // namespace

std::optional<std::int64_t> stream_lower_bound(int mode, std::span<const std::uint8_t> old,
                                               std::span<const std::uint8_t> neu) {
  const auto oldSize = static_cast<std::int64_t>(old.size());
  const auto newSize = static_cast<std::int64_t>(neu.size());
  if (oldSize > kLargestFile || newSize > kLargestFile || (oldSize + 1) * (newSize + 1) > kMostPairs)
    return std::nullopt;
  return BoundProgram(mode, old, neu).run();
}

}  // namespace vd::test
