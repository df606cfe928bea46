// The walk over one chain of the match index: every position filed under the
// key at the newfile position, in ascending order, measured and priced.
//
// The result is exactly that of measuring every candidate in turn and keeping
// the first of the best gain, stopping once the best is as long as the MODE
// allows. The walk only avoids measuring candidates that provably cannot
// change that result.
//
// The work per search, where the file has a suffix array: one binary search
// for the newfile's bytes among the suffixes (about log2 of the file size
// comparisons, each resuming where its neighbours agreed), 16 positions
// visited for the floor (see raise_to_floor), and for each of the few
// segments of one price (at most 4 in MODE 3) one of:
// - a list of the positions that can win, at most a quarter of the segment
//   long and never longer than the positions of the file that agree with
//   the newfile within a few bytes of the longest match there (the floor
//   makes the length needed that close to it);
// - for a newfile that starts with a pattern, one visit per stretch of the
//   pattern in the file, or per run long enough to hold a winner; a
//   stretch of a kilobyte or more is measured at its first visit only (see
//   PeriodicStretches), later visits cost a lookup;
// - else the segment itself, with a one-byte test per position. This is
//   left only when more than a quarter of the segment agrees with the
//   newfile nearly as long as the longest match in the file does, so the
//   walk measures at most four positions for each one that could win. The
//   number of those is not bounded by anything but the file: bytes that
//   stand tens of thousands of times in it, without a pattern, still cost
//   a walk over their chain.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "maker/file_lists.h"
#include "maker/gram_filter.h"
#include "maker/match_cost.h"
#include "maker/match_index.h"
#include "maker/periodic_stretches.h"
#include "maker/price_cuts.h"
#include "maker/run_index.h"
#include "maker/suffix_search.h"

namespace vd {

using Chain = std::span<const std::uint32_t>;

struct ChainWalk {
  Chain chain;
  int keyLength;
  const std::uint8_t* data;  // the file the chain indexes
  std::int64_t size;
  std::int64_t base;  // reference-space position of the file's byte 0
  int mode;
  const std::uint8_t* target;  // the newfile at the position searched
  std::int64_t newLeft;
  CostContext context;
  FilePrices prices;  // of this file in this MODE
  std::optional<MatchCandidate>& best;
  SuffixSearch* suffixes;  // null when the file has no suffix array
  const RunIndex* runs;    // null when the file has none
  PeriodicStretches* stretches;  // of the file, kept from search to search
  const GramFilter* grams;  // null when the file has none
  const FileLists* lists;  // the lists the chain comes from; null before they are built
  // Reference-space positions likely to agree long, measured first where
  // the file has no suffix array.
  std::span<const std::int64_t> hints;
  // The least gain the search can use: a weaker best is as good as none.
  std::int64_t leastGain = INT64_MIN;
  // Candidates the walk may still test; once spent, it stops unfinished.
  std::int64_t workLeft = INT64_MAX;
  // What visiting stretches of a run one by one cost the walk, for lack of a
  // run index: as many bytes of the file as building one reads meanwhile.
  std::int64_t stretchCost = 0;

  // Decides before the chain is looked up, from the best so far and the
  // floor it raises (see raise_to_useful_floor).
  bool nothing_can_beat_best();
  // The walk over the chain, once that found room for a better candidate.
  void run();
  bool unfinished() const { return workLeft < 0; }
  // Before the lists are built: the positions that can beat the floor, from
  // `agreeing` (every position that may agree with the newfile for the
  // length given) and the few of a cheap price measured whole, walked in
  // order. False when the walk cannot be done so.
  using AgreeingPositions = std::function<bool(std::int64_t length, std::vector<std::uint32_t>& out)>;
  bool walk_unlisted(const AgreeingPositions& agreeing, std::vector<std::uint32_t>& candidates);

 private:
  int cost_of(std::int64_t length, std::int64_t q) const;
  std::int64_t longest_possible(std::int64_t q) const;
  std::int64_t best_gain_up_to(std::int64_t longest, std::int64_t q) const;
  std::int64_t length_to_beat_best(std::int64_t q) const;
  // One candidate in turn; true when the walk ends with it.
  bool offer(std::int64_t q, std::int64_t length);
  bool try_candidate(std::int64_t q, std::int64_t needed, std::int64_t known);
  bool walk_candidates(Chain candidates, std::int64_t needed);
  // The pattern the newfile repeats at the position searched.
  struct Pattern {
    int period = 0;  // 0 for none
    std::int64_t run = 0;
  };
  void raise_to_useful_floor();
  void raise_to_floor();
  void raise_to_hinted_floor();
  void raise_floor_to(std::int64_t reached);
  bool spend(std::int64_t work);
  std::optional<std::int64_t> strongest_gain() const;
  std::int64_t lowest_full_length_gain() const;
  std::int64_t length_to_beat_anywhere() const;
  bool some_candidate_can_be(std::int64_t needed) const;
  bool grams_may_hold(std::int64_t needed) const;
  bool walk_few_that_can_beat_best(std::int64_t needed);
  void walk_segments(const Pattern& pattern);
  bool walk_segment(Chain segment, const Pattern& pattern);
  static std::int64_t most_worth_listing(Chain segment, std::size_t next, bool patterned);
  std::optional<Chain> list_what_can_win(Chain segment, std::size_t next, std::int64_t needed, bool patterned);
  struct ShiftedChain {
    Chain chain;
    std::int64_t shift = 0;
  };
  std::optional<ShiftedChain> rarer_chain(Chain segment, std::size_t next, std::int64_t needed);
  bool walk_shifted(const ShiftedChain& rarer, std::int64_t first, std::int64_t last);
  Pattern target_pattern() const;
  int target_period() const;
  std::int64_t stretch_run(std::int64_t first, int period);
  bool walk_stretch(Chain segment, std::size_t& next, const Pattern& pattern);
  bool offer_stretch(std::int64_t first, std::int64_t run, std::int64_t last, const Pattern& pattern);
  bool runs_serve(const Pattern& pattern) const;
  bool walk_long_runs(std::int64_t& position, std::int64_t last, const Pattern& pattern);
  bool offer_if_it_can_win(std::int64_t q, std::int64_t targetRun);
  std::int64_t run_candidate_length(std::int64_t q, std::int64_t runLeft, std::int64_t targetRun) const;
};

}  // namespace vd
