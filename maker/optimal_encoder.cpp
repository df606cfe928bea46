#include "maker/optimal_encoder.h"

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

#include "core/break_signal.h"
#include "core/patch_format.h"
#include "maker/block_prices.h"
#include "maker/block_writer.h"
#include "maker/console.h"
#include "core/block_forms.h"
#include "maker/optimal_candidates.h"
#include "maker/stream_emitter.h"

namespace vd {
namespace {

// Positions held at a time; the cheapest path to the last one is written
// out and the search goes on from there alone.
constexpr std::int64_t kWindow = std::int64_t{1} << 14;
// Ways of reaching one position that are kept side by side: the cheapest
// alone would forget a running position that a later match continues at.
constexpr int kArrivals = 6;
// A match this long is taken as it is: what ends inside it seldom makes up
// for the bytes of a second match, and weighing every length of it would
// cost the most time where the files agree the most.
constexpr std::int64_t kTakeAtOnce = 128;
// Every length up to this is tried for each candidate; a longer candidate
// only at its full length.
constexpr std::int64_t kEveryLengthUpTo = 48;
// An arrival this many bytes dearer than the cheapest at its position is
// not followed further: the position bytes a running position can save
// hardly ever make up for it.
constexpr std::int64_t kHopelessBy = 4;
constexpr std::int32_t kUnreached = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kData = -1;

// One way found to code the newfile up to a position. 32-bit fields keep
// the window small: positions and sizes are below 2 GiB, and a price counts
// only the bytes since the window began.
struct Arrival {
  std::int32_t price = kUnreached;
  std::int32_t running = 0;
  std::int32_t dataLength = 0;  // of the open data block; 0 after a match
  std::int32_t from = 0;        // the window offset this step started at
  std::int32_t match = kData;   // the match position of the step, or kData
  std::uint8_t fromSlot = 0;    // the arrival at `from` this step continued
};

Arrival arrival(std::int64_t price, std::int64_t running, std::int64_t dataLength, std::int64_t from, int fromSlot,
                std::int64_t match) {
  return {static_cast<std::int32_t>(price), static_cast<std::int32_t>(running), static_cast<std::int32_t>(dataLength),
          static_cast<std::int32_t>(from),  static_cast<std::int32_t>(match),   static_cast<std::uint8_t>(fromSlot)};
}

// Arrivals that differ in these continue differently.
bool same_state(const Arrival& a, const Arrival& b) {
  return a.running == b.running && (a.dataLength == 0) == (b.dataLength == 0);
}

class ExactEncoder {
 public:
  ExactEncoder(int mode, MakerSession& session, MatchIndex& index, EncodeResult& result, bool quiet)
      : session_(session),
        result_(result),
        mode_(mode),
        quiet_(quiet),
        limit_(block_length_limit(mode)),
        prices_(mode, far_width(session.oldSize, session.recordStart)),
        candidates_(session, index, mode),
        writer_(result.out),
        emitter_(writer_, mode, far_width(session.oldSize, session.recordStart), session.newData),
        window_(static_cast<std::size_t>((std::min<std::int64_t>(kWindow, session.newSize) + kTakeAtOnce + 1) * kArrivals)) {}

  OptimalOutcome run();

 private:
  Arrival& slot(std::int64_t offset, int index) {
    return window_[static_cast<std::size_t>(offset * kArrivals + index)];
  }
  std::int64_t data_step_price(std::int64_t dataLength) const;
  int position_price(const Arrival& from, std::int64_t q) const;
  void relax(std::int64_t offset, const Arrival& arrival);
  // Returns false when the window ended at this offset.
  bool expand(std::int64_t offset);
  bool take_long_match(std::int64_t offset);
  void relax_matches(std::int64_t offset, int index, const std::vector<OptimalCandidate>& candidates);
  int cheapest(std::int64_t offset);
  void commit(std::int64_t offset, int index);
  void restart(std::int64_t base, std::int64_t running, std::int64_t dataLength);
  void show_progress(std::int64_t position);

