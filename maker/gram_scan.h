// One reading of the oldfile for the short strings (grams) of a stretch of
// the newfile, sampled at every stride-th position of the oldfile: a
// position that agrees with the newfile for `reach` bytes or more holds one
// of the grams within its first `stride` bytes, at the same offset as in
// the newfile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "maker/mapped_array.h"

namespace vd {

struct GramShape {
  std::int64_t gram;  // 4 or 8 bytes
  std::int64_t stride;
  constexpr std::int64_t reach() const { return gram + stride - 1; }
};

// Agreements of 11 bytes and more, what MODE 3 needs beyond its cheapest
// near positions, at a quarter of the positions.
inline constexpr GramShape kLongGrams{8, 4};
// Agreements of 4 bytes and more, for the 5 to 7 bytes that the far
// positions of the other MODEs need, at every position: with a stride, a
// search that needs 5 bytes would have a single gram to look for at some
// offset, and in code that one is often too common to be kept.
inline constexpr GramShape kShortGrams{4, 1};

// Of the offsets from `residue` on in steps of `stride`, up to `last`, the
// one whose list (`listed(offset)`, none where there is no usable one)
// looks shortest: the first where lists are short, else the shortest of
// the first few, since in code padding and tables the first strings stand
// thousands of times and the next ones mostly once.
template <typename Listed>
std::optional<std::int64_t> shortest_listed(std::int64_t residue, std::int64_t last, std::int64_t stride,
                                            Listed listed) {
  constexpr std::size_t kShortList = 16;
  constexpr int kMostTried = 16;
  std::optional<std::int64_t> shortest;
  std::size_t shortestSize = SIZE_MAX;
  int tried = 0;
  for (std::int64_t offset = residue; offset <= last && tried < kMostTried && shortestSize > kShortList;
       offset += stride) {
    const std::optional<std::size_t> size = listed(offset);
    if (!size) continue;
    ++tried;
    if (*size < shortestSize) {
      shortest = offset;
      shortestSize = *size;
    }
  }
  return shortest;
}

class GramScan {
 public:
  // Reads the file once for the grams at every offset of newfile[from, end)
  // that a whole one fits at, but those of one byte value. A gram found
  // more than `mostEach` times is given up. False when there is no memory
  // for it: the reading is then of no use.
  bool scan(GramShape shape, const std::uint8_t* data, std::int64_t size, std::span<const std::uint8_t> newfile,
            std::int64_t from, std::int64_t end, std::size_t mostEach);
  // Whether the reading can give every position agreeing with newfile[p, p
  // + length).
  bool serves(std::int64_t p, std::int64_t length) const {
    return length >= shape_.reach() && p >= from_ && p + shape_.reach() <= end_;
  }
  // Appends every position that may agree with newfile[p, p + length), when
  // serves() says so, and some that do not; false when some offset modulo
  // the stride has only grams given up or not looked for.
  bool positions_agreeing(std::span<const std::uint8_t> newfile, std::int64_t p, std::int64_t length,
                          std::vector<std::uint32_t>& out) const;

 private:
  template <std::int64_t kGram, std::int64_t kStride>
  void read_file(const std::uint8_t* data, std::int64_t size);
  bool pack_positions();
  // Where the gram at `bytes` stands, ascending; none when it was not
  // looked for or was given up.
  std::optional<std::span<const std::uint32_t>> positions_of(const std::uint8_t* bytes) const;
  std::uint64_t gram_at(const std::uint8_t* bytes) const;

  GramShape shape_{};
  std::int64_t from_ = 0;
  std::int64_t end_ = 0;
  std::vector<std::uint64_t> grams_;  // sorted, each once
  // While reading, each gram's positions in a slot of mostEach_ + 1, the
  // first its count (more than mostEach_ give it up); after, packed: the
  // positions of gram i from starts_[i] to starts_[i + 1], none for a gram
  // given up.
  MappedArray<std::uint32_t> slots_;
  std::size_t mostEach_ = 0;
  std::vector<std::uint32_t> starts_;
  MappedArray<std::uint32_t> positions_;
  std::vector<bool> givenUp_;
};

}  // namespace vd
