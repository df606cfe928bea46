#include "maker/byte_compare.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace vd {
namespace {

// Against a byte-by-byte count: every limit up to well past a few 32-byte
// steps, the first difference at every place before it (or none), and the
// two ranges at random alignments, over a run of one value as the walks
// meet it.
TEST(CommonPrefix, AgreesWithAByteByByteCount) {
  test::Rng rng(17);
  std::vector<std::uint8_t> a(200, 0x41), b(200, 0x41);
  for (std::int64_t limit = 0; limit <= 140; ++limit) {
    for (std::int64_t differAt = 0; differAt <= limit; ++differAt) {
      const std::size_t shift = static_cast<std::size_t>(rng.below(8));
      std::uint8_t* x = a.data() + shift;
      std::uint8_t* y = b.data() + (shift + static_cast<std::size_t>(rng.below(8))) % 8;
      if (differAt < limit) y[differAt] = 0x42;
      std::int64_t expected = 0;
      while (expected < limit && x[expected] == y[expected]) ++expected;
      ASSERT_EQ(expected, differAt);
      EXPECT_EQ(common_prefix(x, y, limit), expected) << "limit " << limit << ", differing at " << differAt;
      if (differAt < limit) y[differAt] = 0x41;
    }
  }
}

}  // namespace
}  // namespace vd
