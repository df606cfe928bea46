#include "maker/suffix_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "maker/match_index.h"
#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;

// A file with its suffix array, as the match index builds it.
struct SortedFile {
  Bytes data;
  FileLists lists;

  explicit SortedFile(Bytes bytes) : data(std::move(bytes)) {
    EXPECT_TRUE(lists.allocate(&std::calloc, static_cast<std::int64_t>(data.size()), 3));
    lists.build(data.data(), static_cast<std::int64_t>(data.size()), 0);
    lists.sort_suffixes(data.data(), static_cast<std::int64_t>(data.size()));
  }
  std::int64_t size() const { return static_cast<std::int64_t>(data.size()); }
  // How many bytes from position q agree with the target, at most `limit`.
  std::int64_t agreement(std::int64_t q, const Bytes& target, std::int64_t limit) const {
    std::int64_t n = 0;
    while (n < limit && q + n < size() && data[q + n] == target[n]) ++n;
    return n;
  }
};

TEST(SuffixSearch, TheSuffixArraySortsEveryPosition) {
  test::Rng rng(41);
  const SortedFile file(rng.bytes(3000, 'a', 'c'));
  const std::int32_t* suffixes = file.lists.suffixes();
  ASSERT_NE(suffixes, nullptr);
  std::vector<bool> seen(file.data.size());
  for (std::int64_t i = 0; i < file.size(); ++i) {
    seen[suffixes[i]] = true;
    if (i > 0) {
      ASSERT_TRUE(std::lexicographical_compare(file.data.begin() + suffixes[i - 1], file.data.end(),
                                               file.data.begin() + suffixes[i], file.data.end()));
    }
  }
  EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](bool b) { return b; }));
}

// Each key's range holds exactly the suffixes that start with it, whatever
// the few suffixes too short for a key at the end of the file are.
TEST(SuffixSearch, AKeysRangeHoldsExactlyTheSuffixesStartingWithIt) {
  test::Rng rng(43);
  for (const std::size_t size : {2000u, 2001u, 2002u}) {
    const SortedFile file(rng.bytes(size, 'a', 'd'));
    const std::int32_t* suffixes = file.lists.suffixes();
    for (std::int64_t q = 0; q + 3 <= file.size(); ++q) {
      const std::uint8_t* key = file.data.data() + q;
      const auto [begin, end] = file.lists.suffix_range(file.lists.chain(key_at(key, 3)), key, file.data.data(), file.size());
      const auto starts_with_key = [&](std::int64_t index) {
        return index >= 0 && index < file.size() && file.agreement(suffixes[index], Bytes(key, key + 3), 3) == 3;
      };
      ASSERT_TRUE(!starts_with_key(begin - 1) && !starts_with_key(end)) << "key at " << q;
      for (std::int64_t i = begin; i < end; ++i) ASSERT_TRUE(starts_with_key(i)) << "key at " << q;
    }
  }
}

TEST(SuffixSearch, SuffixesAreSortedOnlyWhenAskedAndFromTheFirstIndexedPosition) {
  Bytes data(100, 'x');
  FileLists lists;
  ASSERT_TRUE(lists.allocate(&std::calloc, 100 - 12, 3));
  lists.build(data.data(), 100, 12);
  EXPECT_EQ(lists.suffixes(), nullptr);
  lists.sort_suffixes(data.data(), 100);
  ASSERT_NE(lists.suffixes(), nullptr);
  EXPECT_EQ(lists.suffixes_from(), 12);
  // A run sorts from its end: the shortest suffix first.
  EXPECT_EQ(lists.suffixes()[0], 100 - 12 - 1);
  lists.build(data.data(), 100, 12);
  EXPECT_EQ(lists.suffixes(), nullptr);
}

// Targets taken from the file (some running into its end), changed here and
// there, and cut to lengths short and long, against a count by hand.
TEST(SuffixSearch, LongestMatchAndAgreeingPositionsAgreeWithACount) {
  test::Rng rng(43);
  const SortedFile file(rng.bytes(4000, 'a', 'd'));
  SuffixSearch::Buffers buffers;
  for (int round = 0; round < 300; ++round) {
    const auto from = static_cast<std::int64_t>(rng.below(file.data.size()));
    Bytes target(file.data.begin() + from, file.data.end());
    target.resize(40 + rng.below(40), 'a');
    if (round % 3 == 0) target[rng.below(target.size())] = 'e';
    const auto targetLength = static_cast<std::int64_t>(1 + rng.below(target.size()));
    SuffixSearch search(file.data.data(), file.size(), file.lists.suffixes(), target.data(), targetLength, buffers);

    std::int64_t longest = 0;
    for (std::int64_t q = 0; q < file.size(); ++q) longest = std::max(longest, file.agreement(q, target, targetLength));
    ASSERT_EQ(search.longest_match(), longest) << "round " << round;

    for (const std::int64_t length : {3, 5, 8, 12}) {
      const std::int64_t most = 1 + static_cast<std::int64_t>(rng.below(60));
      const auto low = static_cast<std::int64_t>(rng.below(file.data.size()));
      const std::int64_t high = low + static_cast<std::int64_t>(rng.below(file.data.size()));
      const auto positions = search.positions_agreeing(length, most, low, high);
      std::int64_t agreeing = 0;
      for (std::int64_t q = 0; q < file.size(); ++q) {
        if (file.agreement(q, target, std::min(length, targetLength)) < std::min(length, targetLength)) continue;
        ++agreeing;
        if (positions && q >= low && q <= high) {
          ASSERT_TRUE(std::binary_search(positions->begin(), positions->end(), static_cast<std::uint32_t>(q)))
              << "round " << round << " length " << length << " q " << q;
        }
      }
      if (!positions) {
        ASSERT_GT(agreeing, most) << "round " << round << " length " << length;
        continue;
      }
      ASSERT_TRUE(std::is_sorted(positions->begin(), positions->end()));
      for (const std::uint32_t q : *positions) {
        ASSERT_GE(q, low);
        ASSERT_LE(q, high);
      }
    }
  }
}

