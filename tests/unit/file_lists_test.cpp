#include "maker/file_lists.h"

#include <gtest/gtest.h>

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

TEST(FileLists, ChainsHoldEveryPositionOfTheirKeyInOrderAtEveryLevel) {
  test::Rng rng(7);
  // Few byte values make long chains; the byte 255 keeps keys at the top of
  // the table, next to the last presence word.
  Bytes first = rng.bytes(20000, 250, 255);
  Bytes second = rng.bytes(5000, 0, 255);
  for (int keyLength = 3; keyLength >= 1; --keyLength) {
    FileLists lists;
    ASSERT_TRUE(lists.allocate(&std::calloc, static_cast<std::int64_t>(first.size()), keyLength));
    ASSERT_EQ(lists.key_length(), keyLength);
    lists.build(first.data(), static_cast<std::int64_t>(first.size()), 0);
    expect_chains_by_hand(lists, first, 0);
    lists.build(second.data(), static_cast<std::int64_t>(second.size()), 12);
    expect_chains_by_hand(lists, second, 12);
  }
}

}  // namespace
}  // namespace vd
