#include "maker/optimal_candidates.h"

#include <algorithm>
#include <cstring>

#include "core/block_forms.h"
#include "core/patch_format.h"
#include "maker/byte_compare.h"

namespace vd {
namespace {

// The longest matches anywhere are found again one byte on, one byte
// shorter: while they stay this long, the sorted suffixes are not searched;
// nor while the cheapest path continues this long where it is.
constexpr std::int64_t kCarryWhileAtLeast = 24;
// While they are at least 8 bytes long they are searched at every third
// position only, the previous position's standing in, one byte on: fewer
// searches in a large library for a few bytes in ten thousand. Every
// fourth would miss more: in code, matches start at aligned positions.
// Shorter ones, as in text, are searched everywhere: new matches start at
// every position there.
constexpr std::int64_t kSearchEvery = 3;
constexpr std::int64_t kCarryFromSomeAtLeast = 8;
constexpr std::size_t kLongestPerFile = 3;
constexpr std::int64_t kUnsortedPositionsPer = 8192;  // bytes of the oldfile
constexpr int kNearAhead = 4;
constexpr int kNearBehind = 2;
// How far the cheaper near positions reach, behind and ahead; beyond them a
// position costs as much as any far one, and the longest match wins.
constexpr std::int64_t kNearBehindSpan = kNearBias;
constexpr std::int64_t kNearAheadSpan = kMode3NearWordMax;
// Before the oldfile's lists are built, its near positions are found by
// reading the stretch around the running position, up to this many bytes
// per byte of the oldfile in all: about the time filing it would take.
constexpr std::int64_t kScannedPerByteFiled = 4;

// The positions with `key` from `from` up to `last`, ascending, at most
// `most`, handed to `found`; returns the bytes read.
template <typename Found>
std::int64_t find_keys_ahead(const std::uint8_t* data, std::span<const std::uint8_t> key, std::int64_t from,
                             std::int64_t last, int most, Found found) {
  std::int64_t q = from;
  for (int taken = 0; q <= last && taken < most; ++q) {
    const void* hit = std::memchr(data + q, key[0], static_cast<std::size_t>(last - q + 1));
    if (hit == nullptr) return last - from + 1;
    q = static_cast<const std::uint8_t*>(hit) - data;
    if (std::memcmp(data + q, key.data(), key.size()) == 0) {
      found(q);
      ++taken;
    }
  }
  return q - from;
}

// The same from `from` down to `first`, descending.
template <typename Found>
std::int64_t find_keys_behind(const std::uint8_t* data, std::span<const std::uint8_t> key, std::int64_t from,
                              std::int64_t first, int most, Found found) {
  std::int64_t q = from;
  for (int taken = 0; q >= first && taken < most; --q) {
    const void* hit = memrchr(data + first, key[0], static_cast<std::size_t>(q - first + 1));
    if (hit == nullptr) return from - first + 1;
    q = static_cast<const std::uint8_t*>(hit) - data;
    if (std::memcmp(data + q, key.data(), key.size()) == 0) {
      found(q);
      ++taken;
    }
  }
  return from - q;
}

}  // namespace

OptimalCandidates::OptimalCandidates(const MakerSession& session, MatchIndex& index, int mode)
    : session_(session),
      index_(index),
      mode_(mode),
      limit_(block_length_limit(mode)),
      unsortedLeft_(session.oldSize / kUnsortedPositionsPer),
      scanLeft_(session.oldSize * kScannedPerByteFiled) {
  if (index.old_key_length() != 0)
    sources_[sourceCount_++] = {session.oldData, session.oldSize, 0, 0, index.old_lists_if_built(), {}};
  if (index.patch_lists().key_length() != 0)
    sources_[sourceCount_++] = {session.patchData, session.patchDataSize, session.oldSize,
                                static_cast<std::int64_t>(kHeaderSize), &index.patch_lists(), {}};
}

// Bytes from reference position q that agree with the newfile from p on.
// A match stays inside the file it starts in, and never reads the patch
// file's header, which changes with every record.
std::int64_t OptimalCandidates::agreement(std::int64_t q, std::int64_t p) const {
  const std::uint8_t* data = session_.oldData;
  std::int64_t end = session_.oldSize;
  std::int64_t offset = q;
  if (q >= session_.oldSize) {
    offset = q - session_.oldSize;
    if (offset < static_cast<std::int64_t>(kHeaderSize) || offset >= session_.patchDataSize) return 0;
    data = session_.patchData;
    end = session_.patchDataSize;
  } else if (q < 0) {
    return 0;
  }
  const std::int64_t limit = std::min({end - offset, session_.newSize - p, limit_});
  return common_prefix(data + offset, session_.newData + p, limit);
}

void OptimalCandidates::add(std::vector<OptimalCandidate>& to, std::int64_t q, std::int64_t length) {
  if (length <= 0) return;
  for (OptimalCandidate& known : to) {
    if (known.position != q) continue;
    known.length = std::max(known.length, length);
    return;
  }
  to.push_back({q, length});
}

void OptimalCandidates::add_continuation(std::int64_t q, std::int64_t p) { add(q, agreement(q, p)); }

// Sorting the oldfile's suffixes can cost more than the rest of the search
// where a newfile mostly continues where it is, and its few changed bytes
// are found as well through the chains. So, unless the greedy path's
// searches have had them sorted, they are sorted only once as many
// positions have asked for them as the oldfile has 8 KiB: early enough that
// the positions which went without lose almost nothing.
const std::int32_t* OptimalCandidates::suffixes_of(Source& source, std::int64_t p) {
  if (source.base != 0 || (source.lists != nullptr && source.lists->suffixes() != nullptr))
    return source.lists->suffixes();
  if (unsortedLeft_ > 0) {
    --unsortedLeft_;
    return nullptr;
  }
  list_oldfile(source, p, index_.old_lists());
  return source.lists->suffixes();
}

// The previous pass's result, where it searched here, is what the search
// would find.
void OptimalCandidates::add_longest(int sourceIndex, std::int64_t p) {
  Source& source = sources_[sourceIndex];
  LongestRecord& record = index_.longest_record();
  std::span<const LongestRecord::Found> found;
  if (const auto recorded = record.find(p, sourceIndex)) {
    found = *recorded;
  } else {
    const std::int32_t* suffixes = suffixes_of(source, p);
    if (suffixes == nullptr) return;
    const std::uint8_t* target = session_.newData + p;
    const std::int64_t targetLength = std::min(session_.newSize - p, limit_);
    SuffixSearch search(source.data, source.size, suffixes, target, targetLength, buffers_,
                        source.lists->suffixes_from());
    if (session_.newSize - p >= source.lists->key_length()) {
      if (source.chain.empty()) return;
      const auto [first, end] = source.lists->suffix_range(source.chain, target, source.data, source.size);
      search.narrow_to(first, end, source.lists->key_length());
    }
    found = search.most_agreeing(kLongestPerFile);
  }
  record.add(p, sourceIndex, found);
  for (const auto& [position, agrees] : found) {
    const OptimalCandidate candidate{source.base + position, agrees};
    add(longest_, candidate.position, candidate.length);
    carried_.push_back(candidate);
  }
}

// Positions with the key of p close to the running position, where the
// position bytes are fewest.
void OptimalCandidates::add_near_running(Source& source, std::int64_t p, std::int64_t running) {
  if (source.lists == nullptr && scanLeft_ <= 0) list_oldfile(source, p, index_.old_lists_as_searched());
  if (source.lists == nullptr) return scan_near_running(p, running);
  const std::span<const std::uint32_t> chain = source.chain;
  const std::int64_t relative = running - source.base;
  const auto from = chain.begin() + static_cast<std::ptrdiff_t>(place_in_chain(chain, relative));
  int taken = 0;
  for (auto it = from; it != chain.end() && taken < kNearAhead && *it <= relative + kNearAheadSpan; ++it, ++taken)
    add_continuation(source.base + *it, p);
  if (mode_ == 3) return;  // MODE 3 has no near positions behind the running position
  taken = 0;
  for (auto it = from; it != chain.begin() && taken < kNearBehind; ++taken) {
    --it;
    if (*it < relative - kNearBehindSpan) break;
    add_continuation(source.base + *it, p);
  }
}

// Where `relative` stands in the chain. The arrivals at one position
// mostly run close together and ask in turn, so each search starts where
// the last one in the same chain ended.
std::size_t OptimalCandidates::place_in_chain(std::span<const std::uint32_t> chain, std::int64_t relative) {
  const bool again = chain.data() == lastChain_ && lastPlace_ <= chain.size();
  lastChain_ = chain.data();
  lastPlace_ = again ? gallop_from(chain, lastPlace_, relative) : first_not_below(chain, 0, chain.size(), relative);
  return lastPlace_;
}

// A newfile with a few changed stretches asks for the near positions of
// so few that reading the oldfile around the running position is cheaper
// than filing all of it: the same positions, in the same order, as the
// chain gives above.
void OptimalCandidates::scan_near_running(std::int64_t p, std::int64_t running) {
  const int keyLength = index_.old_key_length();
  if (session_.newSize - p < keyLength) return;
  const std::span<const std::uint8_t> key{session_.newData + p, static_cast<std::size_t>(keyLength)};
  const std::int64_t lastStart = session_.oldSize - keyLength;
  const auto found = [&](std::int64_t q) { add_continuation(q, p); };
  const std::uint8_t* data = session_.oldData;
  scanLeft_ -= find_keys_ahead(data, key, std::max<std::int64_t>(running, 0),
                               std::min(running + kNearAheadSpan, lastStart), kNearAhead, found);
  if (mode_ == 3) return;
  scanLeft_ -= find_keys_behind(data, key, std::min(running - 1, lastStart),
                                std::max<std::int64_t>(running - kNearBehindSpan, 0), kNearBehind, found);
}

bool OptimalCandidates::carry_longest(std::int64_t p) {
  if (carriedFor_ != p - 1 || carried_.empty()) return false;
  std::int64_t longest = 0;
  for (OptimalCandidate& candidate : carried_) {
    candidate.position += 1;
    // The limit of the MODE may have cut it short: it may go on.
    candidate.length = candidate.length == limit_ ? agreement(candidate.position, p) : candidate.length - 1;
    longest = std::max(longest, candidate.length);
  }
  if (longest < kCarryWhileAtLeast && (longest < kCarryFromSomeAtLeast || p % kSearchEvery == 0)) return false;
  for (const OptimalCandidate& candidate : carried_) add(longest_, candidate.position, candidate.length);
  return true;
}

// Only a position that is searched needs the chains of its key: looking
// one up is a cache miss or two.
void OptimalCandidates::look_up_chains(std::int64_t p) {
  for (int i = 0; i < sourceCount_; ++i) look_up_chain(sources_[i], p);
}

// The greedy path's searches may have had the oldfile's lists built since.
void OptimalCandidates::look_up_chain(Source& source, std::int64_t p) {
  if (source.lists == nullptr) source.lists = index_.old_lists_if_built();
  const int keyLength = source.lists != nullptr ? source.lists->key_length() : 0;
  source.chain = source.lists == nullptr || session_.newSize - p < keyLength
                     ? std::span<const std::uint32_t>{}
                     : source.lists->chain(key_at(session_.newData + p, keyLength));
}

void OptimalCandidates::prefetch_chains(std::int64_t p) const {
  for (int i = 0; i < sourceCount_; ++i) {
    const FileLists* lists = sources_[i].lists;
    if (lists != nullptr && session_.newSize - p >= lists->key_length())
      lists->prefetch_chain(key_at(session_.newData + p, lists->key_length()));
  }
}

void OptimalCandidates::list_oldfile(Source& source, std::int64_t p, const FileLists& lists) {
  source.lists = &lists;
  look_up_chain(source, p);
}

void OptimalCandidates::at(std::int64_t p, std::int64_t running) {
  prefetch_chains(p + 1);
  longest_.clear();
  nearSearched_ = !carry_longest(p);
  carriedFor_ = p;
  if (!nearSearched_) return;
  carried_.clear();
  if (agreement(running, p) >= kCarryWhileAtLeast) {
    nearSearched_ = false;
    return;
  }
  look_up_chains(p);
  for (int i = 0; i < sourceCount_; ++i) add_longest(i, p);
}

const std::vector<OptimalCandidate>& OptimalCandidates::for_path(std::int64_t p, std::int64_t running,
                                                                 std::int64_t dataLength) {
  found_.clear();
  add_continuation(running, p);
  if (dataLength > 0 && has_data_kinds(mode_)) add_continuation(running + dataLength, p);
  // Inside a long match the longest candidates are enough.
  if (!nearSearched_) return found_;
  for (int i = 0; i < sourceCount_; ++i) add_near_running(sources_[i], p, running);
  return found_;
}

}  // namespace vd
