// Where the newfile's bytes at one position stand among the sorted suffixes
// of a file: how long a match the file holds anywhere, and, when only a few
// of its positions agree with the newfile for a given number of bytes, which
// ones. The match search uses both to pass over chain candidates that cannot
// win.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vd {

class SuffixSearch {
 public:
  // Memory a search only borrows, so that searches do not allocate.
  struct Buffers {
    std::vector<std::uint32_t> listed;
    std::vector<std::uint32_t> sorting;  // room for sorting the list
    std::vector<std::pair<std::uint32_t, std::int64_t>> visited;  // position, agreement
  };

  // `suffixes` holds the positions of the file from `origin` on, sorted by
  // the bytes from there on; every position given or returned counts from
  // the file's start. Only the first `targetLength` bytes of the target are
  // looked at.
  SuffixSearch(const std::uint8_t* data, std::int64_t size, const std::int32_t* suffixes,
               const std::uint8_t* target, std::int64_t targetLength, Buffers& buffers, std::int64_t origin = 0);

  // Where a search for the same target bytes placed them before (1 + the
  // place, 0 for not yet), read and written here. The MODEs of AUTO search
  // the same newfile positions in the same file again; a place that still
  // stands between a suffix below the target and one that is not saves the
  // binary search, and one that does not is searched anew.
  void remember_place_in(std::uint32_t* place) { place_ = place; }
  // The suffixes from `begin` to `end` (indices into the array) are known to
  // be those that agree with the target for `agrees` bytes, or more; the
  // binary search starts from them.
  void narrow_to(std::int64_t begin, std::int64_t end, std::int64_t agrees) {
    rangeBegin_ = begin;
    rangeEnd_ = end;
    rangeAgrees_ = agrees;
  }

  // The most bytes in which any position of the file agrees with the target.
  std::int64_t longest_match();
  // Every position from `from` to `last` that agrees with the target for at
  // least `length` bytes, in ascending order, perhaps with some that agree
  // for fewer; none when more than `most` positions of the file agree.
  std::optional<std::span<const std::uint32_t>> positions_agreeing(std::int64_t length, std::int64_t most,
                                                                   std::int64_t from, std::int64_t last);
  // The most bytes (3 or more) in which a position from `from` to `last`
  // agrees with the target, provided that position is among the `most`
  // positions of the file that agree longest.
  std::optional<std::int64_t> longest_match_within(std::int64_t from, std::int64_t last, std::size_t most);
  // The `most` positions of the file (or fewer) that agree longest with the
  // target, 3 bytes or more, longest first: (position, agreement).
  std::span<const std::pair<std::uint32_t, std::int64_t>> most_agreeing(std::size_t most);

 private:
  void locate();
  void narrow_in_eighths(std::int64_t& low, std::int64_t& high, std::int64_t& lowAgrees,
                         std::int64_t& highAgrees) const;
  bool below_target(std::int64_t index, std::int64_t agrees) const;
  bool place_still_holds(std::int64_t place);
  void settle_at(std::int64_t low, std::int64_t lowAgrees, std::int64_t highAgrees);
  std::int64_t agreement(std::int64_t index, std::int64_t known) const;
  bool agrees_for(std::int64_t index, std::int64_t length) const;
  std::int64_t count_agreeing(std::int64_t start, int direction, std::int64_t length, std::int64_t most) const;
  bool list_agreeing(std::int64_t length, std::int64_t most);
  bool visit_next();

  // The part of the file that is sorted.
  const std::uint8_t* data_;
  std::int64_t size_;
  std::int64_t origin_;
  const std::int32_t* suffixes_;
  const std::uint8_t* target_;
  std::int64_t targetLength_;

  std::uint32_t* place_ = nullptr;
  std::int64_t rangeBegin_ = 0;
  std::int64_t rangeEnd_ = -1;  // -1: the whole array
  std::int64_t rangeAgrees_ = 0;
  bool located_ = false;
  std::int64_t insertAt_ = 0;  // the first suffix not below the target
  std::int64_t longest_ = 0;
  std::vector<std::uint32_t>& listed_;
  std::vector<std::uint32_t>& sorting_;
  // Suffixes in the order of their agreement, longest first, as far as
  // visited: the next below is at nextBelow_, the next above at nextAbove_.
  std::vector<std::pair<std::uint32_t, std::int64_t>>& visited_;
  std::int64_t nextBelow_ = 0;
  std::int64_t nextAbove_ = 0;
  std::int64_t belowAgrees_ = -1;  // -1 when there is none left
  std::int64_t aboveAgrees_ = -1;
  std::int64_t listedFor_ = -1;  // the length the listed positions agree for
  // More than tooManyCount_ positions agree for tooManyFor_ bytes.
  std::int64_t tooManyFor_ = 0;
  std::int64_t tooManyCount_ = 0;
};

}  // namespace vd
