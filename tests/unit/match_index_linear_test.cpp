#include "maker/match_index.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/faithful_walk.h"
#include "support/maker_harness.h"
#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;
using test::bytes_of;
using test::Indexed;

// ---- find_match_linear -----------------------------------------------------

// An oldfile of bytes 0 to 127 and a newfile of bytes 128 to 255 agree
// nowhere, except where a test copies bytes over.
struct Disjoint {
  Bytes old, neu;
  Disjoint(std::size_t oldSize, std::size_t newSize, std::uint64_t seed) {
    test::Rng rng(seed);
    old = rng.bytes(oldSize, 0, 127);
    neu = rng.bytes(newSize, 128, 255);
  }
  void copy(std::size_t from, std::size_t length, std::size_t to) {
    std::copy_n(old.begin() + static_cast<long>(from), length, neu.begin() + static_cast<long>(to));
  }
};

TEST(FindMatchLinear, WindowFollowsTheRunningPosition) {
  Disjoint files(10000, 10000, 21);
  files.copy(9000, 100, 9000);
  {
    Indexed indexed(files.old, files.neu);
    indexed.index.state.running = 0;  // window 0 to 8,223
    EXPECT_FALSE(indexed.index.find_match_linear(9000).has_value());
  }
  {
    Indexed indexed(files.old, files.neu);
    indexed.index.state.running = 976;  // window 776 to 8,999
    EXPECT_FALSE(indexed.index.find_match_linear(9000).has_value());
  }
  {
    Indexed indexed(files.old, files.neu);
    indexed.index.state.running = 1000;  // window 800 to 9,023
    const auto match = indexed.index.find_match_linear(9000);
    ASSERT_TRUE(match.has_value());
    EXPECT_EQ(match->position, 9000);
    EXPECT_EQ(match->length, 100);
    EXPECT_EQ(match->penalty, 0);
    EXPECT_EQ(match->cost, 2 + 2);
  }
}

TEST(FindMatchLinear, WindowEndsMinBlockBeforeTheEndOfTheOldfile) {
  Disjoint files(100, 100, 22);
  files.copy(96, 4, 96);
  {
    Indexed indexed(files.old, files.neu, {}, 4);  // window 0 to 95
    EXPECT_FALSE(indexed.index.find_match_linear(96).has_value());
  }
  {
    Indexed indexed(files.old, files.neu, {}, 3);  // window 0 to 96
    const auto match = indexed.index.find_match_linear(96);
    ASSERT_TRUE(match.has_value());
    EXPECT_EQ(match->position, 96);
    EXPECT_EQ(match->length, 4);
  }
}

TEST(FindMatchLinear, DistancePenaltyDecidesBetweenEqualRuns) {
  Disjoint files(1000, 1000, 23);
  std::copy_n(files.old.begin() + 100, 20, files.old.begin() + 500);
  files.copy(100, 20, 500);
  Indexed indexed(files.old, files.neu);
  // q = 100 scores 20 - 2 - 8; q = 500 scores 20 - 3 - 0.
  const auto match = indexed.index.find_match_linear(500);
  ASSERT_TRUE(match.has_value());
  EXPECT_EQ(match->position, 500);
  EXPECT_EQ(match->penalty, 0);
  EXPECT_EQ(match->cost, 3);
}

TEST(FindMatchLinear, PenaltyRaisesTheLengthNeeded) {
  // Same sizes: q maps to itself; 150 bytes apart is a penalty of 3.
  Disjoint files(1000, 1000, 24);
  files.copy(300, 5, 450);
  files.copy(600, 6, 750);
  Indexed indexed(files.old, files.neu);
  indexed.index.state.running = 300;
  EXPECT_FALSE(indexed.index.find_match_linear(450).has_value());  // 5 < 3 + 3
  const auto match = indexed.index.find_match_linear(750);        // 6 >= 3 + 3
  ASSERT_TRUE(match.has_value());
  EXPECT_EQ(match->position, 600);
  EXPECT_EQ(match->penalty, 3);
}

