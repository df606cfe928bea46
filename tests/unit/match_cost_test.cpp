#include "maker/match_cost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace vd {
namespace {

CostContext at(std::int64_t running, std::int64_t referenceSize = 1000000, std::int64_t replacePosition = -1000000) {
  CostContext context;
  context.running = running;
  context.referenceSize = referenceSize;
  context.replacePosition = replacePosition;
  return context;
}

TEST(MatchCost, LengthLimitsPerMode) {
  EXPECT_EQ(block_length_limit(1), 16777215);
  EXPECT_EQ(block_length_limit(2), 16383);
  EXPECT_EQ(block_length_limit(3), 8224);
  EXPECT_EQ(block_length_limit(4), 16777215);
}

TEST(MatchCost, Mode1Oldfile) {
  const std::int64_t r = 100000;
  // Length part: 1 up to 127, 3 up to 65,662, else 6 (position part 1 here).
  EXPECT_EQ(oldfile_match_cost(1, 127, r, at(r)), 2);
  EXPECT_EQ(oldfile_match_cost(1, 128, r, at(r)), 4);
  EXPECT_EQ(oldfile_match_cost(1, 65662, r, at(r)), 4);
  EXPECT_EQ(oldfile_match_cost(1, 65663, r, at(r)), 7);
  // Position part: 1 from R to R + 252, 3 from R - 16,384 to R + 49,150,
  // 4 up to 16,777,215, else 5 (length part 1 here).
  EXPECT_EQ(oldfile_match_cost(1, 10, r + 252, at(r)), 2);
  EXPECT_EQ(oldfile_match_cost(1, 10, r + 253, at(r)), 4);
  EXPECT_EQ(oldfile_match_cost(1, 10, r - 1, at(r)), 4);
  EXPECT_EQ(oldfile_match_cost(1, 10, r - 16384, at(r)), 4);
  EXPECT_EQ(oldfile_match_cost(1, 10, r - 16385, at(r)), 5);
  EXPECT_EQ(oldfile_match_cost(1, 10, r + 49150, at(r)), 4);
  EXPECT_EQ(oldfile_match_cost(1, 10, r + 49151, at(r)), 5);
  EXPECT_EQ(oldfile_match_cost(1, 10, 16777215, at(r)), 5);
  EXPECT_EQ(oldfile_match_cost(1, 10, 16777216, at(r)), 6);
  EXPECT_EQ(oldfile_match_cost(1, 65663, 16777216, at(r)), 11);
}

TEST(MatchCost, Mode2Oldfile) {
  const std::int64_t r = 100000;
  EXPECT_EQ(oldfile_match_cost(2, 63, r, at(r)), 3);
  EXPECT_EQ(oldfile_match_cost(2, 64, r, at(r)), 4);
  EXPECT_EQ(oldfile_match_cost(2, 10, r - 16384, at(r)), 3);
  EXPECT_EQ(oldfile_match_cost(2, 10, r + 16383, at(r)), 3);
  EXPECT_EQ(oldfile_match_cost(2, 10, r - 16385, at(r)), 4);
  EXPECT_EQ(oldfile_match_cost(2, 10, r + 16384, at(r)), 4);
  EXPECT_EQ(oldfile_match_cost(2, 10, 8388606, at(r)), 4);
  EXPECT_EQ(oldfile_match_cost(2, 10, 8388607, at(r)), 5);
  EXPECT_EQ(oldfile_match_cost(2, 64, 8388607, at(r)), 6);
}

TEST(MatchCost, Mode3Oldfile) {
  const std::int64_t r = 1000;
  EXPECT_EQ(oldfile_match_cost(3, 32, r, at(r)), 2);
  EXPECT_EQ(oldfile_match_cost(3, 33, r, at(r)), 3);
  EXPECT_EQ(oldfile_match_cost(3, 10, r + 126, at(r)), 2);
  // The middle tier carries five more than it codes.
  EXPECT_EQ(oldfile_match_cost(3, 10, r + 127, at(r)), 8);
  EXPECT_EQ(oldfile_match_cost(3, 10, r + 32894, at(r)), 8);
  EXPECT_EQ(oldfile_match_cost(3, 33, r + 32894, at(r)), 9);
  // Far (and behind R): 5 + w, w from oldSize + patchDataSize.
  EXPECT_EQ(oldfile_match_cost(3, 10, r + 32895, at(r, 65535)), 9);
  EXPECT_EQ(oldfile_match_cost(3, 10, r - 1, at(r, 65535)), 9);
  EXPECT_EQ(oldfile_match_cost(3, 10, r - 1, at(r, 65536)), 10);
  EXPECT_EQ(oldfile_match_cost(3, 10, r - 1, at(r, 16777215)), 10);
  EXPECT_EQ(oldfile_match_cost(3, 10, r - 1, at(r, 16777216)), 11);
  EXPECT_EQ(oldfile_match_cost(3, 33, r - 1, at(r, 16777216)), 12);
}

TEST(MatchCost, Mode4Oldfile) {
  const std::int64_t r = 100000;
  // Length part 1, 3, 6; one less when q is R or the replace position.
  EXPECT_EQ(oldfile_match_cost(4, 63, r + 1, at(r)), 2);
  EXPECT_EQ(oldfile_match_cost(4, 64, r + 1, at(r)), 4);
  EXPECT_EQ(oldfile_match_cost(4, 65598, r + 1, at(r)), 4);
  EXPECT_EQ(oldfile_match_cost(4, 65599, r + 1, at(r)), 7);
  EXPECT_EQ(oldfile_match_cost(4, 63, r, at(r)), 1);
  EXPECT_EQ(oldfile_match_cost(4, 65599, r, at(r)), 6);
  EXPECT_EQ(oldfile_match_cost(4, 10, r + 20, at(r, 1000000, r + 20)), 1);
  EXPECT_EQ(oldfile_match_cost(4, 64, r + 600, at(r, 1000000, r + 600)), 10);
  EXPECT_EQ(oldfile_match_cost(4, 64, 20000000, at(r, 1000000, 20000000)), 7);
  // Position part: 1 up to R + 508, 8 from R - 16,384 to R + 49,150,
  // 4 up to 16,777,215, else 5.
  EXPECT_EQ(oldfile_match_cost(4, 10, r + 508, at(r)), 2);
  EXPECT_EQ(oldfile_match_cost(4, 10, r + 509, at(r)), 9);
  EXPECT_EQ(oldfile_match_cost(4, 10, r - 1, at(r)), 9);
  EXPECT_EQ(oldfile_match_cost(4, 10, r - 16384, at(r)), 9);
  EXPECT_EQ(oldfile_match_cost(4, 10, r + 49150, at(r)), 9);
  EXPECT_EQ(oldfile_match_cost(4, 10, r - 16385, at(r)), 5);
  EXPECT_EQ(oldfile_match_cost(4, 10, r + 49151, at(r)), 5);
  EXPECT_EQ(oldfile_match_cost(4, 10, 16777215, at(r)), 5);
  EXPECT_EQ(oldfile_match_cost(4, 10, 16777216, at(r)), 6);
}

TEST(MatchCost, Mode1PatchFile) {
  // 7, minus 1 up to 4,194,303, minus 2 near (R - 16,384 to R + 16,383),
  // minus 2 for lengths up to 127.
  const std::int64_t r = 5000000;
  EXPECT_EQ(patchfile_match_cost(1, 200, 6000000, at(r)), 7);
  EXPECT_EQ(patchfile_match_cost(1, 127, 6000000, at(r)), 5);
  EXPECT_EQ(patchfile_match_cost(1, 128, r + 16383, at(r)), 5);
  EXPECT_EQ(patchfile_match_cost(1, 128, r + 16384, at(r)), 7);
  EXPECT_EQ(patchfile_match_cost(1, 128, r - 16384, at(r)), 5);
  EXPECT_EQ(patchfile_match_cost(1, 128, r - 16385, at(r)), 7);
  EXPECT_EQ(patchfile_match_cost(1, 128, 4194303, at(r)), 6);
  EXPECT_EQ(patchfile_match_cost(1, 128, 4194304, at(r)), 7);
  EXPECT_EQ(patchfile_match_cost(1, 10, 100, at(0)), 2);
}

TEST(MatchCost, Mode2PatchFile) {
  // 9, minus 4 up to 4,194,303, minus 2 near, minus 1 up to 63 bytes.
  const std::int64_t r = 5000000;
  EXPECT_EQ(patchfile_match_cost(2, 64, 6000000, at(r)), 9);
  EXPECT_EQ(patchfile_match_cost(2, 63, 6000000, at(r)), 8);
  EXPECT_EQ(patchfile_match_cost(2, 64, r + 16383, at(r)), 7);
  EXPECT_EQ(patchfile_match_cost(2, 64, 4194303, at(r)), 5);
  EXPECT_EQ(patchfile_match_cost(2, 64, 4194304, at(r)), 9);
  EXPECT_EQ(patchfile_match_cost(2, 63, 100, at(0)), 2);
}

TEST(MatchCost, Mode3PatchFile) {
  // Length part, plus 1 up to R + 126, 2 up to R + 32,894, else w.
  const std::int64_t r = 1000;
  EXPECT_EQ(patchfile_match_cost(3, 32, r + 126, at(r)), 2);
  EXPECT_EQ(patchfile_match_cost(3, 33, r + 126, at(r)), 3);
  EXPECT_EQ(patchfile_match_cost(3, 10, r + 127, at(r)), 3);
  EXPECT_EQ(patchfile_match_cost(3, 10, r + 32894, at(r)), 3);
  EXPECT_EQ(patchfile_match_cost(3, 10, r + 32895, at(r, 65535)), 4);
  EXPECT_EQ(patchfile_match_cost(3, 10, r - 1, at(r, 65535)), 4);
  EXPECT_EQ(patchfile_match_cost(3, 10, r - 1, at(r, 65536)), 5);
  EXPECT_EQ(patchfile_match_cost(3, 33, r - 1, at(r, 16777216)), 7);
}

TEST(MatchCost, Mode4PatchFile) {
  // 7, minus 2 near, minus 2 up to 63 bytes.
  const std::int64_t r = 5000000;
  EXPECT_EQ(patchfile_match_cost(4, 64, 6000000, at(r)), 7);
  EXPECT_EQ(patchfile_match_cost(4, 63, 6000000, at(r)), 5);
  EXPECT_EQ(patchfile_match_cost(4, 64, r - 16384, at(r)), 5);
  EXPECT_EQ(patchfile_match_cost(4, 63, r + 16383, at(r)), 3);
  EXPECT_EQ(patchfile_match_cost(4, 63, r + 16384, at(r)), 5);
  // The replace position does not enter the patch file estimate.
  EXPECT_EQ(patchfile_match_cost(4, 63, 6000000, at(r, 1000000, 6000000)), 5);
}

// The match search passes over whole stretches of a chain on the strength of
// these two lists: a cost may change with the length only right after a
// listed tier end, and with the position only at a listed price change,
// by the same amount for every length.
int cost_in(bool patchFile, int mode, std::int64_t length, std::int64_t q, const CostContext& context) {
  return patchFile ? patchfile_match_cost(mode, length, q, context) : oldfile_match_cost(mode, length, q, context);
}

TEST(MatchCost, ALengthPartChangesOnlyAfterATierEnd) {
  for (const bool patchFile : {false, true}) {
    for (int mode = 1; mode <= 4; ++mode) {
      for (const std::int64_t running : {0, 70000, 20000000}) {
        const CostContext context = at(running, 30000000, running + 5);
        for (const std::int64_t q : {running, running + 5, running + 300, std::int64_t{5000000}}) {
          for (std::int64_t length = 3; length < 70000; ++length) {
            if (cost_in(patchFile, mode, length + 1, q, context) == cost_in(patchFile, mode, length, q, context))
              continue;
            EXPECT_TRUE(std::count(kLengthTierEnds.begin(), kLengthTierEnds.end(), length))
                << "MODE " << mode << (patchFile ? " patch" : " old") << " length " << length;
          }
        }
      }
    }
  }
}

TEST(MatchCost, APositionPartChangesOnlyAtAPriceChangeAndAddsToTheLengthPart) {
  for (const bool patchFile : {false, true}) {
    for (int mode = 1; mode <= 4; ++mode) {
      for (const std::int64_t running : {100, 70000, 8400000}) {
        const CostContext context = at(running, 30000000, running + 777);
        const auto changes = price_change_positions(context);
        std::vector<std::int64_t> probed;
        for (std::int64_t q = running - 20000; q < running + 60000; ++q) probed.push_back(q);
        for (const std::int64_t around : {4194304, 8388607, 16777216})
          for (std::int64_t q = around - 3; q <= around + 3; ++q) probed.push_back(q);
        for (const std::int64_t q : probed) {
          for (const std::int64_t length : {3, 40, 100, 70000}) {
            const int lengthPart = cost_in(patchFile, mode, length, running, context) -
                                   cost_in(patchFile, mode, 3, running, context);
            EXPECT_EQ(cost_in(patchFile, mode, length, q, context) - cost_in(patchFile, mode, 3, q, context),
                      lengthPart)
                << "MODE " << mode << (patchFile ? " patch" : " old") << " q " << q << " length " << length;
            if (cost_in(patchFile, mode, length, q, context) == cost_in(patchFile, mode, length, q - 1, context))
              continue;
            EXPECT_TRUE(std::count(changes.begin(), changes.end(), q))
                << "MODE " << mode << (patchFile ? " patch" : " old") << " q " << q << " running " << running;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace vd