// A place remembered from a search of the same bytes (for another length,
// as another MODE searches), of other bytes, or out of range: the search
// ends as a fresh one does, and remembers the true place.
TEST(SuffixSearch, ARememberedPlaceNeverChangesTheResult) {
  test::Rng rng(47);
  const SortedFile file(rng.bytes(3000, 'a', 'c'));
  SuffixSearch::Buffers buffers;
  SuffixSearch::Buffers freshBuffers;
  for (int round = 0; round < 400; ++round) {
    const auto from = static_cast<std::int64_t>(rng.below(file.data.size()));
    Bytes target(file.data.begin() + from, file.data.end());
    target.resize(30, 'b');
    const auto length = static_cast<std::int64_t>(1 + rng.below(target.size()));
    const auto search = [&](std::int64_t targetLength, std::uint32_t* place, SuffixSearch::Buffers& with) {
      SuffixSearch s(file.data.data(), file.size(), file.lists.suffixes(), target.data(), targetLength, with);
      if (place != nullptr) s.remember_place_in(place);
      const auto agreeing = s.most_agreeing(16);
      return std::pair{s.longest_match(), std::vector(agreeing.begin(), agreeing.end())};
    };
    std::uint32_t truePlace = 0;
    search(length, &truePlace, freshBuffers);
    const std::uint32_t remembered[] = {
        static_cast<std::uint32_t>(1 + rng.below(file.data.size() + 1)),
        static_cast<std::uint32_t>(file.data.size() + 2 + rng.below(5)),
        truePlace,
    };
    for (const std::int64_t targetLength : {length, static_cast<std::int64_t>(1 + rng.below(target.size()))}) {
      const auto fresh = search(targetLength, nullptr, freshBuffers);
      std::uint32_t placeForLength = 0;
      search(targetLength, &placeForLength, freshBuffers);
      for (std::uint32_t place : remembered) {
        ASSERT_EQ(search(targetLength, &place, buffers), fresh) << "round " << round;
        ASSERT_EQ(place, placeForLength) << "round " << round;
      }
    }
  }
}

// Positions visited in the order of their agreement: the first one inside a
// range is its most agreeing position; none is found only when `most`
// positions outside the range agree at least as much.
TEST(SuffixSearch, LongestMatchWithinARangeAgreesWithACount) {
  test::Rng rng(53);
  const SortedFile file(rng.bytes(5000, 'a', 'c'));
  SuffixSearch::Buffers buffers;
  for (int round = 0; round < 200; ++round) {
    const auto from = static_cast<std::int64_t>(rng.below(file.data.size()));
    Bytes target(file.data.begin() + from, file.data.end());
    target.resize(60, 'a');
    SuffixSearch search(file.data.data(), file.size(), file.lists.suffixes(), target.data(), 60, buffers);
    for (int range = 0; range < 5; ++range) {
      const auto low = static_cast<std::int64_t>(rng.below(file.data.size()));
      const std::int64_t high = low + static_cast<std::int64_t>(rng.below(range == 0 ? 50 : 2000));
      const std::size_t most = 1 + rng.below(40);
      std::int64_t inside = 0;
      for (std::int64_t q = low; q <= std::min(high, file.size() - 1); ++q)
        inside = std::max(inside, file.agreement(q, target, 60));
      const auto found = search.longest_match_within(low, high, most);
      if (found) {
        ASSERT_EQ(*found, inside) << "round " << round << " range " << low << "-" << high;
        continue;
      }
      std::size_t atLeastAsGood = 0;
      for (std::int64_t q = 0; q < file.size(); ++q)
        if ((q < low || q > high) && file.agreement(q, target, 60) >= inside) ++atLeastAsGood;
      ASSERT_TRUE(inside < 3 || atLeastAsGood >= most) << "round " << round << " range " << low << "-" << high;
    }
  }
}

}  // namespace
}  // namespace vd
