// The record of one pass's searches for the next, in little memory: chunks
// the next pass has read go to the pass that records, and what does not fit
// is left out, never mixed up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "maker/search_record.h"

namespace vd {
namespace {

constexpr std::uint32_t kPositions = 60000;

// Entries whose numbers take from one to five bytes each, and stretches of
// one running and replace position as data scans leave them.
SearchRecord::Entry entry_at(std::uint32_t p, std::uint32_t pass) {
  SearchRecord::Entry entry{.p = p,
                            .running = p / 7 * (pass + 1),
                            .replacePosition = (p / 11) << (p % 29),
                            .place = p * 2654435761u};
  if (p % 3 != 0)
    entry.set_result(
        MatchCandidate{.length = (p * 40503u) % 0xFFFFFF + 1, .position = p * pass, .cost = static_cast<int>(p % 256)});
  return entry;
}

bool same(const SearchRecord::Entry& a, const SearchRecord::Entry& b) {
  return a.p == b.p && a.running == b.running && a.replacePosition == b.replacePosition && a.place == b.place &&
         a.position == b.position && a.lengthAndCost == b.lengthAndCost;
}

// One pass as the searches make it: at each position the previous pass's
// entry, if any, must be what that pass recorded there; every position but
// each fifth is recorded. Returns the positions found.
std::vector<std::uint32_t> run_pass(SearchRecord& record, std::uint32_t pass) {
  record.start_pass(1, 3);
  std::vector<std::uint32_t> found;
  for (std::uint32_t p = 0; p < kPositions; ++p) {
    if (const SearchRecord::Entry* entry = record.find(p)) {
      EXPECT_TRUE(p % 5 != 0 && same(*entry, entry_at(p, pass - 1))) << "pass " << pass << " at " << p;
      found.push_back(p);
    }
    if (p % 5 != 0) record.add(entry_at(p, pass));
  }
  return found;
}

// Whether `found` holds every recorded position from `first` to `last`.
bool holds_run(const std::vector<std::uint32_t>& found, std::uint32_t first, std::uint32_t last) {
  std::vector<std::uint32_t> run;
  for (std::uint32_t p = first; p <= last; ++p)
    if (p % 5 != 0) run.push_back(p);
  return found == run;
}

TEST(SearchRecord, EachPassFindsWhatThePassBeforeRecorded) {
  SearchRecord record(&std::calloc);
  record.restart(std::size_t{1} << 30);
  EXPECT_TRUE(run_pass(record, 1).empty());
  EXPECT_TRUE(holds_run(run_pass(record, 2), 1, kPositions - 1));
  record.restart(std::size_t{1} << 30);
  EXPECT_TRUE(run_pass(record, 3).empty());
}

// Room for two chunks, fewer than a pass needs: the first pass keeps the
// entries up to some position. The second can record only in the chunks it
// has read, so the third finds entries from some position on, each as the
// second recorded it.
TEST(SearchRecord, PassesShareTheirChunksAndLeaveOutWhatDoesNotFit) {
  SearchRecord record(&std::calloc);
  record.restart(2 * 65536);
  EXPECT_TRUE(run_pass(record, 1).empty());
  const auto second = run_pass(record, 2);
  ASSERT_FALSE(second.empty());
  EXPECT_TRUE(holds_run(second, 1, second.back()));
  EXPECT_LT(second.back(), kPositions - 100);
  const auto third = run_pass(record, 3);
  ASSERT_FALSE(third.empty());
  EXPECT_GT(third.front(), 100u);
}

void* refuse(std::size_t, std::size_t) { return nullptr; }

// Memory lent for the record (the scratch of an unsorted suffix array) holds
// entries as allocated memory does, and once the record restarts without it
// (the suffixes are being sorted there) it is never written again.
TEST(SearchRecord, LentMemoryServesUntilTheRecordRestartsWithoutIt) {
  SearchRecord record(&refuse);
  std::vector<std::uint8_t> lent(2 * 65536 + 100);
  record.restart(0, lent);
  EXPECT_TRUE(run_pass(record, 1).empty());
  const auto second = run_pass(record, 2);
  ASSERT_FALSE(second.empty());
  EXPECT_TRUE(holds_run(second, 1, second.back()));
  record.restart(0, lent);
  record.restart(0);
  std::fill(lent.begin(), lent.end(), 0xAB);
  EXPECT_TRUE(run_pass(record, 3).empty());
  EXPECT_TRUE(run_pass(record, 4).empty());
  EXPECT_EQ(std::count(lent.begin(), lent.end(), 0xAB), static_cast<std::ptrdiff_t>(lent.size()));
}

TEST(SearchRecord, ARecordWithoutMemoryKeepsNothing) {
  SearchRecord record(&std::calloc);
  record.restart(65535);
  record.start_pass(2, 3);
  record.add(entry_at(1, 0));
  record.start_pass(2, 3);
  EXPECT_EQ(record.find(1), nullptr);
  EXPECT_TRUE(record.previous_pass_had_mode(2));
}

}  // namespace
}  // namespace vd
