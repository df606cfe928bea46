#include "maker/gram_filter.h"

#include <gtest/gtest.h>

#include <span>

#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;

constexpr std::int64_t kHeader = 6;

// Every stretch of the file from the first indexed byte on must pass, up to
// its very end (no string may be missed); random strings of the same
// length, in bytes the file also uses, must nearly all be rejected.
TEST(GramFilter, PassesEveryStretchOfTheFileAndRejectsNearlyAllOthers) {
  test::Rng rng(11);
  const Bytes data = rng.bytes(20000, 'a', 'p');
  // Scratch left over: the filter must not rely on zeroed room.
  Bytes room(64 * 1024, 0xff);
  GramFilter filter;
  filter.build(room, data.data(), static_cast<std::int64_t>(data.size()), kHeader);
  const auto size = static_cast<std::int64_t>(data.size());
  for (std::int64_t q = kHeader; q < size; ++q)
    for (const std::int64_t length : {std::int64_t{1}, std::int64_t{8}, std::int64_t{9}, std::int64_t{31}})
      if (q + length <= size) {
        ASSERT_TRUE(filter.may_hold(data.data() + q, length)) << q << " " << length;
      }
  int passed = 0;
  for (int i = 0; i < 2000; ++i) passed += filter.may_hold(rng.bytes(16, 'a', 'p').data(), 16);
  EXPECT_LT(passed, 40);
  // Shorter than one string: nothing to tell by.
  EXPECT_TRUE(filter.may_hold(rng.bytes(7, 'q', 'z').data(), 7));
}

TEST(GramFilter, WithoutRoomOrStringsOrOnceForgottenEveryTestPasses) {
  const Bytes data(100, 'x');
  const Bytes other(20, 'y');
  Bytes room(4096);
  GramFilter filter;
  filter.build(std::span(room).first(8), data.data(), 100, kHeader);
  EXPECT_TRUE(filter.may_hold(other.data(), 20));
  filter.build(room, data.data(), kHeader + 7, kHeader);
  EXPECT_TRUE(filter.may_hold(other.data(), 20));
  filter.build(room, data.data(), 100, kHeader);
  EXPECT_FALSE(filter.may_hold(other.data(), 20));
  filter.forget();
  EXPECT_TRUE(filter.may_hold(other.data(), 20));
}

}  // namespace
}  // namespace vd
