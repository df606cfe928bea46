// One file's lists: the positions of every chain side by side, in ascending
// order, chain after chain, and a bucket table that gives each key's chain
// (first + 1, end; 0 first for none). The same memory as linked lists of
// (next, position) nodes: the positions take half of it, and the other half
// holds the oldfile's suffix array.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

namespace vd {

// Allocates zero-filled memory (count elements of size bytes), null on failure.
using ZeroAllocator = void* (*)(std::size_t count, std::size_t size);

// The list key at p: the key bytes themselves, not a hash. Spelled out by
// length, since filing a file asks for the key of every position, and a loop
// over a length known only at run time took a third of that.
inline std::uint32_t key_at(const std::uint8_t* p, int keyLength) {
  switch (keyLength) {
    case 3:
      return std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
    case 2:
      return std::uint32_t{p[0]} << 8 | p[1];
    case 1:
      return p[0];
    default:
      return 0;
  }
}

// Whether `holds(offset)` is true at each of at most `most` + 1 offsets
// spread evenly from 0 to `farthest`, both included. The filters that prove
// a string absent from a file test it so: one part of it missing is enough.
template <typename Holds>
bool holds_at_spread_offsets(std::int64_t farthest, std::int64_t most, Holds holds) {
  const std::int64_t looked = farthest < most ? farthest : most;
  for (std::int64_t i = 0; i <= looked; ++i)
    if (!holds(looked == 0 ? 0 : farthest * i / looked)) return false;
  return true;
}

// A chain's positions ascend: the index of its first position not below
// `value` among those from `from` to `end`, or `end`.
inline std::size_t first_not_below(std::span<const std::uint32_t> chain, std::size_t from, std::size_t end,
                                   std::int64_t value) {
  const auto at = std::lower_bound(chain.begin() + static_cast<std::ptrdiff_t>(from),
                                   chain.begin() + static_cast<std::ptrdiff_t>(end), value);
  return static_cast<std::size_t>(at - chain.begin());
}

// The same over the whole chain, from a place `from` near the answer, in
// steps that double away from it: searches that follow each other mostly
// look for places close together, in memory the last one has just read.
inline std::size_t gallop_from(std::span<const std::uint32_t> chain, std::size_t from, std::int64_t value) {
  std::size_t bound = 1;
  if (from < chain.size() && chain[from] < value) {
    while (from + bound < chain.size() && chain[from + bound] < value) bound *= 2;
    return first_not_below(chain, from + bound / 2 + 1, std::min(from + bound, chain.size()), value);
  }
  while (bound <= from && chain[from - bound] >= value) bound *= 2;
  return first_not_below(chain, bound <= from ? from - bound + 1 : 0, from - bound / 2, value);
}

class FileLists {
 public:
  FileLists() = default;
  FileLists(const FileLists&) = delete;
  FileLists& operator=(const FileLists&) = delete;
  ~FileLists() { release(); }

  // Tries the levels from `firstKeyLength` down to 1; false when even the
  // simple lists could not be had (then nothing is held).
  bool allocate(ZeroAllocator alloc, std::int64_t nodeCount, int firstKeyLength);
  void release();
  // Files every position from `firstIndexed` whose key lies inside the data.
  void build(const std::uint8_t* data, std::int64_t size, std::int64_t firstIndexed);
  // Sorts the suffixes of the data last built, when there is room for them.
  void sort_suffixes(const std::uint8_t* data, std::int64_t size);

  int key_length() const { return keyLength_; }
  // The bytes of the bucket table that the last build left untouched.
  std::size_t spared_bytes() const {
    return keyLength_ == 0 ? 0 : (table_words() - dirtyWords_) * sizeof(std::uint32_t);
  }
  // Has the memory that tells where the chain of `key` is read now: a
  // search that knows its next key early hides that cache miss behind the
  // work before it.
  void prefetch_chain(std::uint32_t key) const;
  std::span<const std::uint32_t> chain(std::uint32_t key) const {
    if (dense_) return dense_chain(key);
    const std::uint32_t* bucket = buckets_ + 2 * std::size_t{key};
    if (bucket[0] == 0) return {};
    return {positions_ + bucket[0] - 1, positions_ + bucket[1]};
  }
  // False when the key at some byte of target[0, length) that a key fits in
  // has no chain; at most 16 of those keys, spread evenly, are looked at. A
  // dense table tells by a bit, without a bucket's cache miss; a table of
  // full buckets, where nearly every key has a chain, does not tell.
  bool may_hold_keys_of(const std::uint8_t* target, std::int64_t length) const;
  // Where the suffixes that start with the key of a chain (its bytes at
  // `key`) stand among the sorted suffixes: the indices of the first and of
  // the one after the last.
  std::pair<std::int64_t, std::int64_t> suffix_range(std::span<const std::uint32_t> chain, const std::uint8_t* key,
                                                     const std::uint8_t* data, std::int64_t size) const;
  // The memory of the suffix array that the last build wrote as scratch:
  // idle, and already in the process's pages, until the suffixes are sorted.
  std::span<std::uint8_t> unsorted_scratch() const {
    if (suffixesBuilt_ || keyLength_ == 0) return {};
    return {reinterpret_cast<std::uint8_t*>(suffixes_), scratchWords_ * sizeof(std::uint32_t)};
  }
  // Every position of the data from suffixes_from() on, sorted by the bytes
  // from there on; null when not built.
  const std::int32_t* suffixes() const { return suffixesBuilt_ ? suffixes_ : nullptr; }
  std::int64_t suffixes_from() const { return suffixesFrom_; }

 private:
  // The list key is the bytes themselves, not a hash: 3D, 2D and simple
  // lists have 2^24, 2^16 and 2^8 buckets, of two words each.
  static std::size_t bucket_count(int keyLength) { return std::size_t{1} << (8 * keyLength); }
  std::size_t table_words() const { return 2 * bucket_count(keyLength_); }
  std::span<const std::uint32_t> dense_chain(std::uint32_t key) const;
  struct Partitions {
    std::array<std::uint32_t, 257> starts{};  // of each first byte's positions
    std::uint32_t largest = 0;                 // positions of one first byte
    bool restsCarried = false;
  };
  Partitions partition_by_first_byte(const std::uint8_t* data, std::int64_t firstIndexed, std::int64_t lastIndexed);
  static std::int64_t rest_words(std::uint32_t count);
  template <bool kRestsCarried>
  void file_partitions(const std::uint8_t* data, const Partitions& partitions);
  void mark_present(std::uint32_t key);

  int keyLength_ = 0;
  std::uint32_t* buckets_ = nullptr;
  std::uint32_t* positions_ = nullptr;
  std::int32_t* suffixes_ = nullptr;
  std::int64_t nodeCount_ = 0;
  std::int64_t suffixesFrom_ = 0;
  // Words of the bucket table that the last build may have written.
  std::size_t dirtyWords_ = 0;
  std::size_t scratchWords_ = 0;
  bool dense_ = false;
  bool suffixesBuilt_ = false;
};

}  // namespace vd
