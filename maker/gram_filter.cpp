#include "maker/gram_filter.h"

#include <cstring>
#include <memory>

#include "maker/byte_compare.h"
#include "maker/file_lists.h"

namespace vd {
namespace {

// Four to eight bits per string: a test then fails to reject an absent
// string less than one time in five, and the two or more strings tested for
// a match of nine bytes or more seldom all pass. Below one bit per string
// nearly every test would pass.
int hash_bits_for(std::int64_t grams, std::size_t roomBytes) {
  int bits = 12;
  while ((std::int64_t{1} << bits) < 4 * grams) ++bits;
  while (bits > 12 && (std::size_t{1} << (bits - 3)) > roomBytes) --bits;
  const bool fits = (std::size_t{1} << (bits - 3)) <= roomBytes;
  return fits && (std::int64_t{1} << bits) >= grams ? bits : 0;
}

}  // namespace

void GramFilter::build(std::span<std::uint8_t> room, const std::uint8_t* data, std::int64_t size,
                       std::int64_t firstIndexed) {
  forget();
  const std::int64_t grams = size - firstIndexed - kGramLength + 1;
  if (grams <= 0) return;
  void* start = room.data();
  std::size_t roomBytes = room.size();
  if (std::align(alignof(std::uint64_t), sizeof(std::uint64_t), start, roomBytes) == nullptr) return;
  hashBits_ = hash_bits_for(grams, roomBytes);
  if (hashBits_ == 0) return;
  bits_ = static_cast<std::uint64_t*>(start);
  std::memset(bits_, 0, std::size_t{1} << (hashBits_ - 3));
  // The bits fall all over a table of megabytes: the word of a string some
  // way ahead is asked of memory while this one is set.
  constexpr std::int64_t kAhead = 16;
  const std::int64_t last = size - kGramLength;
  for (std::int64_t q = firstIndexed; q <= last; ++q) {
    if (q + kAhead <= last) __builtin_prefetch(bits_ + (slot(data + q + kAhead) >> 6), 1);
    const std::uint64_t at = slot(data + q);
    bits_[at >> 6] |= std::uint64_t{1} << (at & 63);
  }
}

std::uint64_t GramFilter::slot(const std::uint8_t* gram) const {
  static_assert(kGramLength == sizeof(std::uint64_t));
  return word_at(gram) * kHashMultiplier >> (64 - hashBits_);
}

bool GramFilter::may_hold(const std::uint8_t* target, std::int64_t length) const {
  constexpr std::int64_t kMostLooked = 3;
  if (bits_ == nullptr || length < kGramLength) return true;
  return holds_at_spread_offsets(length - kGramLength, kMostLooked, [&](std::int64_t offset) {
    const std::uint64_t at = slot(target + offset);
    return (bits_[at >> 6] >> (at & 63) & 1) != 0;
  });
}

}  // namespace vd
