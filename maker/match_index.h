// The match index: for the oldfile and the existing patch file, every
// position filed under the one, two or three bytes that start there, and the
// searches that find, at a newfile position, the candidate that codes
// smallest in the MODE being coded.
//
// Chains hold positions in ascending order, so among candidates of equal gain
// the first one examined wins: the lowest oldfile position, and any oldfile
// candidate before any patch file candidate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>

#include "maker/run_index.h"
#include "maker/session.h"
#include "maker/suffix_search.h"

namespace vd {

struct MatchCandidate {
  std::int64_t length = 0;
  std::int64_t position = 0;  // in the reference space: oldfile, then patch file
  int cost = 0;
  int bonus = 0;
  std::int64_t penalty = 0;

  std::int64_t gain() const { return length - cost; }
};

// Search state shared with the encoders.
struct SearchState {
  std::int64_t running = 0;  // end of the encoder's previous match block
  // Set by the MODE 3, MODE 4 and linear encoders at every data block; it
  // deliberately carries over from one encoder run to the next.
  std::int64_t replacePosition = 0;
};

// Allocates zero-filled memory (count elements of size bytes), null on failure.
using ZeroAllocator = void* (*)(std::size_t count, std::size_t size);

// The list key at p: the key bytes themselves, not a hash.
inline std::uint32_t key_at(const std::uint8_t* p, int keyLength) {
  std::uint32_t key = 0;
  for (int i = 0; i < keyLength; ++i) key = key << 8 | p[i];
  return key;
}

// One file's lists: the positions of every chain side by side, in ascending
// order, chain after chain, and a bucket table that gives each key's chain
// (first + 1, end; 0 first for none). The same memory as linked lists of
// (next, position) nodes: the positions take half of it, and the other half
// holds the oldfile's suffix array.
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
  // Files every position from `firstIndexed` whose key lies inside the data,
  // and sorts the suffixes when asked to and there is room for them.
  void build(const std::uint8_t* data, std::int64_t size, std::int64_t firstIndexed, bool withSuffixes);

  int key_length() const { return keyLength_; }
  std::span<const std::uint32_t> chain(std::uint32_t key) const {
    const std::uint32_t* bucket = buckets_ + 2 * std::size_t{key};
    if (bucket[0] == 0) return {};
    return {positions_ + bucket[0] - 1, positions_ + bucket[1]};
  }
  // Every position of the data from suffixes_from() on, sorted by the bytes
  // from there on; null when not built.
  const std::int32_t* suffixes() const { return suffixesBuilt_ ? suffixes_ : nullptr; }
  std::int64_t suffixes_from() const { return suffixesFrom_; }

 private:
  void count_keys(const std::uint8_t* data, std::int64_t firstIndexed, std::int64_t lastIndexed);
  void file_positions(const std::uint8_t* data, std::int64_t firstIndexed, std::int64_t lastIndexed);

  int keyLength_ = 0;
  std::uint32_t* buckets_ = nullptr;
  std::uint32_t* positions_ = nullptr;
  std::int32_t* suffixes_ = nullptr;
  std::int64_t nodeCount_ = 0;
  std::int64_t suffixesFrom_ = 0;
  bool bucketsFresh_ = false;
  bool suffixesBuilt_ = false;
};

class MatchIndex {
 public:
  explicit MatchIndex(const MakerSession& session, ZeroAllocator alloc = &std::calloc);

  // Allocates the lists, largest level first, printing a note for every
  // fallback. Returns whether the oldfile got any level.
  bool allocate(bool mem128, bool mem256);
  // The oldfile's lists are built when first searched: a state of oldData
  // that no search sees (AUTO transforms the oldfile before its first pass,
  // and may restore it again) costs no build, and no state is built twice.
  void build_old_index(const char* name);
  void build_patch_index(const char* name);

  // The best candidate at newfile position p for MODE 1 to 4, or none when
  // its gain stays below minBlock.
  std::optional<MatchCandidate> find_match(int mode, std::int64_t p);
  // The fallback without lists: a window of the oldfile near the running
  // position, scored with a distance penalty.
  std::optional<MatchCandidate> find_match_linear(std::int64_t p);
  void reset_match_memo() { memoPosition_ = -1; }
  // The lists as a search sees them, for an encoder that gathers its own
  // candidates.
  const FileLists& old_lists();
  const FileLists& patch_lists() const { return patchLists_; }

  SearchState state;

 private:
  void walk_chain(const FileLists& lists, const RunIndex* runs, const std::uint8_t* data, std::int64_t size,
                  std::int64_t base, int mode, std::int64_t p, std::optional<MatchCandidate>& best) const;
  std::optional<MatchCandidate> remember(std::int64_t p, const MatchCandidate& candidate);
  void build_old_lists();

  const MakerSession& session_;
  ZeroAllocator alloc_;
  FileLists oldLists_;
  RunIndex oldRuns_;
  bool oldListsDue_ = false;
  FileLists patchLists_;
  mutable SuffixSearch::Buffers searchBuffers_;
  std::int64_t memoPosition_ = -1;
  MatchCandidate memo_;
};

}  // namespace vd
