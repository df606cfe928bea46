// The walk over one chain of the match index: every position filed under the
// key at the newfile position, in ascending order, measured and priced.
//
// The result is exactly that of measuring every candidate in turn and keeping
// the first of the best gain, stopping once the best is as long as the MODE
// allows. The walk only avoids measuring candidates that provably cannot
// change that result.
#pragma once

#include <cstdint>
#include <optional>

#include "maker/match_cost.h"
#include "maker/match_index.h"

namespace vd {

struct ChainWalk {
  const FileLists& lists;
  const std::uint8_t* data;  // the file the chain indexes
  std::int64_t size;
  std::int64_t base;  // reference-space position of the file's byte 0
  int mode;
  const std::uint8_t* target;  // the newfile at the position searched
  std::int64_t newLeft;
  CostContext context;
  std::optional<MatchCandidate>& best;

  void run();

 private:
  int cost_of(std::int64_t length, std::int64_t q) const;
  std::int64_t longest_possible(std::int64_t q) const;
  // One candidate in turn; true when the walk ends with it.
  bool offer(std::int64_t q, std::int64_t length);
  void walk_candidates(std::uint32_t link, bool endsAfterOne);
  int target_period() const;
  void walk_periodic(std::uint32_t link, int period);
  bool offer_if_it_can_win(std::int64_t q, std::int64_t targetRun);
  std::int64_t run_candidate_length(std::int64_t q, std::int64_t runLeft, std::int64_t targetRun) const;
};

}  // namespace vd
