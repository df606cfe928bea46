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
#include "maker/optimal_greedy.h"
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
// cost the most time where the files agree the most. Shorter ones are
// tried at every length. At 40 rather than 64 the patch files grow by
// 0.02 % to 0.35 % and the search takes three quarters of the time; at 32
// hardly less time, but up to 0.8 % more bytes in a large library.
constexpr std::int64_t kTakeAtOnce = 40;
// An arrival more than this many bytes dearer than the cheapest at its
// position is not followed further: the position bytes a running position
// can save hardly ever make up for it.
constexpr std::int64_t kHopelessBy = 2;
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

StreamState state_of(const Arrival& arrival) { return {arrival.running, arrival.dataLength}; }

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
        greedy_(mode, session, index, prices_),
        writer_(result.out),
        emitter_(writer_, mode, far_width(session.oldSize, session.recordStart), session.newData),
        window_(static_cast<std::size_t>((std::min<std::int64_t>(kWindow, session.newSize) + kTakeAtOnce + 1) * kArrivals)),
        percent_(session.newSize) {}

  OptimalOutcome run();

 private:
  Arrival& slot(std::int64_t offset, int index) {
    return window_[static_cast<std::size_t>(offset * kArrivals + index)];
  }
  std::int64_t data_step_price(std::int64_t dataLength) const;
  void relax(std::int64_t offset, const Arrival& arrival);
  // Returns false when the window ended at this offset.
  bool expand(std::int64_t offset);
  bool take_long_match(std::int64_t offset);
  struct PricedStep;
  void price_steps(std::int64_t offset);
  void relax_matches(std::int64_t offset);
  void relax_step(std::int64_t offset, const PricedStep& step, std::int64_t length);
  int cheapest(std::int64_t offset);
  void commit(std::int64_t offset, int index);
  void end_window(std::int64_t offset);
  // Whether a step to newfile position `to` in `state`, at `price`, codes
  // no more than the greedy path from the window's start would, up to where
  // the two agree again.
  bool beats_greedy(std::int64_t to, const StreamState& state, std::int64_t price, std::int64_t settled);
  void follow_greedy(std::int64_t settled);
  void restart(std::int64_t base, std::int64_t running, std::int64_t dataLength);

  MakerSession& session_;
  EncodeResult& result_;
  const int mode_;
  const bool quiet_;
  const std::int64_t limit_;
  const BlockPrices prices_;
  OptimalCandidates candidates_;
  GreedyPath greedy_;
  BlockWriter writer_;
  StreamEmitter emitter_;
  std::vector<Arrival> window_;  // kArrivals slots per offset, in no order of price
  std::vector<Arrival> path_;
  // The match steps from the position being expanded: the arrival's price
  // with the position bytes, before the header.
  struct PricedStep {
    std::int64_t price;
    OptimalCandidate candidate;
    int slot;
  };
  std::vector<PricedStep> priced_;
  // Which arrivals at the position being expanded are followed.
  std::array<bool, kArrivals> followed_{};
  std::int64_t base_ = 0;       // the newfile position of window offset 0
  StreamState baseState_;
  std::int64_t reached_ = 0;    // the furthest offset any step reached
  std::int64_t committed_ = 0;  // the price of what is written
  RunningPercent percent_;
};

