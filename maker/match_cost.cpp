#include "maker/match_cost.h"

namespace vd {
namespace {

constexpr std::int64_t kMax24 = 0xFFFFFF;

bool within(std::int64_t q, std::int64_t low, std::int64_t high) { return q >= low && q <= high; }

int mode3_far_width_cost(std::int64_t referenceSize) {
  if (referenceSize <= 0xFFFF) return 3;
  return referenceSize <= kMax24 ? 4 : 5;
}

int mode3_length_part(std::int64_t length) { return length <= 32 ? 1 : 2; }

bool near_patch_position(std::int64_t q, std::int64_t running) {
  return within(q, running - 16384, running + 16383);
}

}  // namespace

std::array<std::int64_t, kPriceChangeCount> price_change_positions(const CostContext& c) {
  const std::int64_t r = c.running;
  const std::int64_t rp = c.replacePosition;
  return {r - 16384, r,   r + 1,   r + 127, r + 253, r + 509,  r + 16384,
          r + 32895, r + 49151, rp, rp + 1, 4194304, 8388607, 16777216};
}

int oldfile_match_cost(int mode, std::int64_t n, std::int64_t q, const CostContext& c) {
  const std::int64_t r = c.running;
  switch (mode) {
    case 1: {
      const int lengthPart = n <= 127 ? 1 : n <= 65662 ? 3 : 6;
      const int positionPart = within(q, r, r + 252)             ? 1
                               : within(q, r - 16384, r + 49150) ? 3
                               : q <= kMax24                     ? 4
                                                                 : 5;
      return lengthPart + positionPart;
    }
    case 2: {
      const int lengthPart = n <= 63 ? 1 : 2;
      const int positionPart = within(q, r - 16384, r + 16383) ? 2 : q <= 8388606 ? 3 : 4;
      return lengthPart + positionPart;
    }
    case 3: {
      const int positionPart = within(q, r, r + 126)           ? 1
                               : within(q, r + 127, r + 32894) ? 7
                                                               : 5 + mode3_far_width_cost(c.referenceSize);
      return mode3_length_part(n) + positionPart;
    }
    default: {
      int lengthPart = n <= 63 ? 1 : n <= 65598 ? 3 : 6;
      if (q == r || q == c.replacePosition) lengthPart -= 1;
      const int positionPart = within(q, r, r + 508)             ? 1
                               : within(q, r - 16384, r + 49150) ? 8
                               : q <= kMax24                     ? 4
                                                                 : 5;
      return lengthPart + positionPart;
    }
  }
}

int patchfile_match_cost(int mode, std::int64_t n, std::int64_t q, const CostContext& c) {
  const bool near = near_patch_position(q, c.running);
  switch (mode) {
    case 1:
      return 7 - (q <= 4194303 ? 1 : 0) - (near ? 2 : 0) - (n <= 127 ? 2 : 0);
    case 2:
      return 9 - (q <= 4194303 ? 4 : 0) - (near ? 2 : 0) - (n <= 63 ? 1 : 0);
    case 3: {
      const std::int64_t r = c.running;
      const int positionPart = within(q, r, r + 126)           ? 1
                               : within(q, r + 127, r + 32894) ? 2
                                                               : mode3_far_width_cost(c.referenceSize);
      return mode3_length_part(n) + positionPart;
    }
    default:
      return 7 - (near ? 2 : 0) - (n <= 63 ? 2 : 0);
  }
}

}  // namespace vd
