#include "maker/file_lists.h"

#include <divsufsort.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "core/break_signal.h"

namespace vd {
namespace {

// Filing a position touches the bucket of its key, and the keys of a file
// fall all over the 2^24 buckets of 3D lists: even a file of a few hundred
// kilobytes would touch nearly every page of the table's 128 MB, and then
// the page faults cost more than the whole search. So 3D lists keep their
// buckets densely, in the same memory: a bit for each key telling whether
// it occurs, the number of keys present before each 64 of them, and for
// each key present, in key order, where its chain ends. The chains stand in
// key order too, so each begins where the one before it ends: a word per
// key present, where a bucket of two took twice the pages. The table is
// still allocated whole, so that the fallbacks when memory is short stay as
// they were; even every key present takes only half of it.
constexpr std::size_t kPresenceWords = std::size_t{1} << 18;  // 64-bit words, one bit a key
constexpr std::size_t kRanksAt = 2 * kPresenceWords;          // offsets below count 32-bit words
constexpr std::size_t kDenseEndsAt = kRanksAt + kPresenceWords;

std::uint64_t load_word(const std::uint32_t* table, std::size_t word) {
  std::uint64_t value;
  std::memcpy(&value, table + 2 * word, sizeof value);
  return value;
}

void store_word(std::uint32_t* table, std::size_t word, std::uint64_t value) {
  std::memcpy(table + 2 * word, &value, sizeof value);
}

// A partition's positions lie all over the file; fetching the bytes of the
// ones ahead while the current one is filed hides most of the misses.
template <typename FileOne>
void for_each_ahead(std::span<const std::uint32_t> positions, const std::uint8_t* data, FileOne file_one) {
  constexpr std::size_t kAhead = 16;
  for (std::size_t j = 0; j < positions.size(); ++j) {
    if (j + kAhead < positions.size()) __builtin_prefetch(data + positions[j + kAhead]);
    file_one(j, positions[j]);
  }
}

// The positions are dealt out in four parts of the file side by side: in a
// file of long runs, one part's positions would each wait for the counter
// the one before it advanced. A part's positions of a byte value go after
// those of the parts before it, so the order stays that of the file.
constexpr int kParts = 4;

struct PartCounts {
  std::array<std::int64_t, kParts + 1> bounds{};  // part k: bounds[k] to bounds[k + 1] - 1
  std::int64_t step = 0;                           // the positions of every part but the last
  std::array<std::array<std::uint32_t, 256>, kParts> counts{};
};

// Calls visit(part, i) for every position from `first` to `last`, the parts
// side by side.
template <typename Visit>
void for_each_by_parts(const PartCounts& parts, Visit visit) {
  for (std::int64_t t = 0; t < parts.step; ++t) {
    if ((t & 0x3FFFF) == 0) check_break();
    for (int k = 0; k < kParts; ++k) visit(k, parts.bounds[k] + t);
  }
  for (std::int64_t i = parts.bounds[kParts - 1] + parts.step; i < parts.bounds[kParts]; ++i) visit(kParts - 1, i);
}

PartCounts count_by_parts(const std::uint8_t* data, std::int64_t first, std::int64_t last) {
  PartCounts parts;
  parts.step = (last - first + 1) / kParts;
  for (int k = 0; k < kParts; ++k) parts.bounds[k] = first + k * parts.step;
  parts.bounds[kParts] = last + 1;
  for_each_by_parts(parts, [&](int k, std::int64_t i) { ++parts.counts[k][data[i]]; });
  return parts;
}

// Rests that follow each other in a partition, all the same.
struct RunOfRest {
  std::uint32_t rest = 0;
  std::uint32_t length = 0;
  bool extend(std::uint32_t next) {
    if (length == 0 || next != rest) return false;
    ++length;
    return true;
  }
};

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

void FileLists::build(const std::uint8_t* data, std::int64_t size, std::int64_t firstIndexed) {
  // A freshly allocated table is still zero; clearing more than the last
  // build wrote would touch its pages for nothing.
  std::memset(buckets_, 0, dirtyWords_ * sizeof(std::uint32_t));
  suffixesBuilt_ = false;
  suffixesFrom_ = firstIndexed;
  const Partitions partitions = partition_by_first_byte(data, firstIndexed, size - keyLength_);
  dense_ = keyLength_ == 3;
  // The rests, then the largest partition filed after them.
  scratchWords_ = static_cast<std::size_t>((partitions.restsCarried ? rest_words(partitions.starts.back()) : 0) +
                                           partitions.largest);
  if (partitions.restsCarried)
    file_partitions<true>(data, partitions);
  else
    file_partitions<false>(data, partitions);
}

// Only the indexed positions are sorted: every position a search finds there
// is in a chain.
void FileLists::sort_suffixes(const std::uint8_t* data, std::int64_t size) {
  const std::int64_t sorted = size - suffixesFrom_;
  suffixesBuilt_ = sorted > 0 && sorted <= nodeCount_ &&
                   divsufsort(data + suffixesFrom_, suffixes_, static_cast<saidx_t>(sorted)) == 0;
}

// The chains stand in key order, so before the chain of a key come every
// indexed position of a smaller key; and the suffixes too near the end to
// have a key sort below it when their bytes do.
std::pair<std::int64_t, std::int64_t> FileLists::suffix_range(std::span<const std::uint32_t> chain,
                                                              const std::uint8_t* key, const std::uint8_t* data,
                                                              std::int64_t size) const {
  std::int64_t begin = chain.data() - positions_;
  for (std::int64_t p = std::max(suffixesFrom_, size - keyLength_ + 1); p < size; ++p)
    if (std::lexicographical_compare(data + p, data + size, key, key + keyLength_)) ++begin;
  return {begin, begin + static_cast<std::int64_t>(chain.size())};
}

// Filing every position straight under its key writes all over the chains
// and the buckets, a cache miss each. So the positions are first dealt out
// by their first byte, and each of those 256 partitions is then filed by the
// rest of its key, with counters that stay in the cache. Both steps keep the
// positions in order. The second step goes through the memory the suffix
// array takes later: the rest of each position's key, dealt out beside it so
// that the file need not be read all over again, and room for the largest
// partition. When the rests leave too little room for it (one byte value
// fills most of the file, and then reading it again costs little), the file
// is read again.
FileLists::Partitions FileLists::partition_by_first_byte(const std::uint8_t* data, std::int64_t firstIndexed,
                                                         std::int64_t lastIndexed) {
  Partitions partitions;
  auto& starts = partitions.starts;
  PartCounts parts = count_by_parts(data, firstIndexed, lastIndexed);
  std::uint32_t& largest = partitions.largest;
  for (std::size_t b = 1; b < starts.size(); ++b) {
    for (const auto& counts : parts.counts) starts[b] += counts[b - 1];
    largest = std::max(largest, starts[b]);
    starts[b] += starts[b - 1];
  }
  partitions.restsCarried = largest <= nodeCount_ - rest_words(starts.back());
  // Each part's first slot for each byte value, in the counts' place.
  auto& next = parts.counts;
  for (std::size_t b = 0; b < 256; ++b) {
    std::uint32_t slot = starts[b];
    for (auto& counts : next) slot += std::exchange(counts[b], slot);
  }
  // Members in locals: the compiler cannot tell that the stores below leave
  // them alone, and would load them again for every position.
  std::uint32_t* const positions = positions_;
  auto* const rests = reinterpret_cast<std::uint16_t*>(suffixes_);
  const int restLength = keyLength_ - 1;
  const bool restsCarried = partitions.restsCarried;
  for_each_by_parts(parts, [&](int k, std::int64_t i) {
    const std::uint32_t slot = next[static_cast<std::size_t>(k)][data[i]]++;
    positions[slot] = static_cast<std::uint32_t>(i);
    if (restsCarried) rests[slot] = static_cast<std::uint16_t>(key_at(data + i + 1, restLength));
  });
  return partitions;
}

// Words of the suffix array's memory that the rests of `count` keys take.
std::int64_t FileLists::rest_words(std::uint32_t count) { return (std::int64_t{count} + 1) / 2; }

// Files each partition's positions under their keys, in key order, so the
// buckets are written one after another.
template <bool kRestsCarried>
void FileLists::file_partitions(const std::uint8_t* data, const Partitions& partitions) {
  const int restBits = 8 * (keyLength_ - 1);
  std::vector<std::uint32_t> counts(std::size_t{1} << restBits);
  // A bit for each rest counted: a partition mostly holds a few thousand of
  // the 65,536 rests of 3D lists, and only those are placed and cleared.
  std::vector<std::uint64_t> counted((counts.size() + 63) / 64);
  const auto* rests = reinterpret_cast<const std::uint16_t*>(suffixes_);
  auto* filed = reinterpret_cast<std::uint32_t*>(suffixes_) + (kRestsCarried ? rest_words(partitions.starts.back()) : 0);
  std::uint32_t present = 0;
  for (std::size_t first = 0; first + 1 < partitions.starts.size(); ++first) {
    check_break();
    const std::uint32_t from = partitions.starts[first];
    const std::span<std::uint32_t> partition{positions_ + from, positions_ + partitions.starts[first + 1]};
    const auto for_each_rest = [&](auto file_one) {
      if constexpr (kRestsCarried) {
        for (std::size_t j = 0; j < partition.size(); ++j) file_one(j, rests[from + j]);
      } else {
        for_each_ahead(partition, data, [&](std::size_t j, std::uint32_t i) { file_one(j, key_at(data + i + 1, keyLength_ - 1)); });
      }
    };
    // In a file of long runs nearly every rest of a partition is the same,
    // and each count would wait for the one before it in memory: a run of
    // one rest is counted in a register, and so is its slot below.
    RunOfRest run;
    const auto count_run = [&] {
      if (run.length != 0 && (counts[run.rest] += run.length) == run.length)
        counted[run.rest >> 6] |= std::uint64_t{1} << (run.rest & 63);
    };
    for_each_rest([&](std::size_t, std::uint32_t rest) {
      if (!run.extend(rest)) {
        count_run();
        run = {rest, 1};
      }
    });
    count_run();
    std::uint32_t placed = 0;
    for (std::size_t word = 0; word < counted.size(); ++word) {
      // Dense lists are 3D: a word of rests is a word of keys.
      if (dense_) buckets_[kRanksAt + (first << restBits >> 6) + word] = present;
      for (std::uint64_t bits = counted[word]; bits != 0; bits &= bits - 1) {
        const std::size_t rest = 64 * word + static_cast<std::size_t>(std::countr_zero(bits));
        const std::uint32_t count = counts[rest];
        counts[rest] = placed;
        const auto key = static_cast<std::uint32_t>(first << restBits | rest);
        if (dense_) {
          mark_present(key);
          buckets_[kDenseEndsAt + present++] = from + placed + count;
        } else {
          buckets_[2 * std::size_t{key}] = from + placed + 1;
          buckets_[2 * std::size_t{key} + 1] = from + placed + count;
        }
        placed += count;
      }
    }
    run = {};
    std::uint32_t slot = 0;
    for_each_rest([&](std::size_t j, std::uint32_t rest) {
      if (!run.extend(rest)) {
        if (run.length != 0) counts[run.rest] = slot;
        run = {rest, 1};
        slot = counts[rest];
      }
      filed[slot++] = partition[j];
    });
    if (run.length != 0) counts[run.rest] = slot;
    std::copy(filed, filed + partition.size(), partition.begin());
    for (std::size_t word = 0; word < counted.size(); ++word) {
      for (std::uint64_t bits = counted[word]; bits != 0; bits &= bits - 1)
        counts[64 * word + static_cast<std::size_t>(std::countr_zero(bits))] = 0;
      counted[word] = 0;
    }
  }
  dirtyWords_ = dense_ ? kDenseEndsAt + std::size_t{present} : table_words();
}

void FileLists::mark_present(std::uint32_t key) {
  store_word(buckets_, key >> 6, load_word(buckets_, key >> 6) | std::uint64_t{1} << (key & 63));
}

bool FileLists::may_hold_keys_of(const std::uint8_t* target, std::int64_t length) const {
  constexpr std::int64_t kMostLooked = 16;
  if (!dense_) return true;
  // The keys' bits lie all over two megabytes: all of them are asked of
  // memory before the first is tested, so that their misses overlap.
  holds_at_spread_offsets(length - keyLength_, kMostLooked, [&](std::int64_t offset) {
    __builtin_prefetch(buckets_ + 2 * (key_at(target + offset, keyLength_) >> 6));
    return true;
  });
  return holds_at_spread_offsets(length - keyLength_, kMostLooked, [&](std::int64_t offset) {
    const std::uint32_t key = key_at(target + offset, keyLength_);
    return (load_word(buckets_, key >> 6) >> (key & 63) & 1) != 0;
  });
}

void FileLists::prefetch_chain(std::uint32_t key) const {
  if (!dense_) return __builtin_prefetch(buckets_ + 2 * std::size_t{key});
  __builtin_prefetch(buckets_ + 2 * std::size_t{key >> 6});
  __builtin_prefetch(buckets_ + kRanksAt + (key >> 6));
}

std::span<const std::uint32_t> FileLists::dense_chain(std::uint32_t key) const {
  const std::uint64_t word = load_word(buckets_, key >> 6);
  const std::uint64_t bit = std::uint64_t{1} << (key & 63);
  if ((word & bit) == 0) return {};
  const std::uint32_t rank = buckets_[kRanksAt + (key >> 6)] + static_cast<std::uint32_t>(std::popcount(word & (bit - 1)));
  const std::uint32_t* ends = buckets_ + kDenseEndsAt;
  return {positions_ + (rank == 0 ? 0 : ends[rank - 1]), positions_ + ends[rank]};
}

}  // namespace vd
