#include "maker/suffix_search.h"

#include <algorithm>

#include "maker/byte_compare.h"

namespace vd {

SuffixSearch::SuffixSearch(const std::uint8_t* data, std::int64_t size, const std::int32_t* suffixes,
                           const std::uint8_t* target, std::int64_t targetLength)
    : data_(data), size_(size), suffixes_(suffixes), target_(target), targetLength_(targetLength) {}

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

// Binary search for the target among the sorted suffixes. Every suffix
// between two others agrees with the target for at least as many bytes as
// the less agreeing of the two, so those bytes need no comparing again.
void SuffixSearch::locate() {
  located_ = true;
  std::int64_t low = 0;
  std::int64_t high = size_;
  std::int64_t lowAgrees = 0;   // agreement of the suffix just below `low`
  std::int64_t highAgrees = 0;  // agreement of the suffix at `high`
  while (low < high) {
    const std::int64_t middle = low + (high - low) / 2;
    const std::int64_t agrees = agreement(middle, std::min(lowAgrees, highAgrees));
    const std::int64_t position = suffixes_[middle];
    // A suffix that holds the whole target counts as not below it; one that
    // ends inside it is below it.
    const bool below = agrees < targetLength_ && (position + agrees == size_ || data_[position + agrees] < target_[agrees]);
    if (below) {
      low = middle + 1;
      lowAgrees = agrees;
    } else {
      high = middle;
      highAgrees = agrees;
    }
  }
  insertAt_ = low;
  // The suffixes that agree longest stand right beside the place found.
  longest_ = std::max(low > 0 ? lowAgrees : 0, low < size_ ? highAgrees : 0);
}

std::int64_t SuffixSearch::longest_match() {
  if (!located_) locate();
  return longest_;
}

// The suffixes that agree for `length` bytes or more stand together, around
// the place where the target would be inserted.
bool SuffixSearch::list_agreeing(std::int64_t length) {
  listedCount_ = 0;
  for (std::int64_t index = insertAt_ - 1; index >= 0 && agrees_for(index, length); --index) {
    if (listedCount_ == kMostListed) return false;
    listed_[listedCount_++] = static_cast<std::uint32_t>(suffixes_[index]);
  }
  for (std::int64_t index = insertAt_; index < size_ && agrees_for(index, length); ++index) {
    if (listedCount_ == kMostListed) return false;
    listed_[listedCount_++] = static_cast<std::uint32_t>(suffixes_[index]);
  }
  std::sort(listed_.begin(), listed_.begin() + static_cast<std::ptrdiff_t>(listedCount_));
  return true;
}

std::optional<std::span<const std::uint32_t>> SuffixSearch::positions_agreeing(std::int64_t length) {
  if (!located_) locate();
  // No position agrees beyond the target's bytes looked at; listing for
  // fewer bytes only lists more.
  length = std::min(length, targetLength_);
  // Fewer positions agree for more bytes: a list made for a shorter length
  // still holds every position asked for, and a length that had too many
  // makes every shorter one have too many.
  if (listedFor_ < 0 || length < listedFor_) {
    if (length <= tooManyFor_) return std::nullopt;
    if (!list_agreeing(length)) {
      tooManyFor_ = length;
      listedFor_ = -1;
      return std::nullopt;
    }
    listedFor_ = length;
  }
  return std::span<const std::uint32_t>(listed_.data(), listedCount_);
}

}  // namespace vd
