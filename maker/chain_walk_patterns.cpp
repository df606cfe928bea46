// The walk over chains where the newfile starts with a run of one byte
// value or a short pattern repeated: stretch by stretch of the pattern, and
// from run to run through the run index.
#include <algorithm>
#include <array>

#include "maker/byte_compare.h"
#include "maker/chain_walk.h"

namespace vd {
namespace {

constexpr int kLongestPeriod = PeriodicStretches::kLongestPeriod;
constexpr std::int64_t kLongRepeat = 64;
// Building the run index reads the file a byte at a time. In the time it
// reads one byte, a walk compares about 64 bytes of a run; a visit to a
// stretch (its first bytes a cache miss) takes as long as reading 16 to 60
// bytes, measured on large binaries and runs of zeros. The visit is rated at
// the low end, so that a file whose runs the index would serve little is
// rarely indexed.
constexpr std::int64_t kBytesIndexedPerStretch = 16;
constexpr std::int64_t kRunBytesPerByteIndexed = 64;

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

bool starts_pattern(const std::uint8_t* p, const std::uint8_t* pattern, int period, std::int64_t limit) {
  return limit >= period && std::equal(p, p + period, pattern);
}

// x rounded down to a multiple of the period; runs of one byte value are by
// far the most common case, and need no division.
std::int64_t round_down(std::int64_t x, int period) { return period == 1 ? x : x / period * period; }

}  // namespace

ChainWalk::Pattern ChainWalk::target_pattern() const {
  Pattern pattern;
  pattern.period = target_period();
  if (pattern.period != 0) pattern.run = pattern_run(target, target, pattern.period, newLeft);
  return pattern;
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
  const std::int64_t run = stretch_run(first, pattern.period);
  // Only runs of one byte value are indexed.
  if (pattern.period == 1) stretchCost += kBytesIndexedPerStretch + run / kRunBytesPerByteIndexed;
  const std::int64_t members = std::min<std::int64_t>(round_down(run - keyLength, pattern.period) / pattern.period + 1,
                                                      static_cast<std::int64_t>(segment.size() - next));
  next += static_cast<std::size_t>(members);
  return offer_stretch(first, run, first + (members - 1) * pattern.period, pattern);
}

// How far the file repeats the newfile's pattern from `first` on; a long
// stretch is measured only at the first visit.
std::int64_t ChainWalk::stretch_run(std::int64_t first, int period) {
  const std::int64_t limit = size - first;
  if (!starts_pattern(data + first, target, period, limit)) return pattern_run(data + first, target, period, limit);
  if (const auto end = stretches->end_from(first, period)) return *end - first;
  const std::int64_t run = pattern_run(data + first, target, period, limit);
  stretches->remember(first, first + run, period);
  return run;
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
