#include "maker/chain_walk.h"

#include <algorithm>
#include <array>

#include "maker/byte_compare.h"

namespace vd {
namespace {

constexpr int kLongestPeriod = 8;
constexpr std::int64_t kLongRepeat = 64;

// How many bytes from p on repeat `pattern` (period bytes), at most `limit`.
// After its first period bytes, a repetition is every byte equal to the one
// a period before it, which compares eight bytes at a time.
std::int64_t pattern_run(const std::uint8_t* p, const std::uint8_t* pattern, int period, std::int64_t limit) {
  const std::int64_t start = std::min<std::int64_t>(period, limit);
  for (std::int64_t n = 0; n < start; ++n)
    if (p[n] != pattern[n]) return n;
  if (start < period) return start;
  return period + common_prefix(p + period, p, limit - period);
}

// x rounded down to a multiple of the period; runs of one byte value are by
// far the most common case, and need no division.
std::int64_t round_down(std::int64_t x, int period) { return period == 1 ? x : x / period * period; }

}  // namespace

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
bool ChainWalk::try_candidate(std::int64_t q, std::int64_t needed) {
  if (!spend(1)) return true;
  const std::int64_t maxLength = longest_possible(q);
  if (needed > maxLength) return false;
  if (needed > keyLength && data[q + needed - 1] != target[needed - 1]) return false;
  // The key bytes are known to agree.
  return offer(q, keyLength + common_prefix(data + q + keyLength, target + keyLength, maxLength - keyLength));
}

bool ChainWalk::walk_candidates(Chain candidates, std::int64_t needed) {
  for (const std::uint32_t q : candidates)
    if (try_candidate(q, needed)) return true;
  return false;
}

void ChainWalk::run() {
  if (chain.empty()) return;
  // With a best candidate of full length already, the walk ends after the
  // next candidate that counts, whatever it is: measure each in full.
  if (best && best->length == block_length_limit(mode)) {
    walk_candidates(chain, 0);
    return;
  }
  raise_to_floor();
  Pattern pattern;
  pattern.period = target_period();
  if (pattern.period != 0) pattern.run = pattern_run(target, target, pattern.period, newLeft);
  walk_segments(pattern);
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
void ChainWalk::raise_to_hinted_floor() {
  std::optional<std::int64_t> strongest;
  for (const std::int64_t hint : hints) {
    const std::int64_t q = hint - base;
    if (q < 0 || q >= size || !std::binary_search(chain.begin(), chain.end(), q) || !spend(1)) continue;
    const std::int64_t length =
        keyLength + common_prefix(data + q + keyLength, target + keyLength, longest_possible(q) - keyLength);
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

// A price holds from one price change position up to the next.
std::int64_t ChainWalk::lowest_full_length_gain() const {
  const std::int64_t limit = block_length_limit(mode);
  int dearest = cost_of(limit, base);
  for (const std::int64_t change : priceCuts)
    if (change > base && change < base + size) dearest = std::max(dearest, cost_of(limit, change));
  return limit - dearest;
}

// The chain cut where the price of a position changes: inside a segment
// every candidate costs the same for the same length. Cutting where this
// file's prices in this MODE stay as they are would only weaken the
// shortcuts.
void ChainWalk::walk_segments(const Pattern& pattern) {
  std::size_t from = 0;
  for (const std::int64_t change : priceCuts) {
    const std::int64_t cut = change - base;
    if (cut <= chain.front() || cut > chain.back()) continue;
    const auto to = static_cast<std::size_t>(
        std::lower_bound(chain.begin() + static_cast<std::ptrdiff_t>(from), chain.end(), cut) - chain.begin());
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
        if (const auto rarer = rarer_chain(segment, next, needed)) return walk_shifted(*rarer, q, segment.back());
      } else {
        if (const auto listed = list_what_can_win(segment, next, needed, pattern.period != 0)) return walk_candidates(*listed, needed);
        if (runs_serve(pattern)) {
          std::int64_t resume = q;
          if (walk_long_runs(resume, segment.back(), pattern)) return true;
          next = static_cast<std::size_t>(
              std::lower_bound(segment.begin() + static_cast<std::ptrdiff_t>(next), segment.end(), resume) -
              segment.begin());
          continue;
        }
      }
    }
    if (pattern.period != 0 ? walk_stretch(segment, next, pattern) : try_candidate(segment[next++], needed))
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
// segment, holds every candidate the segment still needs, in order.
std::optional<ChainWalk::ShiftedChain> ChainWalk::rarer_chain(Chain segment, std::size_t next, std::int64_t needed) {
  constexpr std::int64_t kShiftsTried = 16;
  constexpr std::size_t kWorthShifting = 64;
  const std::size_t left = segment.size() - next;
  const std::int64_t farthest = needed - keyLength;
  if (left <= kWorthShifting || farthest < 1 || !spend(kShiftsTried)) return std::nullopt;
  ShiftedChain rarest{segment, 0};
  for (std::int64_t i = 1; i <= kShiftsTried; ++i) {
    const std::int64_t shift = farthest * i / kShiftsTried;
    const Chain shifted = lists->chain(key_at(target + shift, keyLength));
    if (shifted.size() < rarest.chain.size()) rarest = {shifted, shift};
  }
  if (rarest.chain.size() * 4 > left) return std::nullopt;
  return rarest;
}

// The candidates from `first` to `last` that the shifted chain leads to; a
// shifted position need not be in the chain at all, so each is measured
// from its first byte.
bool ChainWalk::walk_shifted(const ShiftedChain& rarer, std::int64_t first, std::int64_t last) {
  auto at = std::lower_bound(rarer.chain.begin(), rarer.chain.end(), first + rarer.shift);
  for (; at != rarer.chain.end() && *at <= last + rarer.shift; ++at) {
    if (!spend(1)) return true;
    const std::int64_t q = *at - rarer.shift;
    const std::int64_t needed = length_to_beat_best(q);
    const std::int64_t maxLength = longest_possible(q);
    if (needed > maxLength || data[q + needed - 1] != target[needed - 1]) continue;
    if (offer(q, common_prefix(data + q, target, maxLength))) return true;
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

// The shortest period (up to 8 bytes) with which the newfile repeats its
// first bytes for at least a key beyond them, provided the key stands only
// at the start of that pattern; 0 when there is none. The repetition makes
// the key itself follow the pattern, so every position of the chain starts a
// run of it. A key of one byte value is such a run by itself, even where the
// newfile's run is no longer than the key: the chain of that key holds every
// position of every run of the value, by far the longest chains of a binary,
// of which only the one position per run where the run ends as the newfile's
// does can agree beyond the key.
int ChainWalk::target_period() const {
  if (std::all_of(target + 1, target + keyLength, [&](std::uint8_t byte) { return byte == target[0]; })) return 1;
  for (int period = 2; period <= kLongestPeriod && period + keyLength <= newLeft; ++period) {
    if (!std::equal(target, target + keyLength, target + period)) continue;
    const auto key_at_phase = [&](int phase) {
      for (int i = 0; i < keyLength; ++i)
        if (target[(phase + i) % period] != target[i]) return false;
      return true;
    };
    bool keyOnlyAtStart = true;
    for (int phase = 1; phase < period; ++phase) keyOnlyAtStart = keyOnlyAtStart && !key_at_phase(phase);
    if (!keyOnlyAtStart) continue;
    // A longer pattern pays only where it repeats for long: short repeats are
    // common in executables, and walking them stretch by stretch costs more
    // than it saves.
    if (pattern_run(target, target, period, std::min(kLongRepeat, newLeft)) == kLongRepeat) return period;
  }
  return 0;
}

// A candidate whose bytes repeat the newfile's pattern for `runLeft` bytes,
// against the newfile's `targetRun`: where the two differ the shorter one
// decides, since there one side leaves the pattern and the other does not.
std::int64_t ChainWalk::run_candidate_length(std::int64_t q, std::int64_t runLeft,
                                             std::int64_t targetRun) const {
  const std::int64_t maxLength = longest_possible(q);
  if (runLeft != targetRun) return std::min({runLeft, targetRun, maxLength});
  if (maxLength <= targetRun) return maxLength;
  return targetRun + common_prefix(data + q + targetRun, target + targetRun, maxLength - targetRun);
}

// The newfile starts with a short pattern repeated (one byte value, or up to
// eight bytes), in which the key stands only at the start. Then the chain's
// positions inside a stretch of the file that repeats the same pattern are
// every `period`-th position of it, one after another in the chain, and their
// lengths follow from the two pattern runs without comparing (see
// run_candidate_length): level while the stretch has more of the pattern
// left than the newfile, then one period shorter each, with only the
// candidate whose run ends where the newfile's does able to go on. Inside a
// segment all cost the same for the same length, and the gain grows with
// the length inside a length tier; so a later candidate of the stretch beats
// every earlier one only by being that one, or the first to fall to the end
// of a shorter length tier. Those and the stretch's first are offered, in
// order; `next` moves past the stretch's members in the segment.
bool ChainWalk::walk_stretch(Chain segment, std::size_t& next, const Pattern& pattern) {
  if (!spend(1)) return true;
  const std::int64_t first = segment[next];
  const std::int64_t run = pattern_run(data + first, target, pattern.period, size - first);
  const std::int64_t members = std::min<std::int64_t>(round_down(run - keyLength, pattern.period) / pattern.period + 1,
                                                      static_cast<std::int64_t>(segment.size() - next));
  next += static_cast<std::size_t>(members);
  return offer_stretch(first, run, first + (members - 1) * pattern.period, pattern);
}

// The candidates of one stretch that can beat the best: `run` bytes of the
// pattern from `first` on, chain members from `first` to `last`.
bool ChainWalk::offer_stretch(std::int64_t first, std::int64_t run, std::int64_t last, const Pattern& pattern) {
  const int period = pattern.period;
  const std::int64_t targetRun = pattern.run;
  const std::int64_t level = first + run - targetRun;
  const bool hasLevel = run >= targetRun && round_down(run - targetRun, period) == run - targetRun && level <= last;
  // Every candidate costs at least 1, so the candidates other than the one
  // that can go on (at most min(run, targetRun) bytes) cannot beat a best
  // gain this high.
  if (best && best->gain() >= std::min(run, targetRun) - 1)
    return hasLevel && offer_if_it_can_win(level, targetRun);
  // Unused places hold `first`, which is offered anyway.
  std::array<std::int64_t, kLengthTierEnds.size() + 2> offered;
  offered.fill(first);
  if (hasLevel) offered[1] = level;
  for (std::size_t i = 0; i < kLengthTierEnds.size(); ++i) {
    // The first member with at most the tier's last length of the pattern left.
    const std::int64_t member =
        first + round_down(std::max<std::int64_t>(run - kLengthTierEnds[i], 0) + period - 1, period);
    if (member <= last) offered[i + 2] = member;
  }
  std::sort(offered.begin(), offered.end());
  const auto end = std::unique(offered.begin(), offered.end());
  for (auto q = offered.begin(); q != end; ++q)
    if (offer(*q, run_candidate_length(*q, run - (*q - first), targetRun))) return true;
  return false;
}

// A newfile that starts with a run of one byte value, 3 bytes or longer,
// so that every run long enough to hold a candidate that counts is in the
// run index.
bool ChainWalk::runs_serve(const Pattern& pattern) const {
  return runs != nullptr && runs->built() && pattern.period == 1 && pattern.run >= 3;
}

// The stretches of the segment from `position` to `last`, visiting only the
// runs that can hold a candidate beating the best, until the best changes;
// `position` then tells where the segment goes on (past `last` when it is
// done). A run shorter than the length needed holds only candidates that
// short (it is shorter than the newfile's run, so none runs on past it).
// Once even the newfile's run is too short, only a candidate where a run at
// least as long ends as the newfile's does can win (see offer_stretch), and
// only where the byte after the run agrees too. Runs are visited in
// ascending order, as the chain holds them.
bool ChainWalk::walk_long_runs(std::int64_t& position, std::int64_t last, const Pattern& pattern) {
  const std::int64_t needed = length_to_beat_best(position);
  const bool endsOnly = needed > pattern.run;
  const std::int64_t shortest = endsOnly ? pattern.run : needed;
  const std::int64_t gain = best->gain();
  // A newfile that is one run to its end has no byte after the run.
  if (endsOnly && pattern.run == newLeft) {
    position = last + 1;
    return false;
  }
  const auto list = runs->runs_at_least(target[0], shortest);
  const auto by_end = [](std::int64_t at, const RunIndex::Run& run) { return at < run.end; };
  for (auto run = std::upper_bound(list.begin(), list.end(), position, by_end); run != list.end(); ++run) {
    const std::int64_t first = std::max<std::int64_t>(run->end - run->length, position);
    const std::int64_t length = run->end - first;
    if (first > last || (endsOnly && run->end - pattern.run > last)) break;
    if (length < shortest) continue;
    const bool ended =
        endsOnly ? run->end < size && data[run->end] == target[pattern.run] &&
                       offer_if_it_can_win(run->end - pattern.run, pattern.run)
                 : offer_stretch(first, length, std::min<std::int64_t>(run->end - keyLength, last), pattern);
    if (ended) return true;
    if (best->gain() != gain) {
      position = run->end;
      return false;
    }
  }
  position = last + 1;
  return false;
}

// The candidate whose run ends where the newfile's does: its first
// `targetRun` bytes are known to agree. The one-byte test of
// try_candidate decides whether measuring the rest can pay.
bool ChainWalk::offer_if_it_can_win(std::int64_t q, std::int64_t targetRun) {
  if (!spend(1)) return true;
  const std::int64_t needed = length_to_beat_best(q);
  if (needed > longest_possible(q)) return false;
  if (needed > targetRun && data[q + needed - 1] != target[needed - 1]) return false;
  return offer(q, run_candidate_length(q, targetRun, targetRun));
}

}  // namespace vd