// One more byte of data: a byte, and a header when a block begins.
std::int64_t ExactEncoder::data_step_price(std::int64_t dataLength) const {
  if (dataLength == 0 || dataLength == limit_) return 1 + prices_.data_header(1);
  return 1 + prices_.data_header(dataLength + 1) - prices_.data_header(dataLength);
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

// Each length goes to the cheapest step that reaches it, over all the
// arrivals followed here (the same position reached from another arrival
// ends in the same states, only dearer). Ties go to the longer step, then
// the lower position and slot, so that every run makes the same choices.
// Every step here is shorter than kTakeAtOnce.
void ExactEncoder::relax_matches(std::int64_t offset) {
  const auto better = [](const PricedStep* a, const PricedStep& b) {
    if (a == nullptr || b.price != a->price) return a == nullptr || b.price < a->price;
    if (b.candidate.length != a->candidate.length) return b.candidate.length > a->candidate.length;
    if (b.candidate.position != a->candidate.position) return b.candidate.position < a->candidate.position;
    return b.slot < a->slot;
  };
  std::array<const PricedStep*, kTakeAtOnce> reaching{};
  std::size_t longest = 0;
  for (const PricedStep& step : priced_) {
    const auto length = static_cast<std::size_t>(step.candidate.length);
    longest = std::max(longest, length);
    if (better(reaching[length], step)) reaching[length] = &step;
  }
  const PricedStep* best = nullptr;
  for (std::size_t length = longest; length >= 1; --length) {
    if (reaching[length] != nullptr && better(best, *reaching[length])) best = reaching[length];
    if (best != nullptr) relax_step(offset, *best, static_cast<std::int64_t>(length));
  }
}

void ExactEncoder::relax_step(std::int64_t offset, const PricedStep& step, std::int64_t length) {
  relax(offset + length, arrival(step.price + prices_.match_header(length), step.candidate.position + length, 0,
                                 offset, step.slot, step.candidate.position));
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
  const PricedStep* longest = nullptr;
  for (const PricedStep& step : priced_) {
    if (step.candidate.length < kTakeAtOnce) continue;
    if (longest == nullptr || step.candidate.length > longest->candidate.length ||
        (step.candidate.length == longest->candidate.length && step.price < longest->price))
      longest = &step;
  }
  if (longest == nullptr) return false;
  const int bestSlot = longest->slot;
  const OptimalCandidate best = longest->candidate;
  const std::int64_t bestPrice = longest->price;
  const std::int64_t to = p + best.length;
  const StreamState after{best.position + best.length, 0};
  const std::int64_t settled = greedy_.settled_after(to);
  if (!beats_greedy(to, after, bestPrice + prices_.match_header(best.length), settled)) {
    follow_greedy(settled);
    return true;
  }
  commit(offset, bestSlot);
  committed_ += bestPrice - slot(offset, bestSlot).price + prices_.match_header(best.length);
  emitter_.match(best.position, best.length);
  candidates_.restart();
  restart(to, after.running, 0);
  return true;
}

// The window's end: the arrival there that leaves the least to pay for
// following the greedy path on, unless following it from the window's start
// costs less.
void ExactEncoder::end_window(std::int64_t offset) {
  const std::int64_t p = base_ + offset;
  const std::int64_t settled = greedy_.settled_after(p);
  int best = -1;
  std::int64_t bestTotal = 0;
  for (int i = 0; i < kArrivals && slot(offset, i).price != kUnreached; ++i) {
    StreamState state = state_of(slot(offset, i));
    const std::int64_t total = slot(offset, i).price + greedy_.follow_price(p, state, settled);
    if (best < 0 || total < bestTotal) {
      best = i;
      bestTotal = total;
    }
  }
  const Arrival end = slot(offset, best);
  if (!beats_greedy(p, state_of(end), end.price, settled)) {
    follow_greedy(settled);
    return;
  }
  commit(offset, best);
  restart(p, end.running, end.dataLength);
}

bool ExactEncoder::beats_greedy(std::int64_t to, const StreamState& state, std::int64_t price, std::int64_t settled) {
  StreamState from = state;
  StreamState greedyFrom = baseState_;
  return price + greedy_.follow_price(to, from, settled) <= greedy_.follow_price(base_, greedyFrom, settled);
}

// Writes the greedy path from the window's start to `settled`.
void ExactEncoder::follow_greedy(std::int64_t settled) {
  StreamState state = baseState_;
  committed_ += greedy_.follow_price(base_, state, settled);
  greedy_.follow(base_, settled, [this](std::int64_t start, std::int64_t length, std::int64_t match) {
    if (match < 0)
      emitter_.data(start, length);
    else
      emitter_.match(match, length);
  });
  candidates_.restart();
  restart(settled, state.running, state.dataLength);
}

bool ExactEncoder::expand(std::int64_t offset) {
  const std::int64_t p = base_ + offset;
  if ((p & 0xFFF) == 0) check_break();
  if (p == session_.newSize || offset == kWindow) {
    end_window(offset);
    return false;
  }
  if (!quiet_) percent_.show(p);
  candidates_.at(p, slot(offset, cheapest(offset)).running);
  if (const auto greedyMatch = greedy_.match_at(p)) candidates_.add_shared(*greedyMatch);
  price_steps(offset);
  if (take_long_match(offset)) return false;
  for (int i = 0; i < kArrivals && slot(offset, i).price != kUnreached; ++i) {
    const Arrival here = slot(offset, i);
    if (!followed_[static_cast<std::size_t>(i)]) continue;
    relax(offset + 1, arrival(here.price + data_step_price(here.dataLength), here.running,
                              here.dataLength == limit_ ? 1 : here.dataLength + 1, offset, i, kData));
  }
  relax_matches(offset);
  return true;
}

// Every match step from the arrivals at `offset` that are followed: those
// not hopelessly dearer than the cheapest there.
void ExactEncoder::price_steps(std::int64_t offset) {
  const std::int64_t p = base_ + offset;
  const std::int64_t cheapestPrice = slot(offset, cheapest(offset)).price;
  priced_.clear();
  for (int i = 0; i < kArrivals; ++i) {
    const Arrival here = slot(offset, i);
    followed_[static_cast<std::size_t>(i)] = here.price != kUnreached && here.price <= cheapestPrice + kHopelessBy;
    if (!followed_[static_cast<std::size_t>(i)]) continue;
    const StreamState state = state_of(here);
    const auto price = [&](const OptimalCandidate& candidate) {
      priced_.push_back({here.price + prices_.position_after(candidate.position, state), candidate, i});
    };
    for (const OptimalCandidate& candidate : candidates_.shared()) price(candidate);
    for (const OptimalCandidate& candidate : candidates_.for_path(p, here.running, here.dataLength)) price(candidate);
  }
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
  baseState_ = {running, dataLength};
  greedy_.forget_before(base);
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
  // The greedy path is made to the end, so that the search state it leaves
  // is the greedy encoder's.
  greedy_.settled_after(session_.newSize);
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
