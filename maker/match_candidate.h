// A match the search found: `length` bytes of the reference at `position`,
// at an estimated `cost` in bytes of the patch file.
#pragma once

#include <cstdint>

namespace vd {

struct MatchCandidate {
  std::int64_t length = 0;
  std::int64_t position = 0;  // in the reference space: oldfile, then patch file
  int cost = 0;
  std::int64_t penalty = 0;

  std::int64_t gain() const { return length - cost; }
};

}  // namespace vd
