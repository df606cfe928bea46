#include "core/block_forms.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;

// A block header written out by hand: its MODE, the length it holds, its
// kind and its bytes.
struct HeaderCase {
  int mode;
  std::int64_t length;
  BlockKind kind;
  Bytes bytes;
};

TEST(BlockForms, HeadersTakeTheBytesOfTheirTier) {
  const std::vector<HeaderCase> cases = {
      {1, 1, BlockKind::Match, {0x81}},
      {1, 127, BlockKind::PlainData, {0x7F}},
      {1, 128, BlockKind::Match, {0x80, 0x00, 0x01}},
      {1, 65662, BlockKind::PlainData, {0x00, 0xFF, 0xFF}},
      {1, 65663, BlockKind::Match, {0x80, 0x00, 0x00, 0x01, 0x00, 0x7F}},
      {1, 16777215, BlockKind::PlainData, {0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF}},
      {2, 1, BlockKind::Match, {0x81}},
      {2, 63, BlockKind::PlainData, {0x3F}},
      {2, 64, BlockKind::Match, {0xC0, 0x40}},
      {2, 16383, BlockKind::PlainData, {0x7F, 0xFF}},
      {3, 1, BlockKind::Match, {0xC0}},
      {3, 2, BlockKind::InsertData, {0x01}},
      {3, 32, BlockKind::ReplaceData, {0x5F}},
      {3, 33, BlockKind::PlainData, {0xA0, 0x00}},
      {3, 8224, BlockKind::Match, {0xFF, 0xFF}},
      {4, 1, BlockKind::InsertData, {0x01}},
      {4, 63, BlockKind::Match, {0xFF}},
      {4, 64, BlockKind::PlainData, {0x80, 0x00, 0x01}},
      {4, 65598, BlockKind::Match, {0xC0, 0xFF, 0xFF}},
      {4, 65599, BlockKind::ReplaceData, {0x40, 0x00, 0x00, 0x01, 0x00, 0x3F}},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "MODE " << c.mode << " length " << c.length);
    EXPECT_EQ(header_size(c.mode, c.length), static_cast<int>(c.bytes.size()));
    if (has_data_kinds(c.mode)) {
      EXPECT_EQ(kind_of_header(c.bytes[0]), c.kind);
    } else {
      EXPECT_EQ((c.bytes[0] & kMatchFlag) != 0, c.kind == BlockKind::Match);
    }
    if (c.kind != BlockKind::Match) {
      EXPECT_EQ(data_block_size(c.mode, c.length), static_cast<std::int64_t>(c.bytes.size()) + c.length);
    }
  }
  EXPECT_EQ(block_length_limit(1), 16777215);
  EXPECT_EQ(block_length_limit(2), 16383);
  EXPECT_EQ(block_length_limit(3), 8224);
  EXPECT_EQ(block_length_limit(4), 16777215);
}

// A match position written out by hand: q after running position r.
struct PositionCase {
  int mode;
  std::int64_t q;
  std::int64_t r;
  int farWidth;
  PositionForm form;
  Bytes bytes;
};

