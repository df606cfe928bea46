#include "maker/chain_walk.h"

#include <algorithm>

#include "maker/byte_compare.h"

namespace vd {

int ChainWalk::cost_of(std::int64_t length, std::int64_t q) const {
  return base == 0 ? oldfile_match_cost(mode, length, q, context) : patchfile_match_cost(mode, length, q, context);
}

std::int64_t ChainWalk::longest_possible(std::int64_t q) const {
  return std::min({block_length_limit(mode), size - q, newLeft});
}

// The highest gain a candidate at file position q can have with at most
// `longest` bytes. Inside a length tier the gain grows with the length, so
// the highest lies at the end of a tier or at `longest` itself.
std::int64_t ChainWalk::best_gain_up_to(std::int64_t longest, std::int64_t q) const {
  if (longest < 3) return INT64_MIN;
  std::int64_t most = longest - cost_of(longest, base + q);
  for (const std::int64_t end : kLengthTierEnds)
    if (end >= 3 && end < longest) most = std::max(most, end - cost_of(end, base + q));
  return most;
}

// Costs never fall as a match grows, so a candidate at q beats the best gain
// only with at least this many bytes; and no candidate counts with fewer
// than 3.
std::int64_t ChainWalk::length_to_beat_best(std::int64_t q) const {
  return std::max<std::int64_t>(3, best->gain() + cost_of(3, base + q) + 1);
}

bool ChainWalk::offer(std::int64_t q, std::int64_t length) {
  if (length < 3) return false;
  MatchCandidate candidate;
  candidate.length = length;
  candidate.position = base + q;
  candidate.cost = cost_of(length, candidate.position);
  if (!best || candidate.gain() > best->gain()) best = candidate;
  return best->length == block_length_limit(mode);
}

// A candidate that one byte shows cannot have `needed` bytes is skipped (0
// skips none). Given a length a candidate needs to beat the best gain, it
// would not have become the best, and the walk would not have ended at it.
// The first `known` bytes are known to agree: the key's, for a chain member.
bool ChainWalk::try_candidate(std::int64_t q, std::int64_t needed, std::int64_t known) {
  if (!spend(1)) return true;
  const std::int64_t maxLength = longest_possible(q);
  if (needed > maxLength) return false;
  if (needed > known && data[q + needed - 1] != target[needed - 1]) return false;
  return offer(q, known + common_prefix(data + q + known, target + known, maxLength - known));
}

bool ChainWalk::walk_candidates(Chain candidates, std::int64_t needed) {
  for (const std::uint32_t q : candidates)
    if (try_candidate(q, needed, keyLength)) return true;
  return false;
}

// With a best candidate of full length already, the walk ends after the
// next candidate that counts, whatever it is, so it needs the chain.
bool ChainWalk::nothing_can_beat_best() {
  if (best && best->length == block_length_limit(mode)) return false;
  raise_to_useful_floor();
  return best && !some_candidate_can_be(length_to_beat_anywhere());
}

void ChainWalk::run() {
  if (chain.empty()) return;
  if (best && best->length == block_length_limit(mode)) {
    walk_candidates(chain, 0);
    return;
  }
  if (best && suffixes != nullptr && walk_few_that_can_beat_best(length_to_beat_anywhere())) return;
  raise_to_floor();
  walk_segments(target_pattern());
}

// A best that gains less than the search can use ends as none, so the walk
// may start from a floor just below that gain, as raise_to_floor explains;
// but never above what the dearest candidate of full length gains, since
// such a candidate would end the walk. In a stretch of data, where nothing
// gains enough, the floor is what keeps the walk short.
void ChainWalk::raise_to_useful_floor() {
  if (leastGain == INT64_MIN) return;
  raise_floor_to(std::min(leastGain, lowest_full_length_gain()));
}

// With a best already, from another file or the floor, a candidate here
// beats it only with at least this many bytes, at the cheapest price this
// file has. In a stretch of data, or in the patch file's lists beside the
// oldfile's best, the walk mostly only shows that nothing beats the best.
std::int64_t ChainWalk::length_to_beat_anywhere() const {
  return std::max<std::int64_t>(3, best->gain() + prices.cheapestOfThree + 1);
}

// A candidate of `needed` bytes holds the key at each of them, so where
// some key there has no chain, no candidate can be; nor where some string
// there has no bit in the file's filter.
bool ChainWalk::some_candidate_can_be(std::int64_t needed) const {
  return needed <= std::min(block_length_limit(mode), newLeft) &&
         (lists == nullptr || lists->may_hold_keys_of(target, needed)) &&
         grams_may_hold(needed);
}

bool ChainWalk::grams_may_hold(std::int64_t needed) const {
  return needed <= newLeft && (grams == nullptr || grams->may_hold(target, needed));
}

// When a rarer chain shows that few positions or none can agree for
// `needed` bytes, those are all the walk needs, and the binary search over
// the suffixes is saved.
bool ChainWalk::walk_few_that_can_beat_best(std::int64_t needed) {
  constexpr std::size_t kFewEnough = 64;
  const auto rarer = rarer_chain(chain, 0, needed);
  if (!rarer || rarer->chain.size() > kFewEnough) return false;
  walk_shifted(*rarer, chain.front(), chain.back());
  return true;
}

// Why the walk is bounded. The chain is walked in position order, so the
// best so far is often far weaker than what the chain holds; a weak best
// lets every shortcut below through, and the walk then measures chains of
// hundreds of thousands of positions one by one. So the best starts at a
// floor, one below a gain the result is known to reach:
// - without a candidate of full length in the chain, the walk keeps the
//   first candidate of the highest gain, which gains at least as much as
//   the strongest of the file's most agreeing positions (all of them in the
//   chain: they agree for 3 bytes or more);
// - with one, the walk ends at the first candidate of full length that
//   beats the best, and no candidate of full length gains less than the
//   dearest price of that length leaves.
// Candidates below the floor would only ever have been beaten, and those at
// or above it meet the same bests as before, so the result stays the same;
// and the floor itself never remains the best. With the floor, a candidate
// must agree about as long as the file's longest match to count, so the
// suffix array lists the few that can, and the walk measures those instead
// of the chain.
void ChainWalk::raise_to_floor() {
  constexpr std::size_t kFewCandidates = 64;
  if (chain.size() <= kFewCandidates) return;
  if (suffixes == nullptr) {
    raise_to_hinted_floor();
    return;
  }
  const bool fullLength = suffixes->longest_match() >= block_length_limit(mode);
  if (const auto reached = fullLength ? lowest_full_length_gain() : strongest_gain()) raise_floor_to(*reached);
}

// Without a suffix array, a candidate of the chain that a hint leads to
// shows a gain the result reaches, unless the walk ends at a candidate of
// full length first, which gains no less than the dearest full length.
// Before the lists are built, a hint that agrees for 3 bytes is one.
void ChainWalk::raise_to_hinted_floor() {
  std::optional<std::int64_t> strongest;
  for (const std::int64_t hint : hints) {
    const std::int64_t q = hint - base;
    const bool listed = lists != nullptr;
    if (q < 0 || q >= size || (listed && !std::binary_search(chain.begin(), chain.end(), q)) || !spend(1)) continue;
    const std::int64_t known = listed ? keyLength : 0;
    const std::int64_t length = known + common_prefix(data + q + known, target + known, longest_possible(q) - known);
    if (length >= 3) strongest = std::max(strongest.value_or(INT64_MIN), length - cost_of(length, hint));
  }
  if (strongest) raise_floor_to(std::min(*strongest, lowest_full_length_gain()));
}

void ChainWalk::raise_floor_to(std::int64_t reached) {
  const std::int64_t floorGain = reached - 1;
  if (best && best->gain() >= floorGain) return;
  MatchCandidate floor;
  floor.cost = static_cast<int>(-floorGain);
  best = floor;
}

bool ChainWalk::spend(std::int64_t work) {
  workLeft -= work;
  return workLeft >= 0;
}

// None when no position of the file agrees for 3 bytes.
std::optional<std::int64_t> ChainWalk::strongest_gain() const {
  constexpr std::size_t kStrongestLooked = 16;
  std::optional<std::int64_t> strongest;
  for (const auto& [q, agrees] : suffixes->most_agreeing(kStrongestLooked))
    strongest = std::max(strongest.value_or(INT64_MIN), agrees - cost_of(agrees, base + q));
  return strongest;
}

std::int64_t ChainWalk::lowest_full_length_gain() const {
  const std::int64_t limit = block_length_limit(mode);
  return limit - prices.dearestOfFull;
}


// The chain cut where the price of a position changes: inside a segment
// every candidate costs the same for the same length. Cutting where this
// file's prices in this MODE stay as they are would only weaken the
// shortcuts.
void ChainWalk::walk_segments(const Pattern& pattern) {
  std::size_t from = 0;
  for (const std::int64_t change : prices.cuts) {
    const std::int64_t cut = change - base;
    if (cut <= chain.front() || cut > chain.back()) continue;
    // Most price changes stand close together around the running position.
    const std::size_t to = from == 0 ? first_not_below(chain, 0, chain.size(), cut) : gallop_from(chain, from, cut);
    if (to > from && walk_segment(chain.subspan(from, to - from), pattern)) return;
    from = to;
  }
  walk_segment(chain.subspan(from), pattern);
}

// Candidates of one price. Whenever the best gain changes:
// - no candidate longer than the file's longest match, or than the first
//   candidate could be, exists here, so if even that length cannot beat the
//   best, neither can any candidate left in the segment;
// - every candidate left that could beat it agrees with the newfile for
//   length_to_beat_best() bytes; when the suffix array shows that only a few
//   positions do, those are all the segment still needs (each is a chain
//   candidate: it agrees for at least 3 bytes, the longest key). The best
//   gain only grows, so the ones left out stay unable to beat it;
// - without a suffix array, where the file's string filter shows that no
//   position agrees for that many bytes, nothing left can beat it either;
// - otherwise, for a newfile that starts with a run, the run index leads to
//   the runs that can hold a winner, until the best changes again.
bool ChainWalk::walk_segment(Chain segment, const Pattern& pattern) {
  constexpr std::size_t kFewCandidates = 16;
  const bool searchable = suffixes != nullptr && segment.size() > kFewCandidates;
  std::int64_t longest = longest_possible(segment.front());
  if (searchable) longest = std::min(longest, suffixes->longest_match());
  std::optional<std::int64_t> checkedGain;
  std::int64_t needed = 0;  // by a candidate of this segment to beat the best
  std::size_t next = 0;
  while (next < segment.size()) {
    const std::int64_t q = segment[next];
    if (best && best->gain() != checkedGain) {
      checkedGain = best->gain();
      if (best_gain_up_to(longest, q) <= *checkedGain) return false;
      needed = length_to_beat_best(q);
      if (!searchable) {
        if (!grams_may_hold(needed)) return false;
        if (const auto rarer = rarer_chain(segment, next, needed)) return walk_shifted(*rarer, q, segment.back());
      } else if (const auto listed = list_what_can_win(segment, next, needed, pattern.period != 0)) {
        return walk_candidates(*listed, needed);
      }
      if (runs_serve(pattern)) {
        std::int64_t resume = q;
        if (walk_long_runs(resume, segment.back(), pattern)) return true;
        next = static_cast<std::size_t>(
            std::lower_bound(segment.begin() + static_cast<std::ptrdiff_t>(next), segment.end(), resume) -
            segment.begin());
        continue;
      }
    }
    if (pattern.period != 0 ? walk_stretch(segment, next, pattern) : try_candidate(segment[next++], needed, keyLength))
      return true;
  }
  return false;
}

// The positions from segment[next] on that can end as the best, in order,
// when few enough: those agreeing for `needed` bytes, or else those that can
// gain as much as the segment's most agreeing position does. Whatever ends
// as the best here gains at least that much, and the first of the highest
// gain is among them, as is the first of full length, where the walk would
// end (the highest gain of all is that of full length). Walking only these
// therefore ends with the same best.
std::optional<Chain> ChainWalk::list_what_can_win(Chain segment, std::size_t next, std::int64_t needed,
                                                  bool patterned) {
  constexpr std::size_t kMostVisited = 64;
  const std::int64_t q = segment[next];
  const std::int64_t most = most_worth_listing(segment, next, patterned);
  if (const auto listed = suffixes->positions_agreeing(needed, most, q, segment.back())) return listed;
  const auto longest = suffixes->longest_match_within(q, segment.back(), kMostVisited);
  if (!longest) return std::nullopt;
  const std::int64_t gain = *longest - cost_of(*longest, base + q);
  if (gain <= best->gain()) return std::nullopt;
  return suffixes->positions_agreeing(std::max<std::int64_t>(3, gain + cost_of(3, base + q)), most, q,
                                      segment.back());
}

// Without a suffix array: every candidate that can beat the best agrees for
// `needed` bytes, so it also holds the key at each of those bytes, and its
// position shifted by that many bytes is in the chain of that key. The
// shortest of a few such chains, when well shorter than what is left of the
// segment, holds every candidate the segment still needs, in order. Looking
// up a chain costs about what testing a candidate does (a cache miss), so
// the lookups pay once the segment holds twice as many candidates; each
// shift is looked up once.
std::optional<ChainWalk::ShiftedChain> ChainWalk::rarer_chain(Chain segment, std::size_t next, std::int64_t needed) {
  constexpr std::int64_t kMostShifts = 16;
  const auto left = static_cast<std::int64_t>(segment.size() - next);
  const std::int64_t farthest = needed - keyLength;
  const std::int64_t shifts = std::min(farthest, kMostShifts);
  if (farthest < 1 || left <= 2 * shifts || !spend(shifts)) return std::nullopt;
  ShiftedChain rarest{segment, 0};
  for (std::int64_t i = 1; i <= shifts; ++i) {
    const std::int64_t shift = farthest * i / shifts;
    const Chain shifted = lists->chain(key_at(target + shift, keyLength));
    if (shifted.size() < rarest.chain.size()) rarest = {shifted, shift};
  }
  if (static_cast<std::int64_t>(rarest.chain.size()) * 4 > left) return std::nullopt;
  return rarest;
}

// The candidates from `first` to `last` that the shifted chain leads to; a
// shifted position need not be in the chain at all, so each is measured
// from its first byte.
bool ChainWalk::walk_shifted(const ShiftedChain& rarer, std::int64_t first, std::int64_t last) {
  auto at = std::lower_bound(rarer.chain.begin(), rarer.chain.end(), first + rarer.shift);
  for (; at != rarer.chain.end() && *at <= last + rarer.shift; ++at) {
    const std::int64_t q = *at - rarer.shift;
    if (try_candidate(q, length_to_beat_best(q), 0)) return true;
  }
  return false;
}

// Listing a position costs about as much as testing a candidate: a list pays
// while it is well shorter than what is left of the segment. Finding that a
// list would be too long costs only a gallop over the suffixes. A newfile
// that starts with a pattern has a cheaper way through long lists, its runs
// and stretches, so its lists stay short.
std::int64_t ChainWalk::most_worth_listing(Chain segment, std::size_t next, bool patterned) {
  constexpr std::int64_t kAlwaysWorth = 48;
  constexpr std::int64_t kWorthBesidePatterns = 1024;
  const std::int64_t worth = static_cast<std::int64_t>(segment.size() - next) / 4;
  return patterned ? std::clamp(worth, kAlwaysWorth, kWorthBesidePatterns) : std::max(worth, kAlwaysWorth);
}

}  // namespace vd
