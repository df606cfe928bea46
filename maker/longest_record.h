// The longest matches the exact-price encoder found at each newfile
// position where it searched a file's sorted suffixes, kept for the next
// pass of AUTO.
//
// The four MODEs of AUTO search the same newfile against the same bytes,
// and a search looks at no more of the newfile than a block of its MODE
// may hold. Where the longest match found is shorter than the block limit
// of every MODE, that limit cut nothing, so the search finds the same in
// every MODE; only such results are kept. A pass takes the previous pass's
// result where there is one and searches where there is none: the results
// are the same either way.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "maker/pass_log.h"

namespace vd {

class LongestRecord {
 public:
  // A position of the file searched and the bytes it agrees for.
  using Found = std::pair<std::uint32_t, std::int64_t>;

  explicit LongestRecord(ZeroAllocator alloc) : log_(alloc) {}

  // Forgets every entry, as after a change of the bytes searched, and takes
  // at most `bytes` of memory from now on (0: records nothing).
  void restart(std::size_t bytes);
  void start_pass();
  // What the previous pass found at newfile position p in file `source`
  // (the first or the second searched), if it searched there. Asked in
  // ascending order of p, then of source; an entry passed over is gone.
  std::optional<std::span<const Found>> find(std::int64_t p, int source);
  // At most three found, and p and source above the last ones added; leaves
  // out what does not fit in the memory allowed and results a MODE's limit
  // may have cut.
  void add(std::int64_t p, int source, std::span<const Found> found);

 private:
  struct Key {
    std::int64_t p = 0;
    int source = 0;
    auto operator<=>(const Key&) const = default;
  };
  bool read_next();
  void forget_coding();

  PassLog log_;
  // The last entry written and read, and the offsets from the newfile to
  // the last first, second and third matches, which the next ones are coded
  // against: searches one byte apart mostly find the same matches one byte
  // on.
  using Offsets = std::array<std::int64_t, 3>;
  Key written_;
  Offsets writtenOffsets_{};
  bool wroteAny_ = false;
  Key read_;
  Offsets readOffsets_{};
  std::vector<Found> next_;
  bool nextValid_ = false;
};

}  // namespace vd
