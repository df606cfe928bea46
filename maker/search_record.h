// What one pass of an encoder found at each newfile position it searched,
// kept for the pass after it.
//
// AUTO codes the same newfile several times against the same bytes, and
// DEEP codes it in each MODE once for every minimal block, the lowest
// first. A search's result depends only on the MODE, the newfile position,
// the running and replace positions, the bytes searched and the minimal
// block: the best candidate, when it gains that much, else none. A higher
// minimal block only drops more of the same results. So where a pass
// searches as the pass before it did, with a minimal block no lower, it
// takes that result; and where only the positions differ, the place the
// suffix search found among the sorted suffixes still saves the binary
// search.
//
// Searches go up the newfile, so the next pass reads the entries in order,
// and the chunks it has read serve the pass that records: the record holds
// about one pass's entries at a time. Each entry is coded against the one
// before it, in about 7 bytes: most searches come one after another in a
// stretch of data, from the same running and replace positions.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/run_state.h"
#include "maker/match_candidate.h"
#include "maker/pass_log.h"

namespace vd {

class SearchRecord {
 public:
  struct Entry {
    std::uint32_t p = 0;
    std::uint32_t running = 0;
    std::uint32_t replacePosition = 0;
    std::uint32_t place = 0;  // kept by the suffix search; 0 for none
    std::uint32_t position = 0;
    std::uint32_t lengthAndCost = 0;  // 0: no candidate

    // False for a candidate the entry cannot hold.
    bool set_result(const MatchCandidate& candidate);
    std::optional<MatchCandidate> result() const;
  };

  explicit SearchRecord(ZeroAllocator alloc) : log_(alloc) {}

  // Forgets every entry, as after a change of the bytes searched, and takes
  // at most `bytes` of memory from now on (0: records nothing), after the
  // memory `lent`, which stays the lender's and must not be used by it until
  // the next restart.
  void restart(std::size_t bytes, std::span<std::uint8_t> lent = {});
  // What the pass that ends recorded becomes what the next one reads.
  void start_pass(int mode, int minBlock);
  // The entry of the previous pass at newfile position p, if it searched
  // there. Asked in ascending order; an entry passed over is gone.
  const Entry* find(std::int64_t p);
  bool previous_pass_had_mode(int mode) const { return previousMode_ == mode; }
  // Whether the previous pass's results are those a pass of this MODE and
  // minimal block would find.
  bool previous_pass_serves(int mode, int minBlock) const {
    return previous_pass_had_mode(mode) && previousMinBlock_ <= minBlock;
  }
  // Leaves out what does not fit in the memory allowed, and a position
  // below the last one recorded.
  void add(const Entry& entry);

 private:
  bool read_next();

  PassLog log_;
  int mode_ = 0;
  int minBlock_ = 0;
  Entry last_;  // the last entry written
  bool empty_ = true;
  int previousMode_ = 0;
  int previousMinBlock_ = 0;
  Entry next_;  // the previous pass's entry read last
  bool nextValid_ = false;
};

}  // namespace vd
