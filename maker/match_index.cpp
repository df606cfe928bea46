#include "maker/match_index.h"

#include <algorithm>

#include "core/patch_format.h"
#include "maker/chain_walk.h"
#include "maker/console.h"
#include "maker/match_cost.h"

namespace vd {

MatchIndex::MatchIndex(const MakerSession& session, ZeroAllocator alloc)
    : session_(session), alloc_(alloc) {}

bool MatchIndex::allocate(bool mem128, bool mem256) {
  oldLists_.allocate(alloc_, session_.oldSize, mem128 ? 2 : 3);
  const int oldLevel = oldLists_.key_length();
  report_list_level(ListOwner::Oldfile, oldLevel, mem128);
  if (session_.patchDataSize > 0) {
    patchLists_.allocate(alloc_, session_.patchDataSize - kHeaderSize, mem256 ? 2 : 3);
    const int patchLevel = patchLists_.key_length();
    // Only what the oldfile's note has not already said.
    if (patchLevel != oldLevel) report_list_level(ListOwner::Patchfile, patchLevel, mem256);
  }
  return oldLevel != 0;
}

void MatchIndex::build_old_index(const char* name) {
  if (oldLists_.key_length() == 0) return;
  show_sorting_note(name);
  oldListsDue_ = true;
  sampled_.stop();
  // What the searches found in another state of the oldfile no longer
  // holds; until the lists are built, nothing is recorded.
  record_.restart(0);
  longestRecord_.restart(0);
  erase_sorting_note();
}

// Each MODE's passes may go as far without the suffixes as a single run
// may: a MODE led by its running positions to no need of sorting leaves the
// next one as little need of it, and sorting costs about as much as a pass.
void MatchIndex::start_pass(int mode) {
  reset_match_memo();
  record_.start_pass(mode, session_.minBlock);
  longestRecord_.start_pass();
  if (!record_.previous_pass_had_mode(mode)) {
    if (oldSuffixesDue_) unsortedWorkLeft_ = unsorted_work(session_.oldSize);
    if (patchSuffixesDue_) patchWorkLeft_ = patch_unsorted_work();
  }
}

std::int64_t MatchIndex::unsorted_work(std::int64_t size) const { return unsortedWorkAllowed_.value_or(size / 4); }

std::int64_t MatchIndex::patch_unsorted_work() const {
  return unsortedWorkAllowed_.value_or(session_.patchDataSize);
}

// The exact-price encoder searches at nearly every newfile position of a
// changed stretch, and its record takes about 12 bytes a search: 3.5 to 4
// bytes per newfile byte in the libraries tried. Three keep most of the
// searches, and keep AUTO OPTIMAL within 1.5 times the memory of MODE 3.
std::size_t MatchIndex::longest_record_bytes() const {
  constexpr std::size_t kBytesPerNewfileByte = 3;
  return static_cast<std::size_t>(session_.newSize) * kBytesPerNewfileByte;
}

void MatchIndex::build_old_lists() {
  oldListsDue_ = false;
  sampled_.stop();
  oldLists_.build(session_.oldData, session_.oldSize, 0);
  oldSuffixesDue_ = true;
  unsortedWorkLeft_ = unsorted_work(session_.oldSize);
  restart_record();
  longestRecord_.restart(longestWanted_ ? longest_record_bytes() : 0);
  oldRuns_.clear();
  oldStretches_.clear();
  oldStretchCost_ = 0;
}

// The record holds positions of the reference space in 32 bits. It takes
// only memory the lists hold anyway: while the suffixes wait, the scratch of
// their array, and once they are sorted, what the dense buckets spared.
void MatchIndex::restart_record() {
  const bool recordable = std::int64_t{session_.oldSize} + session_.patchDataSize <= UINT32_MAX;
  if (!searchesWanted_ || !recordable) return record_.restart(0);
  const std::span<std::uint8_t> scratch = oldLists_.unsorted_scratch();
  record_.restart(scratch.empty() ? oldLists_.spared_bytes() : 0, scratch);
}

// Sorting the oldfile's suffixes costs about as much as testing one
// candidate per byte of it. So the searches go without them, led by the
// floors that hints give and by rarer chains, until they have tested a
// candidate per four bytes: a newfile that mostly continues where it is, as
// a new build of the same program does, never pays for the sorting, and one
// that needs it pays at most a quarter more than sorting at once.
void MatchIndex::sort_old_suffixes() {
  oldSuffixesDue_ = false;
  // The record may stand in the memory the suffixes take.
  record_.restart(0);
  oldLists_.sort_suffixes(session_.oldData, session_.oldSize);
  restart_record();
  // Without the run index the searches walk the runs one by one, to the
  // same result.
  if (!oldRuns_.built()) oldRuns_.build(session_.oldData, session_.oldSize);
}

// Before the suffixes are sorted, the run index is built once the searches
// have spent as long walking runs one by one as building it takes: an
// oldfile mostly of runs with scattered changes gets it early, most files
// never, and are spared its time and memory. Without memory for it, it is
// tried again only after as much walking again.
void MatchIndex::build_runs_when_due() {
  if (oldRuns_.built() || oldStretchCost_ < session_.oldSize) return;
  oldStretchCost_ = 0;
  oldRuns_.build(session_.oldData, session_.oldSize);
}

void MatchIndex::limit_unsorted_work(std::int64_t candidates) {
  unsortedWorkAllowed_ = candidates;
  if (patchSuffixesDue_) patchWorkLeft_ = candidates;
}

const FileLists& MatchIndex::old_lists() {
  if (oldListsDue_) build_old_lists();
  if (oldSuffixesDue_) sort_old_suffixes();
  return oldLists_;
}

const FileLists& MatchIndex::old_lists_as_searched() {
  if (oldListsDue_) build_old_lists();
  return oldLists_;
}

void MatchIndex::build_patch_index(const char* name) {
  if (patchLists_.key_length() == 0) return;
  show_sorting_note(name);
  patchLists_.build(session_.patchData, session_.patchDataSize, kHeaderSize);
  patchStretches_.clear();
  // The string filter takes memory the lists hold anyway, and leaves it
  // before the suffixes are sorted there.
  patchGrams_.build(patchLists_.unsorted_scratch(), session_.patchData, session_.patchDataSize, kHeaderSize);
  patchSuffixesDue_ = true;
  patchWorkLeft_ = patch_unsorted_work();
  erase_sorting_note();
}

// Until the work allowed is spent, the searches go without the oldfile's
// lists where the samplings serve them, and most searches of a newfile that
// mostly continues where it is are served so; building the lists then
// costs at most that much more than building them at once. With no memory
// for the samplings, the lists are built at once.
void MatchIndex::sample_old_data(std::int64_t p) {
  if (sampled_.has_work_left(p)) return;
  const std::int64_t allowed = unlistedWorkAllowed_.value_or(session_.oldSize / 2);
  if (sampled_.started() || allowed <= 0 ||
      !sampled_.start(session_.oldData, session_.oldSize, session_.newSize, allowed))
    build_old_lists();
}

bool MatchIndex::search_unlisted(int mode, std::int64_t p, std::optional<MatchCandidate>& best) {
  const auto hints = hints_at(p);
  ChainWalk walk =
      start_walk(nullptr, nullptr, nullptr, session_.oldData, session_.oldSize, 0, mode, p, hints, best, INT64_MAX);
  if (walk.nothing_can_beat_best()) return true;
  const std::span<const std::uint8_t> newfile{session_.newData, static_cast<std::size_t>(session_.newSize)};
  const bool walked = walk.walk_unlisted(
      [&](std::int64_t length, std::vector<std::uint32_t>& out) {
        return sampled_.positions_agreeing(newfile, p, length, out);
      },
      unlistedCandidates_);
  sampled_.spend(static_cast<std::int64_t>(unlistedCandidates_.size()));
  return walked;
}

// The patch file's suffixes wait as the oldfile's do, but up to a candidate
// per byte, as much as sorting them costs: most newfile positions find
// their best in the oldfile, and the patch file's lists then only need to
// show that nothing there beats it, which the sorted suffixes rarely do
// faster than the chains.
void MatchIndex::sort_patch_suffixes() {
  patchSuffixesDue_ = false;
  patchGrams_.forget();
  patchLists_.sort_suffixes(session_.patchData, session_.patchDataSize);
}

const FileLists& MatchIndex::patch_lists() {
  if (patchSuffixesDue_) sort_patch_suffixes();
  return patchLists_;
}

// Where the newfile goes on as the last match did, or as the data since
// then would have it continue.
std::array<std::int64_t, 3> MatchIndex::hints_at(std::int64_t p) const {
  return {state.running, state.replacePosition, p + lastOffset_};
}

ChainWalk MatchIndex::start_walk(const FileLists* lists, const RunIndex* runs, const GramFilter* grams,
                                 const std::uint8_t* data, std::int64_t size, std::int64_t base, int mode,
                                 std::int64_t p, std::span<const std::int64_t> hints,
                                 std::optional<MatchCandidate>& best, std::int64_t workLeft) const {
  const CostContext context{.running = state.running,
                            .replacePosition = state.replacePosition,
                            .referenceSize = std::int64_t{session_.oldSize} + session_.patchDataSize};
  const bool oldfile = base == 0;
  return ChainWalk{.chain = {},
                   .keyLength = lists != nullptr ? lists->key_length() : 0,
                   .data = data,
                   .size = size,
                   .base = base,
                   .mode = mode,
                   .target = session_.newData + p,
                   .newLeft = session_.newSize - p,
                   .context = context,
                   .prices = (oldfile ? oldPriceCuts_ : patchPriceCuts_).update(mode, base, size, context),
                   .best = best,
                   .suffixes = nullptr,
                   .runs = runs,
                   .stretches = oldfile ? &oldStretches_ : &patchStretches_,
                   .grams = grams,
                   .lists = lists,
                   .hints = hints,
                   .leastGain = session_.minBlock,
                   .workLeft = workLeft};
}

bool MatchIndex::walk_chain(const FileLists& lists, const RunIndex* runs, const GramFilter* grams,
                            const std::uint8_t* data, std::int64_t size, std::int64_t base, int mode, std::int64_t p,
                            std::optional<MatchCandidate>& best, std::int64_t& workLeft, std::uint32_t* place) const {
  if (lists.key_length() == 0) return true;
  const std::uint8_t* target = session_.newData + p;
  const std::int64_t newLeft = session_.newSize - p;
  const auto hints = hints_at(p);
  ChainWalk walk = start_walk(&lists, runs, grams, data, size, base, mode, p, hints, best, workLeft);
  // The chain's bucket is a cache miss of its own: where the best leaves
  // no room in this file, it is not looked up at all.
  if (walk.nothing_can_beat_best()) return true;
  walk.chain = lists.chain(key_at(target, lists.key_length()));
  if (walk.chain.empty()) return true;
  std::optional<SuffixSearch> suffixes;
  if (lists.suffixes() != nullptr) {
    suffixes.emplace(data, size, lists.suffixes(), target, std::min(newLeft, block_length_limit(mode)), searchBuffers_,
                     lists.suffixes_from());
    const auto [first, end] = lists.suffix_range(walk.chain, target, data, size);
    suffixes->narrow_to(first, end, lists.key_length());
    suffixes->remember_place_in(place);
    walk.suffixes = &*suffixes;
  }
  walk.run();
  workLeft = walk.workLeft;
  if (runs == &oldRuns_) oldStretchCost_ += walk.stretchCost;
  return !walk.unfinished();
}

std::optional<MatchCandidate> MatchIndex::remember(std::int64_t p, const MatchCandidate& candidate) {
  if (candidate.gain() < session_.minBlock) return std::nullopt;
  memoPosition_ = p;
  memo_ = candidate;
  lastOffset_ = candidate.position - p;
  return candidate;
}

std::optional<MatchCandidate> MatchIndex::find_match(int mode, std::int64_t p) {
  // The encoders rely on this: the match that stopped a data scan is exactly
  // the one coded next, whatever the running position has become.
  if (memoPosition_ == p) return remember(p, memo_);
  if (session_.newSize - p < 3) return std::nullopt;
  if (oldListsDue_) sample_old_data(p);
  SearchRecord::Entry entry{.p = static_cast<std::uint32_t>(p),
                            .running = static_cast<std::uint32_t>(state.running),
                            .replacePosition = static_cast<std::uint32_t>(state.replacePosition)};
  const SearchRecord::Entry* before = record_.find(p);
  std::optional<MatchCandidate> best;
  if (before != nullptr && record_.previous_pass_serves(mode, session_.minBlock) && before->running == entry.running &&
      before->replacePosition == entry.replacePosition) {
    entry = *before;
    best = entry.result();
    record_.add(entry);
  } else {
    entry.place = before != nullptr ? before->place : 0;
    best = search_files(mode, p, entry.place);
    if (!best || entry.set_result(*best)) record_.add(entry);
  }
  if (!best) return std::nullopt;
  return remember(p, *best);
}

namespace {

// A walk that spends the work allowed before the suffixes are sorted stops
// unfinished; it is then done again over the sorted suffixes, from the best
// it started with.
template <typename Walk, typename Sort>
void walk_sorting_when_due(bool due, std::int64_t& workLeft, std::optional<MatchCandidate>& best, const Walk& walk,
                           const Sort& sort) {
  std::int64_t unlimited = INT64_MAX;
  const std::optional<MatchCandidate> before = best;
  if (walk(due ? workLeft : unlimited)) return;
  sort();
  best = before;
  walk(unlimited);
}

}  // namespace

std::optional<MatchCandidate> MatchIndex::search_files(int mode, std::int64_t p, std::uint32_t& oldPlace) {
  std::optional<MatchCandidate> best;
  if (!oldListsDue_ || !search_unlisted(mode, p, best)) {
    if (oldListsDue_) build_old_lists();
    best.reset();
    build_runs_when_due();
    walk_sorting_when_due(
        oldSuffixesDue_, unsortedWorkLeft_, best,
        [&](std::int64_t& work) {
          return walk_chain(oldLists_, &oldRuns_, nullptr, session_.oldData, session_.oldSize, 0, mode, p, best,
                            work, &oldPlace);
        },
        [this] { sort_old_suffixes(); });
  }
  walk_sorting_when_due(
      patchSuffixesDue_, patchWorkLeft_, best,
      [&](std::int64_t& work) {
        return walk_chain(patchLists_, nullptr, &patchGrams_, session_.patchData, session_.patchDataSize,
                          session_.oldSize, mode, p, best, work, nullptr);
      },
      [this] { sort_patch_suffixes(); });
  // Only the walks' floor is that short, and nothing beat it.
  if (best && best->length < 3) return std::nullopt;
  return best;
}

}  // namespace vd
