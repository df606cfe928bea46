// The matches the exact-price encoder weighs at one newfile position: the
// longest ones anywhere (neighbours among the sorted suffixes), those with
// the same key close to the running position, and the exact continuations
// that cost few or no position bytes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "maker/match_index.h"
#include "maker/session.h"
#include "maker/suffix_search.h"

namespace vd {

struct OptimalCandidate {
  std::int64_t position;  // in the reference space
  std::int64_t length;    // the most bytes that agree, within the MODE's limit
};

class OptimalCandidates {
 public:
  OptimalCandidates(const MakerSession& session, MatchIndex& index, int mode);

  // The candidates at newfile position p that do not depend on the path
  // that reached it: the longest matches, unless the cheapest path's own
  // continuation at `running` is already long. Called once per position,
  // before shared and for_path.
  void at(std::int64_t p, std::int64_t running);
  // One more candidate at this position for every path.
  void add_shared(const OptimalCandidate& candidate) { add(longest_, candidate.position, candidate.length); }
  const std::vector<OptimalCandidate>& shared() const { return longest_; }
  // The further candidates at p for a path whose running position is
  // `running` and whose open data block holds `dataLength` bytes (0 when
  // the path ends in a match). Lengths may be as short as 1.
  const std::vector<OptimalCandidate>& for_path(std::int64_t p, std::int64_t running, std::int64_t dataLength);
  // Forget what was carried from the previous position: the next call is
  // not for the position after the last one.
  void restart() { carried_.clear(); }

 private:
  // One file of the reference space with its lists.
  struct Source {
    const std::uint8_t* data;
    std::int64_t size;
    std::int64_t base;   // reference position of the file's byte 0
    std::int64_t first;  // the first byte a match may use
    const FileLists* lists;  // the oldfile's: null until they are built
    std::span<const std::uint32_t> chain;  // of the key at the position being searched
  };

  std::int64_t agreement(std::int64_t q, std::int64_t p) const;
  static void add(std::vector<OptimalCandidate>& to, std::int64_t q, std::int64_t length);
  void add(std::int64_t q, std::int64_t length) { add(found_, q, length); }
  void add_continuation(std::int64_t q, std::int64_t p);
  void add_longest(int sourceIndex, std::int64_t p);
  void add_near_running(Source& source, std::int64_t p, std::int64_t running);
  void scan_near_running(std::int64_t p, std::int64_t running);
  std::size_t place_in_chain(std::span<const std::uint32_t> chain, std::int64_t relative);
  bool carry_longest(std::int64_t p);
  void look_up_chains(std::int64_t p);
  void prefetch_chains(std::int64_t p) const;
  void look_up_chain(Source& source, std::int64_t p);
  void list_oldfile(Source& source, std::int64_t p, const FileLists& lists);
  const std::int32_t* suffixes_of(Source& source, std::int64_t p);

  const MakerSession& session_;
  MatchIndex& index_;
  const int mode_;
  const std::int64_t limit_;
  Source sources_[2];
  int sourceCount_ = 0;
  SuffixSearch::Buffers buffers_;
  std::vector<OptimalCandidate> longest_;
  std::vector<OptimalCandidate> found_;
  // The longest candidates of the previous position, one byte on.
  std::vector<OptimalCandidate> carried_;
  std::int64_t carriedFor_ = -1;
  bool nearSearched_ = true;  // at this position; false inside a long match
  // Positions that may still go without the oldfile's sorted suffixes.
  std::int64_t unsortedLeft_;
  // Bytes of the oldfile that may still be read for near positions before
  // its lists are built.
  std::int64_t scanLeft_;
  // The chain searched last and the place found in it.
  const std::uint32_t* lastChain_ = nullptr;
  std::size_t lastPlace_ = 0;
};

}  // namespace vd
