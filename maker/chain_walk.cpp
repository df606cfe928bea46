#include "maker/chain_walk.h"

#include <algorithm>

#include "maker/byte_compare.h"

namespace vd {
namespace {

constexpr int kLongestPeriod = 8;
constexpr std::int64_t kLongRepeat = 64;

// How many bytes from p on repeat `pattern` (period bytes), at most `limit`.
std::int64_t pattern_run(const std::uint8_t* p, const std::uint8_t* pattern, int period, std::int64_t limit) {
  std::int64_t n = 0;
  if (period == 1) {
    while (n < limit && p[n] == pattern[0]) ++n;
    return n;
  }
  for (int phase = 0; n < limit && p[n] == pattern[phase]; phase = phase + 1 == period ? 0 : phase + 1) ++n;
  return n;
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

bool ChainWalk::offer(std::int64_t q, std::int64_t length) {
  if (length < 3) return false;
  MatchCandidate candidate;
  candidate.length = length;
  candidate.position = base + q;
  candidate.cost = cost_of(length, candidate.position);
  if (!best || candidate.gain() > best->gain()) best = candidate;
  return best->length == block_length_limit(mode);
}

void ChainWalk::run() {
  const int keyLength = lists.key_length();
  const std::uint32_t head = lists.head(key_at(target, keyLength));
  // With a best candidate of full length already, the walk ends after the
  // next candidate that counts, whatever it is: measure that one in full.
  const bool endsAfterOne = best && best->length == block_length_limit(mode);
  const int period = endsAfterOne ? 0 : target_period();
  if (period != 0)
    walk_periodic(head, period);
  else
    walk_candidates(head, endsAfterOne);
}

// The shortest period (up to 8 bytes) with which the newfile repeats its
// first bytes for at least a key beyond them, provided the key stands only
// at the start of that pattern; 0 when there is none. The repetition makes
// the key itself follow the pattern, so every position of the chain starts a
// run of it.
int ChainWalk::target_period() const {
  const int keyLength = lists.key_length();
  for (int period = 1; period <= kLongestPeriod && period + keyLength <= newLeft; ++period) {
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
    if (period == 1 || pattern_run(target, target, period, kLongRepeat) == kLongRepeat) return period;
  }
  return 0;
}

void ChainWalk::walk_candidates(std::uint32_t link, bool endsAfterOne) {
  const int keyLength = lists.key_length();
  for (; link != 0; link = lists.next(link)) {
    const std::int64_t q = lists.position(link);
    const std::int64_t maxLength = longest_possible(q);
    if (best && !endsAfterOne) {
      // Costs never fall as a match grows, so a candidate can beat the best
      // gain only with at least `needed` bytes; one byte tells whether it
      // can have them. Skipping it changes nothing: it would not have become
      // the best, and the walk would not have ended at it.
      const std::int64_t needed = best->gain() + cost_of(3, base + q) + 1;
      if (needed > maxLength) continue;
      if (needed > keyLength && data[q + needed - 1] != target[needed - 1]) continue;
    }
    // The key bytes are known to agree.
    const std::int64_t length =
        keyLength + common_prefix(data + q + keyLength, target + keyLength, maxLength - keyLength);
    if (offer(q, length)) return;
  }
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
// left than the newfile, then falling, with only the candidate whose run
// ends where the newfile's does able to go on. Where the price of a position
// stays the same, a later candidate of a stretch therefore never beats an
// earlier one. So a stretch needs only these candidates, in order: its
// first, the first at or after every place where the price of a position
// may change, and the one that can go on.
void ChainWalk::walk_periodic(std::uint32_t link, int period) {
  const int keyLength = lists.key_length();
  const std::int64_t targetRun = pattern_run(target, target, period, newLeft);
  const std::int64_t r = context.running;
  const std::int64_t rp = context.replacePosition;
  // Every reference position where a cost table changes its position part.
  const std::int64_t priceChanges[] = {r - 16384, r,       r + 1,   r + 127, r + 253, r + 509, r + 16384,
                                       r + 32895, r + 49151, rp,    rp + 1,  4194304, 8388607, 16777216};
  while (link != 0) {
    const std::int64_t first = lists.position(link);
    const std::int64_t run = pattern_run(data + first, target, period, size - first);
    const std::int64_t last = first + round_down(run - keyLength, period);
    link = lists.next(lists.link_of(last));
    const std::int64_t level = first + run - targetRun;
    const bool hasLevel = run >= targetRun && round_down(run - targetRun, period) == run - targetRun && level <= last;
    // Every candidate costs at least 1, so the candidates other than the one
    // that can go on (at most min(run, targetRun) bytes) cannot beat a best
    // gain this high.
    if (best && best->gain() >= std::min(run, targetRun) - 1) {
      if (hasLevel && offer_if_it_can_win(level, targetRun)) return;
      continue;
    }
    if (last == first) {
      if (offer(first, run_candidate_length(first, run, targetRun))) return;
      continue;
    }
    std::int64_t offered[std::size(priceChanges) + 2];
    std::size_t count = 0;
    offered[count++] = first;
    if (hasLevel) offered[count++] = level;
    for (const std::int64_t change : priceChanges) {
      const std::int64_t from = change - base - first;
      if (from <= 0) continue;
      const std::int64_t member = first + round_down(from + period - 1, period);
      if (member <= last) offered[count++] = member;
    }
    std::sort(offered, offered + count);
    const auto end = std::unique(offered, offered + count);
    for (auto q = offered; q != end; ++q)
      if (offer(*q, run_candidate_length(*q, run - (*q - first), targetRun))) return;
  }
}

// The candidate whose run ends where the newfile's does: its first
// `targetRun` bytes are known to agree. The one-byte test of
// walk_candidates decides whether measuring the rest can pay.
bool ChainWalk::offer_if_it_can_win(std::int64_t q, std::int64_t targetRun) {
  const std::int64_t needed = best->gain() + cost_of(3, base + q) + 1;
  if (needed > longest_possible(q)) return false;
  if (needed > targetRun && data[q + needed - 1] != target[needed - 1]) return false;
  return offer(q, run_candidate_length(q, targetRun, targetRun));
}

}  // namespace vd
