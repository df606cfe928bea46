// The record of the exact-price encoder's searches: what one pass found at
// a position of either file is what the next pass reads there, matches
// behind the newfile position and far from it included; results a MODE's
// block limit may have cut are left out.
#include "maker/longest_record.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "core/block_forms.h"

namespace vd {
namespace {

using Found = LongestRecord::Found;

// Up to three matches below, near and far above position p.
std::vector<Found> found_at(std::int64_t p, int source, int pass) {
  std::vector<Found> found;
  const int count = static_cast<int>((p + source + pass) % 4);
  for (int i = 0; i < count; ++i) {
    const std::int64_t position = i == 0 ? p / 2 : i == 1 ? p + 3 : p * 977 + 3000000000;
    found.emplace_back(static_cast<std::uint32_t>(position), 3 + (p * (i + 1) + pass) % 8000);
  }
  return found;
}

// Records every position but each seventh in both files, and checks that
// each one the previous pass recorded reads back as it was.
int run_pass(LongestRecord& record, int pass) {
  record.start_pass();
  int read = 0;
  for (std::int64_t p = 0; p < 50000; ++p) {
    for (int source = 0; source < 2; ++source) {
      if (const auto recorded = record.find(p, source)) {
        const std::vector<Found> expected = found_at(p, source, pass - 1);
        EXPECT_TRUE(p % 7 != 0 && std::equal(recorded->begin(), recorded->end(), expected.begin(), expected.end()))
            << "pass " << pass << " at " << p << " in " << source;
        ++read;
      }
      if (p % 7 != 0) record.add(p, source, found_at(p, source, pass));
    }
  }
  return read;
}

TEST(LongestRecord, EachPassReadsWhatThePassBeforeFound) {
  LongestRecord record(&std::calloc);
  record.restart(std::size_t{1} << 30);
  EXPECT_EQ(run_pass(record, 1), 0);
  EXPECT_EQ(run_pass(record, 2), 2 * (50000 - 50000 / 7 - 1));
  EXPECT_GT(run_pass(record, 3), 0);
  record.restart(std::size_t{1} << 30);
  EXPECT_EQ(run_pass(record, 4), 0);
}

TEST(LongestRecord, LeavesOutMatchesAsLongAsTheShortestBlockLimit) {
  LongestRecord record(&std::calloc);
  record.restart(std::size_t{1} << 20);
  const std::int64_t shortestLimit = block_length_limit(3);
  ASSERT_LT(shortestLimit, block_length_limit(2));
  const std::vector<Found> cut{{10, shortestLimit}};
  const std::vector<Found> whole{{10, shortestLimit - 1}};
  record.start_pass();
  record.add(5, 0, cut);
  record.add(6, 0, whole);
  record.start_pass();
  EXPECT_FALSE(record.find(5, 0));
  const auto recorded = record.find(6, 0);
  ASSERT_TRUE(recorded);
  EXPECT_TRUE(std::equal(recorded->begin(), recorded->end(), whole.begin(), whole.end()));
}

TEST(LongestRecord, ARecordWithoutMemoryKeepsNothing) {
  LongestRecord record(&std::calloc);
  record.restart(0);
  EXPECT_EQ(run_pass(record, 1), 0);
  EXPECT_EQ(run_pass(record, 2), 0);
}

}  // namespace
}  // namespace vd
