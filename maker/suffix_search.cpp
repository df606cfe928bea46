#include "maker/suffix_search.h"

#include <algorithm>

#include "maker/byte_compare.h"
#include "maker/position_sort.h"

namespace vd {

SuffixSearch::SuffixSearch(const std::uint8_t* data, std::int64_t size, const std::int32_t* suffixes,
                           const std::uint8_t* target, std::int64_t targetLength, Buffers& buffers,
                           std::int64_t origin)
    : data_(data + origin),
      size_(size - origin),
      origin_(origin),
      suffixes_(suffixes),
      target_(target),
      targetLength_(targetLength),
      listed_(buffers.listed),
      sorting_(buffers.sorting),
      visited_(buffers.visited) {
  visited_.clear();
}

// How many bytes the suffix at `index` agrees with the target, knowing that
// the first `known` do.
std::int64_t SuffixSearch::agreement(std::int64_t index, std::int64_t known) const {
  const std::int64_t position = suffixes_[index];
  const std::int64_t limit = std::min(size_ - position, targetLength_);
  return known + common_prefix(data_ + position + known, target_ + known, limit - known);
}

bool SuffixSearch::agrees_for(std::int64_t index, std::int64_t length) const {
  const std::int64_t position = suffixes_[index];
  return size_ - position >= length && common_prefix(data_ + position, target_, length) == length;
}

// A suffix that holds the whole target counts as not below it; one that
// ends inside it is below it.
bool SuffixSearch::below_target(std::int64_t index, std::int64_t agrees) const {
  const std::int64_t position = suffixes_[index];
  return agrees < targetLength_ && (position + agrees == size_ || data_[position + agrees] < target_[agrees]);
}

// Binary search for the target among the sorted suffixes. Every suffix
// between two others agrees with the target for at least as many bytes as
// the less agreeing of the two, so those bytes need no comparing again.
void SuffixSearch::locate() {
  located_ = true;
  if (place_ != nullptr && *place_ != 0 && place_still_holds(*place_ - 1)) return;
  std::int64_t low = 0;
  std::int64_t high = size_;
  std::int64_t lowAgrees = 0;   // agreement of the suffix just below `low`
  std::int64_t highAgrees = 0;  // agreement of the suffix at `high`
  if (rangeEnd_ >= 0) {
    low = rangeBegin_;
    high = rangeEnd_;
    lowAgrees = low > 0 ? agreement(low - 1, 0) : 0;
    highAgrees = high < size_ ? agreement(high, 0) : 0;
  }
  narrow_in_eighths(low, high, lowAgrees, highAgrees);
  while (low < high) {
    const std::int64_t middle = low + (high - low) / 2;
    const std::int64_t agrees = agreement(middle, std::max(rangeAgrees_, std::min(lowAgrees, highAgrees)));
    if (below_target(middle, agrees)) {
      low = middle + 1;
      lowAgrees = agrees;
    } else {
      high = middle;
      highAgrees = agrees;
    }
  }
  settle_at(low, lowAgrees, highAgrees);
  if (place_ != nullptr) *place_ = static_cast<std::uint32_t>(low + 1);
}

// Each step of a binary search waits for two misses, the suffix's entry and
// then its bytes. A step over seven places at once fetches all their entries,
// then all their bytes, together: about as long a wait as one binary step,
// for three steps' worth of narrowing. The last few places are fetched
// together as well, for the binary search that ends it. The place found, and
// the agreements beside it, are those a binary search alone finds.
void SuffixSearch::narrow_in_eighths(std::int64_t& low, std::int64_t& high, std::int64_t& lowAgrees,
                                     std::int64_t& highAgrees) const {
  constexpr int kProbes = 7;
  while (high - low > 2 * kProbes) {
    const std::int64_t known = std::max(rangeAgrees_, std::min(lowAgrees, highAgrees));
    const std::int64_t share = (high - low) / (kProbes + 1);
    std::int64_t probes[kProbes];
    std::int64_t positions[kProbes];
    for (int i = 0; i < kProbes; ++i) {
      probes[i] = low + (i + 1) * share;
      positions[i] = suffixes_[probes[i]];
    }
    for (int i = 0; i < kProbes; ++i) __builtin_prefetch(data_ + positions[i] + known);
    // The suffixes are sorted: those below the target come first.
    int below = 0;
    std::int64_t agrees = 0;
    for (; below < kProbes; ++below) {
      agrees = agreement(probes[below], known);
      if (!below_target(probes[below], agrees)) break;
      low = probes[below] + 1;
      lowAgrees = agrees;
    }
    if (below < kProbes) {
      high = probes[below];
      highAgrees = agrees;
    }
  }
  const std::int64_t known = std::max(rangeAgrees_, std::min(lowAgrees, highAgrees));
  for (std::int64_t i = low; i < high; ++i) __builtin_prefetch(data_ + suffixes_[i] + known);
}

// The suffixes are sorted, so the target's place is the one place with a
// suffix below the target just before it and one that is not at it.
bool SuffixSearch::place_still_holds(std::int64_t place) {
  if (place > size_) return false;
  const std::int64_t lowAgrees = place > 0 ? agreement(place - 1, 0) : 0;
  const std::int64_t highAgrees = place < size_ ? agreement(place, 0) : 0;
  if (place > 0 && !below_target(place - 1, lowAgrees)) return false;
  if (place < size_ && below_target(place, highAgrees)) return false;
  settle_at(place, lowAgrees, highAgrees);
  return true;
}

// `low` is the target's place, the agreements those of the suffixes on
// either side of it (0 where there is none).
void SuffixSearch::settle_at(std::int64_t low, std::int64_t lowAgrees, std::int64_t highAgrees) {
  insertAt_ = low;
  // The suffixes that agree longest stand right beside the place found.
  longest_ = std::max(low > 0 ? lowAgrees : 0, low < size_ ? highAgrees : 0);
  nextBelow_ = low - 1;
  nextAbove_ = low;
  belowAgrees_ = low > 0 ? lowAgrees : -1;
  aboveAgrees_ = low < size_ ? highAgrees : -1;
}

std::int64_t SuffixSearch::longest_match() {
  if (!located_) locate();
  return longest_;
}

// How many suffixes from `start` on, one after another in `direction`,
// agree with the target for `length` bytes, or most + 1 when more do. Those
// that agree stand together around the place where the target would be
// inserted, so the count is found by galloping, then halving.
std::int64_t SuffixSearch::count_agreeing(std::int64_t start, int direction, std::int64_t length,
                                          std::int64_t most) const {
  const auto agrees = [&](std::int64_t k) {
    const std::int64_t index = start + direction * k;
    return index >= 0 && index < size_ && agrees_for(index, length);
  };
  if (!agrees(0)) return 0;
  std::int64_t low = 0;  // agrees
  std::int64_t high = 1;
  while (high <= most && agrees(high)) {
    low = high;
    high *= 2;
  }
  if (high > most) {
    if (agrees(most)) return most + 1;
    high = most;  // does not agree
  }
  while (high - low > 1) {
    const std::int64_t middle = low + (high - low) / 2;
    (agrees(middle) ? low : high) = middle;
  }
  return high;
}

// Lists, in ascending order, the positions that agree for `length` bytes,
// unless more than `most` do.
bool SuffixSearch::list_agreeing(std::int64_t length, std::int64_t most) {
  const std::int64_t below = count_agreeing(insertAt_ - 1, -1, length, most);
  const std::int64_t above = below > most ? 0 : count_agreeing(insertAt_, 1, length, most - below);
  if (below + above > most) return false;
  listed_.assign(suffixes_ + insertAt_ - below, suffixes_ + insertAt_ + above);
  for (std::uint32_t& position : listed_) position += static_cast<std::uint32_t>(origin_);
  sort_positions(listed_, sorting_);
  return true;
}

std::optional<std::span<const std::uint32_t>> SuffixSearch::positions_agreeing(std::int64_t length,
                                                                               std::int64_t most,
                                                                               std::int64_t from,
                                                                               std::int64_t last) {
  if (!located_) locate();
  // No position agrees beyond the target's bytes looked at; listing for
  // fewer bytes only lists more.
  length = std::min(length, targetLength_);
  // Fewer positions agree for more bytes: a list made for a shorter length
  // still holds every position asked for, and a length that had too many
  // makes every shorter one have too many.
  if (listedFor_ < 0 || length < listedFor_) {
    if (length <= tooManyFor_ && most <= tooManyCount_) return std::nullopt;
    if (!list_agreeing(length, most)) {
      tooManyFor_ = length;
      tooManyCount_ = most;
      listedFor_ = -1;
      return std::nullopt;
    }
    listedFor_ = length;
  }
  const auto begin = std::lower_bound(listed_.begin(), listed_.end(), from);
  const auto end = std::upper_bound(begin, listed_.end(), last);
  return std::span<const std::uint32_t>(begin, end);
}

// Going away from the place where the target would be inserted, on either
// side, suffixes agree less and less; taking the side that agrees more each
// time visits them all in the order of their agreement.
bool SuffixSearch::visit_next() {
  const bool below = belowAgrees_ >= aboveAgrees_;
  const std::int64_t agrees = below ? belowAgrees_ : aboveAgrees_;
  if (agrees < 3) return false;
  std::int64_t& index = below ? nextBelow_ : nextAbove_;
  visited_.emplace_back(static_cast<std::uint32_t>(suffixes_[index] + origin_), agrees);
  index += below ? -1 : 1;
  const bool inside = index >= 0 && index < size_;
  (below ? belowAgrees_ : aboveAgrees_) = inside ? agreement(index, 0) : -1;
  return true;
}

std::optional<std::int64_t> SuffixSearch::longest_match_within(std::int64_t from, std::int64_t last,
                                                               std::size_t most) {
  if (!located_) locate();
  for (std::size_t i = 0; i < most; ++i) {
    if (i == visited_.size() && !visit_next()) return std::nullopt;
    const auto [position, agrees] = visited_[i];
    if (position >= from && position <= last) return agrees;
  }
  return std::nullopt;
}

std::span<const std::pair<std::uint32_t, std::int64_t>> SuffixSearch::most_agreeing(std::size_t most) {
  if (!located_) locate();
  while (visited_.size() < most && visit_next()) {
  }
  return {visited_.data(), std::min(most, visited_.size())};
}

}  // namespace vd
