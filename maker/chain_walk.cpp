#include "maker/chain_walk.h"

#include <algorithm>

#include "maker/byte_compare.h"

namespace vd {
namespace {

// How many bytes from p on equal `value`, at most `limit`.
std::int64_t run_length(const std::uint8_t* p, std::uint8_t value, std::int64_t limit) {
  std::int64_t n = 0;
  while (n < limit && p[n] == value) ++n;
  return n;
}

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
  const bool runKey = std::all_of(target, target + keyLength, [&](std::uint8_t b) { return b == target[0]; });
  if (runKey && !endsAfterOne)
    walk_runs(head);
  else
    walk_candidates(head, endsAfterOne);
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

// A candidate with `runLeft` bytes of the run left, against a newfile run of
// `targetRun` bytes: where the runs differ in length the shorter one decides.
std::int64_t ChainWalk::run_candidate_length(std::int64_t q, std::int64_t runLeft,
                                             std::int64_t targetRun) const {
  const std::int64_t maxLength = longest_possible(q);
  if (runLeft != targetRun) return std::min({runLeft, targetRun, maxLength});
  if (maxLength <= targetRun) return maxLength;
  return targetRun + common_prefix(data + q + targetRun, target + targetRun, maxLength - targetRun);
}

// A key of one byte value: every position of the chain lies in a run of
// that byte, and the positions of one run follow each other in the chain.
// Within a run the lengths are known without comparing (see
// run_candidate_length): level while more run is left than the newfile has,
// then falling, with only the candidate whose run ends where the newfile's
// ends able to go on. Where the price of the position stays the same, a
// later candidate of a run therefore never beats an earlier one. So a run
// needs only these candidates, in order: its first, the first at every place
// where the price of a position may change, and the one that can go on.
void ChainWalk::walk_runs(std::uint32_t link) {
  const int keyLength = lists.key_length();
  const std::uint8_t value = target[0];
  const std::int64_t targetRun = run_length(target, value, newLeft);
  const std::int64_t r = context.running;
  const std::int64_t rp = context.replacePosition;
  // Every reference position where a cost table changes its position part.
  const std::int64_t priceChanges[] = {r - 16384, r,       r + 1,   r + 127, r + 253, r + 509, r + 16384,
                                       r + 32895, r + 49151, rp,    rp + 1,  4194304, 8388607, 16777216};
  while (link != 0) {
    const std::int64_t first = lists.position(link);
    const std::int64_t run = run_length(data + first, value, size - first);
    const std::int64_t last = first + run - keyLength;
    link = lists.next(lists.link_of(last));
    // Every candidate costs at least 1, so the candidates other than the one
    // that can go on (at most min(run, targetRun) bytes) cannot beat a best
    // gain this high.
    if (best && best->gain() >= std::min(run, targetRun) - 1) {
      if (run >= targetRun && offer_if_it_can_win(first + run - targetRun, targetRun)) return;
      continue;
    }
    std::int64_t offered[std::size(priceChanges) + 2];
    std::size_t count = 0;
    offered[count++] = first;
    if (const std::int64_t level = first + run - targetRun; level > first && level <= last) offered[count++] = level;
    for (const std::int64_t change : priceChanges)
      if (change - base > first && change - base <= last) offered[count++] = change - base;
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
