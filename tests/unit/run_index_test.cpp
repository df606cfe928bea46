#include "maker/run_index.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;

// Every run of 3 bytes or more, found by hand: (value, end, length).
struct HandRun {
  std::uint8_t value;
  std::int64_t end;
  std::int64_t length;
};

std::vector<HandRun> runs_by_hand(const Bytes& data) {
  std::vector<HandRun> found;
  for (std::size_t start = 0; start < data.size();) {
    std::size_t end = start;
    while (end < data.size() && data[end] == data[start]) ++end;
    if (end - start >= 3)
      found.push_back({data[start], static_cast<std::int64_t>(end), static_cast<std::int64_t>(end - start)});
    start = end;
  }
  return found;
}

// Runs of every length up to 300, one at the very start and one that ends
// the file: asked for runs of at least n bytes, the index gives all of them,
// in position order, and nothing shorter than the power of two below n.
TEST(RunIndex, GivesEveryRunAtLeastSoLongInPositionOrder) {
  test::Rng rng(71);
  Bytes data(5, 0x00);
  while (data.size() < 60000) {
    data.insert(data.end(), 1 + rng.below(300), static_cast<std::uint8_t>(rng.below(4)));
  }
  data.insert(data.end(), 40, 0x07);
  RunIndex index;
  ASSERT_TRUE(index.build(data.data(), static_cast<std::int64_t>(data.size())));
  const std::vector<HandRun> all = runs_by_hand(data);
  for (const std::uint8_t value : {0x00, 0x01, 0x03, 0x07, 0x09}) {
    for (const std::int64_t length : {2, 3, 4, 7, 8, 9, 40, 64, 100, 255, 256, 257}) {
      std::int64_t power = 1;
      while (power * 2 <= length) power *= 2;
      std::vector<std::pair<std::int64_t, std::int64_t>> expected;
      for (const HandRun& run : all)
        if (run.value == value && run.length >= power) expected.emplace_back(run.end, run.length);
      std::vector<std::pair<std::int64_t, std::int64_t>> actual;
      for (const RunIndex::Run& run : index.runs_at_least(value, length)) actual.emplace_back(run.end, run.length);
      ASSERT_EQ(actual, expected) << "value " << int{value} << " length " << length;
    }
  }
}

TEST(RunIndex, AFileWithoutRunsOrWithoutBytesHasEmptyLists) {
  RunIndex index;
  const Bytes none = test::bytes_of("abcabcaabbc");
  ASSERT_TRUE(index.build(none.data(), static_cast<std::int64_t>(none.size())));
  EXPECT_TRUE(index.runs_at_least('a', 3).empty());
  ASSERT_TRUE(index.build(none.data(), 0));
  EXPECT_TRUE(index.runs_at_least('a', 2).empty());
}

}  // namespace
}  // namespace vd
