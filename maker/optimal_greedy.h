// The path the greedy encoder of the same MODE takes through the newfile,
// made block by block as far ahead as the exact-price search asks, and
// priced from any state that search may be in. The search never writes
// what costs more than following this path would, so that its stream is
// never larger than the greedy one.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>

#include "maker/block_prices.h"
#include "maker/match_index.h"
#include "maker/optimal_candidates.h"
#include "maker/session.h"

namespace vd {

class GreedyPath {
 public:
  struct Block {
    std::int64_t start;
    std::int64_t length;
    std::int64_t match;  // the reference position, or -1 for a data run
  };

  // The search's minimum block and the replace position it starts from
  // are the caller's to set; the greedy encoder's decisions follow from
  // them and from the search state, which this owns while it runs.
  GreedyPath(int mode, const MakerSession& session, MatchIndex& index, const BlockPrices& prices);

  // The greedy match that covers newfile position p, as a match starting at p.
  std::optional<OptimalCandidate> match_at(std::int64_t p);
  // The end of the first greedy match that ends after p, or the newfile's
  // end: from there on every path that follows the greedy one is in the
  // same state.
  std::int64_t settled_after(std::int64_t p);
  // The price of coding [from, to) as the greedy encoder did (a block begun
  // before `from` by its remainder), from `state`, which it moves on; `to`
  // is a settled place.
  std::int64_t follow_price(std::int64_t from, StreamState& state, std::int64_t to);
  // The blocks of [from, to) in that form, one by one.
  template <typename Visit>
  void follow(std::int64_t from, std::int64_t to, Visit visit) {
    if (from >= to) return;
    make_until(to);
    for (auto block = block_at(from); from < to; ++block) {
      const std::int64_t skip = from - block->start;
      const std::int64_t length = std::min(block->length - skip, to - from);
      visit(from, length, block->match < 0 ? -1 : block->match + skip);
      from += length;
    }
  }
  // Blocks that end at or before p are not asked for again.
  void forget_before(std::int64_t p);

 private:
  std::deque<Block>::iterator block_at(std::int64_t p);
  void make_until(std::int64_t p);
  void make_block();
  std::int64_t data_price(StreamState& state, std::int64_t count) const;

  const int mode_;
  const MakerSession& session_;
  MatchIndex& index_;
  const BlockPrices& prices_;
  const std::int64_t limit_;
  std::deque<Block> blocks_;
  std::int64_t madeUntil_ = 0;
  std::size_t lastAnswer_ = 0;  // the index of the block block_at found last
};

}  // namespace vd