TEST(FindMatchLinear, LargerOldfileMapsPositionsDown) {
  // f = 200,000 / 10,000 = 20; q' = (q / 20) * 10.
  Disjoint files(20000, 10000, 25);
  files.copy(8019, 4, 4050);  // q' = 4,000: 50 away, penalty 1
  files.copy(9000, 10, 4500);  // q' = 4,500: penalty 0
  Indexed indexed(files.old, files.neu);
  indexed.index.state.running = 7900;
  auto match = indexed.index.find_match_linear(4050);
  ASSERT_TRUE(match.has_value());
  EXPECT_EQ(match->position, 8019);
  EXPECT_EQ(match->penalty, 1);
  match = indexed.index.find_match_linear(4500);
  ASSERT_TRUE(match.has_value());
  EXPECT_EQ(match->position, 9000);
  EXPECT_EQ(match->penalty, 0);
}

TEST(FindMatchLinear, SmallerOldfileMapsPositionsUp) {
  // f = 250,000 / 10,000 = 25; q' = (25 q) / 10.
  Disjoint files(10000, 25000, 26);
  files.copy(3001, 8, 7600);  // q' = 7,502: 98 away, penalty 1
  files.copy(3400, 8, 8400);  // q' = 8,500: 100 away, penalty 2
  Indexed indexed(files.old, files.neu);
  indexed.index.state.running = 2900;
  auto match = indexed.index.find_match_linear(7600);
  ASSERT_TRUE(match.has_value());
  EXPECT_EQ(match->position, 3001);
  EXPECT_EQ(match->penalty, 1);
  match = indexed.index.find_match_linear(8400);
  ASSERT_TRUE(match.has_value());
  EXPECT_EQ(match->position, 3400);
  EXPECT_EQ(match->penalty, 2);
}

TEST(FindMatchLinear, ScanStopsAtTheFirstCandidateOfFullLength) {
  // Period 100: at newfile position 100 both q = 0 and q = 100 run for the
  // full 8,224 bytes; q = 100 would score 2 more, but q = 0 ends the scan.
  Bytes old(20000);
  const Bytes period = test::Rng(27).bytes(100);
  for (std::size_t i = 0; i < old.size(); ++i) old[i] = period[i % 100];
  Indexed indexed(old, old);
  const auto match = indexed.index.find_match_linear(100);
  ASSERT_TRUE(match.has_value());
  EXPECT_EQ(match->position, 0);
  EXPECT_EQ(match->length, 8224);
}

TEST(FindMatchLinear, MemoAndEndOfFile) {
  Disjoint files(1000, 1000, 28);
  files.copy(100, 30, 100);
  Indexed indexed(files.old, files.neu);
  const auto first = indexed.index.find_match_linear(100);
  ASSERT_TRUE(first.has_value());
  indexed.index.state.running = 900;  // the window no longer holds q = 100
  const auto again = indexed.index.find_match_linear(100);
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(again->position, 100);
  EXPECT_EQ(again->length, 30);
  EXPECT_FALSE(indexed.index.find_match_linear(1000).has_value());
  EXPECT_FALSE(indexed.index.find_match_linear(1001).has_value());
  indexed.index.reset_match_memo();
  EXPECT_FALSE(indexed.index.find_match_linear(100).has_value());
}

TEST(FindMatchLinear, NoAgreeingBytesGiveNoMatchEvenWithMinBlock0) {
  Disjoint files(500, 500, 29);
  Indexed indexed(files.old, files.neu, {}, 0);
  for (std::int64_t p = 0; p < 500; p += 7) EXPECT_FALSE(indexed.index.find_match_linear(p).has_value());
}

TEST(FindMatchLinear, EmptyOldfileFindsNothing) {
  Indexed indexed(Bytes{}, bytes_of("abcdef"), {}, 0);
  EXPECT_FALSE(indexed.index.find_match_linear(0).has_value());
}

}  // namespace
}  // namespace vd