TEST(BlockForms, EachPositionTakesTheShortestFormThatHoldsIt) {
  constexpr std::int64_t r = 100000;
  using F = PositionForm;
  const std::vector<PositionCase> cases = {
      {1, r, r, 0, F::NearByte, {0x00}},
      {1, r + 252, r, 0, F::NearByte, {0xFC}},
      {1, r + 253, r, 0, F::NearWord, {0xFD, 0x40, 0xFD}},
      {1, r - 1, r, 0, F::NearWord, {0xFD, 0x3F, 0xFF}},
      {1, r - 16384, r, 0, F::NearWord, {0xFD, 0x00, 0x00}},
      {1, r + 49150, r, 0, F::NearWord, {0xFD, 0xFF, 0xFE}},
      // The u16 would reach R + 49,151, but that position is written far.
      {1, r + 49151, r, 0, F::Far, {0xFE, 0x02, 0x46, 0x9F}},
      {1, r - 16385, r, 0, F::Far, {0xFE, 0x01, 0x46, 0x9F}},
      {1, 16777215, 0, 0, F::Far, {0xFE, 0xFF, 0xFF, 0xFF}},
      {1, 16777216, 0, 0, F::FarEscaped, {0xFF, 0x01, 0x00, 0x00, 0x00}},
      {4, r + 252, r, 0, F::NearByte, {0xFC}},
      {4, r + 253, r, 0, F::NearWord, {0xFD, 0x40, 0xFD}},
      {4, r - 16385, r, 0, F::Far, {0xFE, 0x01, 0x46, 0x9F}},
      {4, 0x7FFFFFFF, 0, 0, F::FarEscaped, {0xFF, 0x7F, 0xFF, 0xFF, 0xFF}},
      {2, r, r, 0, F::NearWord, {0x40, 0x00}},
      {2, r - 16384, r, 0, F::NearWord, {0x00, 0x00}},
      {2, r + 16383, r, 0, F::NearWord, {0x7F, 0xFF}},
      {2, r + 16384, r, 0, F::Far, {0x81, 0xC6, 0xA0}},
      {2, r - 16385, r, 0, F::Far, {0x81, 0x46, 0x9F}},
      {2, 8388606, 0, 0, F::Far, {0xFF, 0xFF, 0xFE}},
      // Its 3-byte form would be the escape itself.
      {2, 8388607, 0, 0, F::FarEscaped, {0xFF, 0xFF, 0xFF, 0x00, 0x7F, 0xFF, 0xFF}},
      {3, r, r, 2, F::NearByte, {0x00}},
      {3, r + 126, r, 2, F::NearByte, {0x7E}},
      {3, r + 127, r, 2, F::NearWord, {0x80, 0x00}},
      {3, r + 32894, r, 2, F::NearWord, {0xFF, 0xFF}},
      {3, 1000 + 32895, 1000, 2, F::Far, {0x7F, 0x84, 0x67}},
      {3, r - 1, r, 3, F::Far, {0x7F, 0x01, 0x86, 0x9F}},
      {3, 5, r, 4, F::Far, {0x7F, 0x00, 0x00, 0x00, 0x05}},
  };
  for (const PositionCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "MODE " << c.mode << " q " << c.q << " R " << c.r);
    EXPECT_EQ(position_form(c.mode, c.q, c.r), c.form);
    EXPECT_EQ(position_size(c.mode, c.form, c.farWidth), static_cast<int>(c.bytes.size()));
  }
}

TEST(BlockForms, FarWidthIsTheFewestBytesBelowTheBound) {
  EXPECT_EQ(far_width_for(0), 2);
  EXPECT_EQ(far_width_for(65535), 2);
  EXPECT_EQ(far_width_for(65536), 3);
  EXPECT_EQ(far_width_for(16777215), 3);
  EXPECT_EQ(far_width_for(16777216), 4);
  EXPECT_EQ(far_width_for(0x7FFFFFFF), 4);
}

// The worked streams of the format, block by block.
TEST(BlockForms, WholeBlocksOfTheWorkedStreams) {
  // MODE 1: 0x83 0x00 | 0x03 'x' 'y' 'z' | 0x83 0x02.
  EXPECT_EQ(match_block_size(1, 3, 0, 0, 0, false), 2);
  EXPECT_EQ(data_block_size(1, 3), 4);
  EXPECT_EQ(match_block_size(1, 3, 5, 3, 0, false), 2);
  // MODE 3, far width 2: 0xC2 0x00 | 0x41 'x' 'y' | 0xC4 (position implied).
  EXPECT_EQ(match_block_size(3, 3, 0, 0, 2, false), 2);
  EXPECT_EQ(data_block_size(3, 2), 3);
  EXPECT_EQ(match_block_size(3, 5, 5, 3, 2, true), 1);
  // 0xC9 0x00 | 0xC2 0x7F 0x00 0x05: a far match back to position 5.
  EXPECT_EQ(match_block_size(3, 10, 0, 0, 2, false), 2);
  EXPECT_EQ(match_block_size(3, 3, 5, 10, 2, false), 4);
  // MODE 2, a match of 64 bytes far above 8,388,606: 2 header bytes and 7.
  EXPECT_EQ(match_block_size(2, 64, 9000000, 0, 0, false), 9);
}

}  // namespace
}  // namespace vd
