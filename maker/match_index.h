// The match index: for the oldfile and the existing patch file, every
// position filed under the one, two or three bytes that start there, and the
// searches that find, at a newfile position, the candidate that codes
// smallest in the MODE being coded.
//
// Chains hold positions in ascending order, so among candidates of equal gain
// the first one examined wins: the lowest oldfile position, and any oldfile
// candidate before any patch file candidate.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "maker/file_lists.h"
#include "maker/gram_filter.h"
#include "maker/longest_record.h"
#include "maker/match_candidate.h"
#include "maker/periodic_stretches.h"
#include "maker/price_cuts.h"
#include "maker/run_index.h"
#include "maker/sampled_oldfile.h"
#include "maker/search_record.h"
#include "maker/session.h"
#include "maker/suffix_search.h"

namespace vd {

struct ChainWalk;

// Search state shared with the encoders.
struct SearchState {
  std::int64_t running = 0;  // end of the encoder's previous match block
  // Set by the encoders at every data block of MODE 3 and 4 and the linear
  // search; an encoder run starts from the one the previous run handed on.
  std::int64_t replacePosition = 0;
};

class MatchIndex {
 public:
  explicit MatchIndex(const MakerSession& session, ZeroAllocator alloc = &std::calloc);

  // Allocates the lists, largest level first, printing a note for every
  // fallback. Returns whether the oldfile got any level.
  bool allocate(bool mem128, bool mem256);
  // The oldfile's lists are built when a search first needs them (the
  // searches before go on samplings of the oldfile, see SampledOldfile): a
  // state of oldData that no search sees (AUTO transforms the oldfile before
  // its first pass, and may restore it again) costs no build, and no state
  // is built twice.
  void build_old_index(const char* name);
  void build_patch_index(const char* name);
  // For runs that search the newfile more than once in one MODE (AUTO DEEP,
  // whose VARY runs three passes of each): each pass keeps what its searches
  // found for the next one (see SearchRecord), for as long as the oldfile's
  // bytes stay the same; only in memory the oldfile's lists hold anyway (the
  // scratch of the unsorted suffix array) or spared (the dense buckets), so
  // that the run never needs more than with the whole table. The results
  // are the same either way. The longest matches are kept as well, as below.
  void remember_searches() { searchesWanted_ = longestWanted_ = true; }
  // Only the exact-price encoder's longest matches (see LongestRecord). Where
  // no two passes in a row have the same MODE, a search never takes the
  // result of the one before it, and the places among the sorted suffixes
  // that the search record would still give save no measurable time for the
  // memory it holds.
  void remember_longest_matches() { longestWanted_ = true; }
  // Every pass of an encoder over the newfile starts here.
  void start_pass(int mode);

  // The best candidate at newfile position p for MODE 1 to 4, or none when
  // its gain stays below minBlock.
  std::optional<MatchCandidate> find_match(int mode, std::int64_t p);
  // The fallback without lists: a window of the oldfile near the running
  // position, scored with a distance penalty.
  std::optional<MatchCandidate> find_match_linear(std::int64_t p);
  void reset_match_memo() { memoPosition_ = -1; }
  // How many candidates the searches may test before the oldfile's suffixes
  // are sorted, for every state of the oldfile built from now on (0: sorted
  // at the first search); by default one per four bytes of the oldfile. The
  // patch file's suffixes wait the same way, with a count of their own (by
  // default one per byte of the patch file).
  void limit_unsorted_work(std::int64_t candidates);
  // How many positions filed the searches may spend before the oldfile's
  // lists are built, on every state of the oldfile from now on (0: the
  // lists are built at the first search); by default half the oldfile.
  void limit_unlisted_work(std::int64_t positions) { unlistedWorkAllowed_ = positions; }
  // The lists as a search sees them, for an encoder that gathers its own
  // candidates.
  const FileLists& old_lists();
  // The same lists without sorting the suffixes for them: those stay null
  // until the searches above have wanted them.
  const FileLists& old_lists_as_searched();
  // The lists as they stand, without building them: null until a search
  // has needed them. Their key length is known before.
  const FileLists* old_lists_if_built() const { return oldListsDue_ ? nullptr : &oldLists_; }
  int old_key_length() const { return oldLists_.key_length(); }
  const FileLists& patch_lists();
  // What the exact-price encoder's own searches found, for its next pass;
  // kept under the same conditions as the record above.
  LongestRecord& longest_record() { return longestRecord_; }

  SearchState state;

 private:
  ChainWalk start_walk(const FileLists* lists, const RunIndex* runs, const GramFilter* grams,
                       const std::uint8_t* data, std::int64_t size, std::int64_t base, int mode, std::int64_t p,
                       std::span<const std::int64_t> hints, std::optional<MatchCandidate>& best,
                       std::int64_t workLeft) const;
  std::array<std::int64_t, 3> hints_at(std::int64_t p) const;
  // False when the walk spent `workLeft` before it finished.
  bool walk_chain(const FileLists& lists, const RunIndex* runs, const GramFilter* grams, const std::uint8_t* data,
                  std::int64_t size, std::int64_t base, int mode, std::int64_t p, std::optional<MatchCandidate>& best,
                  std::int64_t& workLeft, std::uint32_t* place) const;
  std::optional<MatchCandidate> search_files(int mode, std::int64_t p, std::uint32_t& oldPlace);
  bool search_unlisted(int mode, std::int64_t p, std::optional<MatchCandidate>& best);
  void sample_old_data(std::int64_t p);
  std::optional<MatchCandidate> remember(std::int64_t p, const MatchCandidate& candidate);
  void build_old_lists();
  void restart_record();
  std::size_t longest_record_bytes() const;
  void sort_old_suffixes();
  void build_runs_when_due();
  void sort_patch_suffixes();
  std::int64_t unsorted_work(std::int64_t size) const;
  std::int64_t patch_unsorted_work() const;

  const MakerSession& session_;
  ZeroAllocator alloc_;
  FileLists oldLists_;
  RunIndex oldRuns_;
  mutable std::int64_t oldStretchCost_ = 0;  // see build_runs_when_due
  bool oldListsDue_ = false;
  SampledOldfile sampled_;
  std::optional<std::int64_t> unlistedWorkAllowed_;
  std::vector<std::uint32_t> unlistedCandidates_;
  bool searchesWanted_ = false;
  bool longestWanted_ = false;
  std::optional<std::int64_t> unsortedWorkAllowed_;
  bool oldSuffixesDue_ = false;
  std::int64_t unsortedWorkLeft_ = 0;
  bool patchSuffixesDue_ = false;
  std::int64_t patchWorkLeft_ = 0;
  SearchRecord record_{alloc_};
  LongestRecord longestRecord_{alloc_};
  FileLists patchLists_;
  GramFilter patchGrams_;
  mutable SuffixSearch::Buffers searchBuffers_;
  mutable PriceCuts oldPriceCuts_;
  mutable PriceCuts patchPriceCuts_;
  mutable PeriodicStretches oldStretches_;
  mutable PeriodicStretches patchStretches_;
  std::int64_t memoPosition_ = -1;
  MatchCandidate memo_;
  std::int64_t lastOffset_ = 0;  // from the newfile to the last match found
};

}  // namespace vd
