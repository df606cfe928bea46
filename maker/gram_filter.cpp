#include "maker/gram_filter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "maker/large_pages.h"

namespace vd {

// Between four and eight bits per string: a test then fails to reject an
// absent string less than one time in five, and the two or more strings
// tested for a match of nine bytes or more seldom all pass. That is at most
// a byte of memory per byte of the file, beside the eight its lists take.
void GramFilter::build(ZeroAllocator alloc, const std::uint8_t* data, std::int64_t size, std::int64_t firstIndexed) {
  release();
  const std::int64_t grams = size - firstIndexed - kGramLength + 1;
  if (grams <= 0) return;
  int hashBits = 12;
  while ((std::int64_t{1} << hashBits) < 4 * grams) ++hashBits;
  const std::size_t words = std::size_t{1} << (hashBits - 6);
  bits_ = static_cast<std::uint64_t*>(alloc(words, sizeof(std::uint64_t)));
  if (bits_ == nullptr) return;
  ask_for_large_pages(bits_, words * sizeof(std::uint64_t));
  hashBits_ = hashBits;
  for (std::int64_t q = firstIndexed; q + kGramLength <= size; ++q) {
    const std::uint64_t at = slot(data + q);
    bits_[at >> 6] |= std::uint64_t{1} << (at & 63);
  }
}

void GramFilter::release() {
  std::free(bits_);
  bits_ = nullptr;
  hashBits_ = 0;
}

std::uint64_t GramFilter::slot(const std::uint8_t* gram) const {
  static_assert(kGramLength == sizeof(std::uint64_t));
  std::uint64_t value;
  std::memcpy(&value, gram, sizeof value);
  return value * 0x9E3779B97F4A7C15u >> (64 - hashBits_);
}

bool GramFilter::may_hold(const std::uint8_t* target, std::int64_t length) const {
  constexpr std::int64_t kMostLooked = 3;
  if (bits_ == nullptr || length < kGramLength) return true;
  const std::int64_t farthest = length - kGramLength;
  const std::int64_t looked = std::min(farthest, kMostLooked);
  for (std::int64_t i = 0; i <= looked; ++i) {
    const std::uint64_t at = slot(target + (looked == 0 ? 0 : farthest * i / looked));
    if ((bits_[at >> 6] >> (at & 63) & 1) == 0) return false;
  }
  return true;
}

}  // namespace vd
