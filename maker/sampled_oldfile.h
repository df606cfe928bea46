// What the match search has of the oldfile before its lists are built.
//
// Filing every position of the oldfile in the lists costs about 5 ns a
// position. On a newfile that mostly goes on where the last match ended, as
// a new build of the same program does, that is more than all its searches
// together: most of them start where a match of hundreds or thousands of
// bytes continues, and only a position that agrees with the newfile for
// about as long can beat it. The few searches in a stretch of changed bytes
// need, in MODE 3, the positions that agree for 11 bytes or more, but for
// the few near positions of the cheapest price. Two samplings of the
// oldfile find every such position without the lists:
// - anchors: every 32nd position filed under its next 32 bytes, for
//   agreements of 63 bytes or more;
// - grams: the 8-byte strings of a stretch of the newfile, looked for at
//   every 4th position of the oldfile in one reading, for 11 bytes or more;
//   or its 4-byte strings at every position, for 4 bytes or more (the
//   other MODEs' far positions need 5 to 7).
// Neither is exact by itself: both give every position that can agree, and
// some that do not, which the search then measures. Searches that need
// shorter agreements wait for the lists.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "maker/gram_scan.h"
#include "maker/mapped_array.h"

namespace vd {

// A position that agrees with a string for kReach bytes or more holds an
// anchor within its first kStride bytes, whose window agrees as well; each
// offset modulo kStride needs one probe. Windows of one byte value are not
// filed: a file's runs would fill buckets of their own, and a probe that
// meets one in the string tries the next window of its offset instead.
class AnchorIndex {
 public:
  static constexpr std::int64_t kStride = 32;
  static constexpr std::int64_t kWindow = 32;
  static constexpr std::int64_t kReach = kStride + kWindow - 1;

  // False, with nothing held, when there is no memory for it.
  bool build(const std::uint8_t* data, std::int64_t size);
  void clear();
  // Appends every position of the file that may agree with target[0,
  // length), length >= kReach, and some that do not. False when some offset
  // meets only windows of one byte value, or when more than `most`
  // positions would be appended.
  bool positions_agreeing(const std::uint8_t* target, std::int64_t length, std::size_t most,
                          std::vector<std::uint32_t>& out) const;

 private:
  std::size_t bucket_of(std::uint64_t hash) const { return static_cast<std::size_t>(hash >> (64 - bucketBits_)); }

  MappedArray<std::uint32_t> starts_;  // each bucket's first anchor, and the end
  MappedArray<std::uint64_t> anchors_;  // a check of the window's hash, and the position
  int bucketBits_ = 0;
};

// Both samplings, and the work the searches may spend on them before
// building the lists is cheaper; the work is counted in positions filed.
// What is allowed grows with the farthest newfile position searched, from
// 0.4 at the start to the whole at the end: a newfile changed all through
// spends that within its first stretches, on a few readings, while one with
// a few stretches of changes spends little anywhere. The readings are kept,
// since every pass of AUTO searches the same stretches.
class SampledOldfile {
 public:
  // False when there is no memory for the anchors.
  bool start(const std::uint8_t* data, std::int64_t size, std::int64_t newSize, std::int64_t workAllowed);
  void stop();
  bool started() const { return started_; }
  // Whether the work spent is still within what a search at newfile
  // position p, or at the farthest one searched before, may spend.
  bool has_work_left(std::int64_t p);
  void spend(std::int64_t work) { spent_ = std::min(spent_, INT64_MAX - work) + work; }
  // Appends every oldfile position that may agree with newfile[p, p +
  // length), and some that do not; false when neither sampling can tell
  // within the work left. Only the probes and readings are spent here: the
  // positions, by the search that measures them.
  bool positions_agreeing(std::span<const std::uint8_t> newfile, std::int64_t p, std::int64_t length,
                          std::vector<std::uint32_t>& out);

 private:
  // A reading that serves the search, done now where none was; null when
  // none can, or the work left does not allow one.
  const GramScan* reading_for(std::span<const std::uint8_t> newfile, std::int64_t p, std::int64_t length);

  const std::uint8_t* data_ = nullptr;
  std::int64_t size_ = 0;
  AnchorIndex anchors_;
  std::vector<std::unique_ptr<GramScan>> readings_;
  std::int64_t newSize_ = 0;
  std::int64_t allowed_ = 0;
  std::int64_t spent_ = 0;
  double reached_ = 0;  // the farthest share of the newfile searched
  bool started_ = false;
};

}  // namespace vd
