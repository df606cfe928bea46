#include "maker/sampled_oldfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;

// Code with padding between its functions and runs of zeros, some of it
// copied elsewhere: the strings the samplings meet in a binary, and
// positions that agree with a string at many offsets.
Bytes code_like_file(test::Rng& rng) {
  const Bytes padding = rng.bytes(16);
  Bytes data;
  while (data.size() < 40000) {
    const Bytes function = rng.bytes(20 + rng.below(400), 0, 31);
    for (int copy = 0; copy < (rng.below(4) == 0 ? 3 : 1); ++copy) data.insert(data.end(), function.begin(), function.end());
    for (std::uint64_t i = rng.below(6); i > 0; --i) data.insert(data.end(), padding.begin(), padding.end());
    if (rng.below(5) == 0) data.insert(data.end(), rng.below(300), 0);
  }
  return data;
}

std::vector<std::uint32_t> agreeing_by_hand(const Bytes& data, const std::uint8_t* target, std::int64_t length) {
  std::vector<std::uint32_t> found;
  for (std::int64_t q = 0; q + length <= static_cast<std::int64_t>(data.size()); ++q)
    if (std::equal(target, target + length, data.begin() + q)) found.push_back(static_cast<std::uint32_t>(q));
  return found;
}

// The samplings leave out strings of one byte value, and without one to
// look for at some offset they cannot answer: a run of 8 bytes leaves an
// offset of the 8-byte strings without one, a string of one byte value
// every offset of the 4-byte strings.
bool holds_equal_bytes(const std::uint8_t* bytes, std::int64_t run, std::int64_t length) {
  for (std::int64_t at = 0; at + run <= length; ++at)
    if (std::all_of(bytes + at, bytes + at + run, [&](std::uint8_t b) { return b == bytes[at]; })) return true;
  return false;
}

// Asked for the positions that agree with a newfile string for some length,
// the samplings give every one of them whenever they answer at all, and
// answer every string of this file without a run in it, given the work:
// long agreements from the anchors or the 8-byte strings, short ones (from
// 4 bytes) from the 4-byte strings, whose readings then serve long ones too.
TEST(SampledOldfile, GivesEveryPositionThatAgreesWheneverItAnswers) {
  test::Rng rng(211);
  const Bytes old = code_like_file(rng);
  Bytes neu = old;
  for (std::size_t at = rng.below(500); at < neu.size(); at += 1 + rng.below(4000)) neu[at] ^= 0x40;
  SampledOldfile sampled;
  ASSERT_TRUE(sampled.start(old.data(), static_cast<std::int64_t>(old.size()), static_cast<std::int64_t>(neu.size()),
                            INT64_MAX));
  int answered = 0;
  for (int sample = 0; sample < 2000; ++sample) {
    const std::int64_t length = sample % 3 == 2 ? std::int64_t{4} + static_cast<std::int64_t>(rng.below(7))
                                                : std::int64_t{11} + static_cast<std::int64_t>(rng.below(sample % 3 == 0 ? 60 : 600));
    const auto p = sample < 2 ? 0 : static_cast<std::int64_t>(rng.below(neu.size() - static_cast<std::size_t>(length)));
    std::vector<std::uint32_t> out;
    if (!sampled.positions_agreeing(neu, p, length, out)) {
      EXPECT_TRUE(holds_equal_bytes(neu.data() + p, length < 11 ? length : 8, length)) << "at " << p << " for " << length;
      continue;
    }
    ++answered;
    std::sort(out.begin(), out.end());
    for (const std::uint32_t q : agreeing_by_hand(old, neu.data() + p, length))
      ASSERT_TRUE(std::binary_search(out.begin(), out.end(), q)) << q << " at " << p << " for " << length;
  }
  EXPECT_GT(answered, 1500);
}


// The work allowed before the lists starts at 0.4 of the whole and grows
// with the farthest newfile position searched, in this pass or one before:
// AUTO's later passes go back to the start of a newfile the first pass got
// through on the samplings. A new start forgets how far the last one got.
TEST(SampledOldfile, WorkAllowedGrowsWithTheFarthestPositionSearched) {
  test::Rng rng(223);
  const Bytes old = code_like_file(rng);
  const auto oldSize = static_cast<std::int64_t>(old.size());
  constexpr std::int64_t kNewSize = 100000;
  constexpr std::int64_t kAllowed = 10000;
  const std::int64_t anchorsCost = oldSize / AnchorIndex::kStride;
  SampledOldfile sampled;
  ASSERT_TRUE(sampled.start(old.data(), oldSize, kNewSize, kAllowed));
  sampled.spend(kAllowed / 2 - anchorsCost);
  EXPECT_FALSE(sampled.has_work_left(0));
  EXPECT_FALSE(sampled.has_work_left(kNewSize * 4 / 10));
  EXPECT_TRUE(sampled.has_work_left(kNewSize * 6 / 10));
  EXPECT_TRUE(sampled.has_work_left(0));
  sampled.spend(kAllowed);
  EXPECT_FALSE(sampled.has_work_left(kNewSize));

  ASSERT_TRUE(sampled.start(old.data(), oldSize, kNewSize, kAllowed));
  EXPECT_TRUE(sampled.has_work_left(0));
  sampled.spend(kAllowed / 2 - anchorsCost);
  EXPECT_FALSE(sampled.has_work_left(0));
}

}  // namespace
}  // namespace vd