  MakerSession& session_;
  EncodeResult& result_;
  const int mode_;
  const bool quiet_;
  const std::int64_t limit_;
  const BlockPrices prices_;
  OptimalCandidates candidates_;
  BlockWriter writer_;
  StreamEmitter emitter_;
  std::vector<Arrival> window_;  // kArrivals slots per offset, in no order of price
  std::vector<Arrival> path_;
  std::vector<std::pair<int, OptimalCandidate>> priced_;  // reused by relax_matches
  // The candidates of each arrival at the position being expanded.
  std::array<std::vector<OptimalCandidate>, kArrivals> pathCandidates_;
  std::int64_t base_ = 0;       // the newfile position of window offset 0
  std::int64_t reached_ = 0;    // the furthest offset any step reached
  std::int64_t committed_ = 0;  // the price of what is written
  std::int64_t lastPercent_ = 200;
};

// One more byte of data: a byte, and a header when a block begins.
std::int64_t ExactEncoder::data_step_price(std::int64_t dataLength) const {
  if (dataLength == 0 || dataLength == limit_) return 1 + prices_.data_header(1);
  return 1 + prices_.data_header(dataLength + 1) - prices_.data_header(dataLength);
}

int ExactEncoder::position_price(const Arrival& from, std::int64_t q) const {
  if (from.dataLength > 0 && prices_.has_implied_positions() &&
      (q == from.running || q == std::int64_t{from.running} + from.dataLength))
    return 0;
  return prices_.position(q, from.running);
}

// Keeps the arrival if it is cheaper than one in the same state, or than
// the dearest of a full set.
void ExactEncoder::relax(std::int64_t offset, const Arrival& arrival) {
  reached_ = std::max(reached_, offset);
  Arrival* dearest = nullptr;
  for (int i = 0; i < kArrivals; ++i) {
    Arrival& known = slot(offset, i);
    if (known.price == kUnreached || same_state(known, arrival)) {
      if (arrival.price < known.price) known = arrival;
      return;
    }
    if (dearest == nullptr || known.price > dearest->price) dearest = &known;
  }
  if (arrival.price < dearest->price) *dearest = arrival;
}

// Cheapest position first, so that each length goes to the cheapest
// candidate that reaches it; a dearer one only adds the lengths beyond.
void ExactEncoder::relax_matches(std::int64_t offset, int index, const std::vector<OptimalCandidate>& candidates) {
  const Arrival from = slot(offset, index);
  priced_.clear();
  for (const OptimalCandidate& candidate : candidates) priced_.push_back({position_price(from, candidate.position), candidate});
  // Positions differ, so the order is total and the same on every run.
  std::sort(priced_.begin(), priced_.end(), [](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    if (a.second.length != b.second.length) return a.second.length > b.second.length;
    return a.second.position < b.second.position;
  });
  std::int64_t covered = 0;
  for (const auto& pricedCandidate : priced_) {
    const int positionPrice = pricedCandidate.first;
    const OptimalCandidate& candidate = pricedCandidate.second;
    if (candidate.length <= covered) continue;
    const std::int64_t everyUpTo = std::min(candidate.length, kEveryLengthUpTo);
    const auto relax_length = [&](std::int64_t length) {
      relax(offset + length, arrival(from.price + positionPrice + prices_.match_header(length),
                                     candidate.position + length, 0, offset, index, candidate.position));
    };
    for (std::int64_t length = covered + 1; length <= everyUpTo; ++length) relax_length(length);
    if (candidate.length > everyUpTo) relax_length(candidate.length);
    covered = std::max(covered, everyUpTo);
  }
}

void ExactEncoder::show_progress(std::int64_t position) {
  if (quiet_) return;
  const std::int64_t percent = position * 100 / session_.newSize;
  if (percent == lastPercent_) return;
  show_percent(percent);
  lastPercent_ = percent;
}

int ExactEncoder::cheapest(std::int64_t offset) {
  int best = 0;
  for (int i = 1; i < kArrivals; ++i)
    if (slot(offset, i).price < slot(offset, best).price) best = i;
  return best;
}

// Where some path can go on with a match of kTakeAtOnce bytes or more, the
// cheapest such step is written at once.
bool ExactEncoder::take_long_match(std::int64_t offset) {
  const std::int64_t p = base_ + offset;
  int bestSlot = -1;
  OptimalCandidate best{0, 0};
  std::int64_t bestPrice = kUnreached;
  for (int i = 0; i < kArrivals && slot(offset, i).price != kUnreached; ++i) {
    const Arrival from = slot(offset, i);
    for (const OptimalCandidate& candidate : pathCandidates_[static_cast<std::size_t>(i)]) {
      if (candidate.length < kTakeAtOnce || candidate.length < best.length) continue;
      const std::int64_t price = from.price + position_price(from, candidate.position);
      if (candidate.length == best.length && price >= bestPrice) continue;
      bestSlot = i;
      best = candidate;
      bestPrice = price;
    }
  }
  if (bestSlot < 0) return false;
  commit(offset, bestSlot);
  committed_ += bestPrice - slot(offset, bestSlot).price + prices_.match_header(best.length);
  emitter_.match(best.position, best.length);
  candidates_.restart();
  restart(p + best.length, best.position + best.length, 0);
  return true;
}

bool ExactEncoder::expand(std::int64_t offset) {
  const std::int64_t p = base_ + offset;
  if ((p & 0xFFF) == 0) check_break();
  if (p == session_.newSize || offset == kWindow) {
    const int best = cheapest(offset);
    const Arrival end = slot(offset, best);
    commit(offset, best);
    restart(p, end.running, end.dataLength);
    return false;
  }
  show_progress(p);
  candidates_.at(p, slot(offset, cheapest(offset)).running);
  for (int i = 0; i < kArrivals && slot(offset, i).price != kUnreached; ++i) {
    const Arrival& here = slot(offset, i);
    pathCandidates_[static_cast<std::size_t>(i)] = candidates_.for_path(p, here.running, here.dataLength);
  }
  if (take_long_match(offset)) return false;
  const std::int64_t cheapestPrice = slot(offset, cheapest(offset)).price;
  for (int i = 0; i < kArrivals && slot(offset, i).price != kUnreached; ++i) {
    const Arrival here = slot(offset, i);
    if (here.price > cheapestPrice + kHopelessBy) continue;
    relax(offset + 1, arrival(here.price + data_step_price(here.dataLength), here.running,
                              here.dataLength == limit_ ? 1 : here.dataLength + 1, offset, i, kData));
    relax_matches(offset, i, pathCandidates_[static_cast<std::size_t>(i)]);
  }
  return true;
}

// Writes the path that ends in the arrival `index` at `offset`.
void ExactEncoder::commit(std::int64_t offset, int index) {
  committed_ += slot(offset, index).price;
  path_.clear();
  for (std::int64_t at = offset; at != 0;) {
    Arrival step = slot(at, index);
    index = step.fromSlot;
    step.dataLength = at - step.from;  // the step's length, from here on
    at = step.from;
    path_.push_back(step);
  }
  for (auto step = path_.rbegin(); step != path_.rend(); ++step) {
    if (step->match == kData)
      emitter_.data(base_ + step->from, step->dataLength);
    else
      emitter_.match(step->match, step->dataLength);
  }
}

// Only the offsets a step reached hold anything to clear.
void ExactEncoder::restart(std::int64_t base, std::int64_t running, std::int64_t dataLength) {
  base_ = base;
  std::fill(window_.begin(), window_.begin() + static_cast<std::ptrdiff_t>((reached_ + 1) * kArrivals), Arrival{});
  reached_ = 0;
  slot(0, 0) = arrival(0, running, dataLength, 0, 0, kData);
}

OptimalOutcome ExactEncoder::run() {
  restart(0, 0, 0);
  while (base_ < session_.newSize) {
    for (std::int64_t offset = 0; expand(offset); ++offset) {
    }
  }
  emitter_.finish();
  writer_.flush();
  result_.patchsize += writer_.written();
  result_.blocks = emitter_.blocks();
  if (mode_ == 1) result_.identical = result_.blocks <= 1 && !emitter_.wrote_data();
  return {committed_, writer_.written()};
}

}  // namespace

OptimalOutcome encode_exact(int mode, MakerSession& session, MatchIndex& index, EncodeResult& result, bool quiet) {
  return ExactEncoder(mode, session, index, result, quiet).run();
}

}  // namespace vd
