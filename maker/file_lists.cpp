#include "maker/file_lists.h"

#include <divsufsort.h>

#include <bit>
#include <cstdlib>
#include <cstring>

#include "core/break_signal.h"

namespace vd {
namespace {

// Filing a position touches the bucket of its key, and the keys of a file
// fall all over the 2^24 buckets of 3D lists: even a file of a few hundred
// kilobytes would touch nearly every page of the table's 128 MB, and then
// the page faults cost more than the whole search. So 3D lists keep their
// buckets densely, in the same memory: a bit for each key telling whether
// it occurs, the number of keys present before each 64 of them, and a
// bucket for each key present, in key order. The table is still allocated
// whole, so that the fallbacks when memory is short stay as they were.
constexpr std::size_t kPresenceWords = std::size_t{1} << 18;  // 64-bit words, one bit a key
constexpr std::size_t kRanksAt = 2 * kPresenceWords;          // offsets below count 32-bit words
constexpr std::size_t kDenseBucketsAt = kRanksAt + kPresenceWords;

std::uint64_t load_word(const std::uint32_t* table, std::size_t word) {
  std::uint64_t value;
  std::memcpy(&value, table + 2 * word, sizeof value);
  return value;
}

void store_word(std::uint32_t* table, std::size_t word, std::uint64_t value) {
  std::memcpy(table + 2 * word, &value, sizeof value);
}

}  // namespace

bool FileLists::allocate(ZeroAllocator alloc, std::int64_t nodeCount, int firstKeyLength) {
  if (nodeCount <= 0) return false;
  positions_ = static_cast<std::uint32_t*>(alloc(static_cast<std::size_t>(nodeCount), 2 * sizeof(std::uint32_t)));
  if (positions_ == nullptr) return false;
  suffixes_ = reinterpret_cast<std::int32_t*>(positions_ + nodeCount);
  nodeCount_ = nodeCount;
  for (int keyLength = firstKeyLength; keyLength >= 1; --keyLength) {
    buckets_ = static_cast<std::uint32_t*>(alloc(bucket_count(keyLength), 2 * sizeof(std::uint32_t)));
    if (buckets_ != nullptr) {
      keyLength_ = keyLength;
      dirtyWords_ = 0;
      return true;
    }
  }
  release();
  return false;
}

void FileLists::release() {
  std::free(buckets_);
  std::free(positions_);
  buckets_ = nullptr;
  positions_ = nullptr;
  suffixes_ = nullptr;
  nodeCount_ = 0;
  keyLength_ = 0;
  dense_ = false;
  suffixesBuilt_ = false;
}

void FileLists::build(const std::uint8_t* data, std::int64_t size, std::int64_t firstIndexed, bool withSuffixes) {
  // A freshly allocated table is still zero; clearing more than the last
  // build wrote would touch its pages for nothing.
  std::memset(buckets_, 0, dirtyWords_ * sizeof(std::uint32_t));
  const std::int64_t lastIndexed = size - keyLength_;
  dense_ = keyLength_ == 3 && mark_present_keys(data, firstIndexed, lastIndexed);
  if (!dense_) dirtyWords_ = table_words();
  count_keys(data, firstIndexed, lastIndexed);
  file_positions(data, firstIndexed, lastIndexed);
  // Only the indexed positions are sorted: every position a search finds
  // there is in a chain.
  suffixesFrom_ = firstIndexed;
  const std::int64_t sorted = size - firstIndexed;
  suffixesBuilt_ = withSuffixes && sorted > 0 && sorted <= nodeCount_ &&
                   divsufsort(data + firstIndexed, suffixes_, static_cast<saidx_t>(sorted)) == 0;
}

// The presence bits and ranks of the dense buckets; false, with the table
// clear again, when the keys present are too many for dense buckets.
bool FileLists::mark_present_keys(const std::uint8_t* data, std::int64_t firstIndexed, std::int64_t lastIndexed) {
  for (std::int64_t i = firstIndexed; i <= lastIndexed; ++i) {
    if ((i & 0xFFFFF) == 0) check_break();
    const std::uint32_t key = key_at(data + i, keyLength_);
    store_word(buckets_, key >> 6, load_word(buckets_, key >> 6) | std::uint64_t{1} << (key & 63));
  }
  std::uint32_t present = 0;
  for (std::size_t word = 0; word < kPresenceWords; ++word) {
    buckets_[kRanksAt + word] = present;
    present += static_cast<std::uint32_t>(std::popcount(load_word(buckets_, word)));
  }
  dirtyWords_ = kDenseBucketsAt + 2 * std::size_t{present};
  if (dirtyWords_ <= table_words()) return true;
  std::memset(buckets_, 0, kDenseBucketsAt * sizeof(std::uint32_t));
  return false;
}

std::uint32_t* FileLists::dense_bucket(std::uint32_t key) const {
  const std::uint64_t word = load_word(buckets_, key >> 6);
  const std::uint64_t bit = std::uint64_t{1} << (key & 63);
  if ((word & bit) == 0) return nullptr;
  const std::uint32_t rank = buckets_[kRanksAt + (key >> 6)] + static_cast<std::uint32_t>(std::popcount(word & (bit - 1)));
  return buckets_ + kDenseBucketsAt + 2 * std::size_t{rank};
}

// Each key's count, in the second word of its bucket.
void FileLists::count_keys(const std::uint8_t* data, std::int64_t firstIndexed, std::int64_t lastIndexed) {
  for (std::int64_t i = firstIndexed; i <= lastIndexed; ++i) {
    if ((i & 0xFFFFF) == 0) check_break();
    ++bucket_of(key_at(data + i, keyLength_))[1];
  }
}

// A key's chain gets its place when the key first occurs, so that only the
// buckets of keys that occur are touched; the second word then counts up to
// the chain's end.
void FileLists::file_positions(const std::uint8_t* data, std::int64_t firstIndexed, std::int64_t lastIndexed) {
  std::uint32_t placed = 0;
  for (std::int64_t i = firstIndexed; i <= lastIndexed; ++i) {
    if ((i & 0xFFFFF) == 0) check_break();
    std::uint32_t* bucket = bucket_of(key_at(data + i, keyLength_));
    if (bucket[0] == 0) {
      const std::uint32_t count = bucket[1];
      bucket[0] = placed + 1;
      bucket[1] = placed;
      placed += count;
    }
    positions_[bucket[1]++] = static_cast<std::uint32_t>(i);
  }
}

}  // namespace vd
