#include "maker/file_lists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <vector>

#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;

// Every key's chain against the positions filed under it by hand, for each
// key that occurs and for keys that do not; at each level and after a
// rebuild over other data, which must leave nothing of the first behind.
void expect_chains_by_hand(const FileLists& lists, const Bytes& data, std::int64_t firstIndexed) {
  const int keyLength = lists.key_length();
  std::map<std::uint32_t, std::vector<std::uint32_t>> byHand;
  for (std::int64_t i = firstIndexed; i + keyLength <= static_cast<std::int64_t>(data.size()); ++i)
    byHand[key_at(data.data() + i, keyLength)].push_back(static_cast<std::uint32_t>(i));
  for (const auto& [key, positions] : byHand) {
    const auto chain = lists.chain(key);
    ASSERT_EQ(std::vector<std::uint32_t>(chain.begin(), chain.end()), positions) << "key " << key;
  }
  test::Rng rng(keyLength);
  for (int i = 0; i < 2000; ++i) {
    const auto key = static_cast<std::uint32_t>(rng.below(std::uint64_t{1} << (8 * keyLength)));
    if (byHand.count(key) == 0) {
      ASSERT_TRUE(lists.chain(key).empty()) << "key " << key;
    }
  }
}

// From any starting place, galloping finds what a binary search over the
// whole chain finds: chains of one to 300 positions, with repeats and gaps,
// values below, inside and above them.
TEST(ChainSearch, GallopingFromAnyPlaceFindsTheFirstPositionNotBelow) {
  test::Rng rng(3);
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::uint32_t> chain(1 + rng.below(300));
    std::uint32_t position = static_cast<std::uint32_t>(rng.below(5));
    for (std::uint32_t& p : chain) p = position += static_cast<std::uint32_t>(rng.below(4));
    const auto value = static_cast<std::int64_t>(rng.below(position + 6));
    const auto from = static_cast<std::size_t>(rng.below(chain.size() + 1));
    const auto expected = static_cast<std::size_t>(std::lower_bound(chain.begin(), chain.end(), value) - chain.begin());
    ASSERT_EQ(gallop_from(chain, from, value), expected) << "round " << round << ", from " << from;
  }
}

TEST(FileLists, ChainsHoldEveryPositionOfTheirKeyInOrderAtEveryLevel) {
  test::Rng rng(7);
  // Few byte values make long chains; the byte 255 keeps keys at the top of
  // the table, next to the last presence word.
  Bytes first = rng.bytes(20000, 250, 255);
  Bytes second = rng.bytes(5000, 0, 255);
  // Mostly zeros, with short runs of other bytes: one byte value fills
  // nearly the whole file (its partition is filed by reading the file
  // again), and long runs of one key alternate with others.
  Bytes runs(first.size(), 0x00);
  for (int i = 0; i < 200; ++i) {
    const auto at = static_cast<std::ptrdiff_t>(rng.below(runs.size() - 8));
    std::fill_n(runs.begin() + at, 1 + rng.below(8), static_cast<std::uint8_t>(1 + rng.below(2)));
  }
  for (int keyLength = 3; keyLength >= 1; --keyLength) {
    FileLists lists;
    ASSERT_TRUE(lists.allocate(&std::calloc, static_cast<std::int64_t>(first.size()), keyLength));
    ASSERT_EQ(lists.key_length(), keyLength);
    lists.build(first.data(), static_cast<std::int64_t>(first.size()), 0);
    expect_chains_by_hand(lists, first, 0);
    lists.build(second.data(), static_cast<std::int64_t>(second.size()), 12);
    expect_chains_by_hand(lists, second, 12);
    lists.build(runs.data(), static_cast<std::int64_t>(runs.size()), 0);
    expect_chains_by_hand(lists, runs, 0);
  }
}

}  // namespace
}  // namespace vd
