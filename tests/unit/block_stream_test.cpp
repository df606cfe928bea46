#include "core/block_stream.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/patch_format.h"
#include "support/record_decoder.h"
#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;
using test::bytes_of;
using test::concat;

struct Parsed {
  bool ok = true;  // false when the parser refused a block
  std::vector<Block> blocks;
  std::size_t left = 0;  // bytes not consumed
};

// Parses `count` blocks (all of them when negative), taking each data
// block's bytes off the stream as a reader would.
Parsed parse(int mode, const Bytes& stream, int count = -1, int farWidth = 2) {
  MemorySource source(stream.data(), stream.size());
  BlockStreamParser parser(mode, farWidth);
  Parsed parsed;
  for (int i = 0; count < 0 ? source.remaining() > 0 : i < count; ++i) {
    Block block;
    if (!parser.next(source, block)) {
      parsed.ok = false;
      break;
    }
    parsed.blocks.push_back(block);
    if (!block.is_match()) {
      Bytes skipped(block.length);
      if (!source.read(skipped.data(), block.length)) {
        parsed.ok = false;
        break;
      }
    }
  }
  parsed.left = source.remaining();
  return parsed;
}

// The one block of a stream, which must parse completely.
Block only_block(int mode, const Bytes& stream, int farWidth = 2) {
  const Parsed parsed = parse(mode, stream, 1, farWidth);
  EXPECT_TRUE(parsed.ok) << test::hex(stream);
  EXPECT_EQ(parsed.left, 0u) << test::hex(stream);
  return parsed.blocks.empty() ? Block{} : parsed.blocks[0];
}

void expect_match(const Block& block, std::uint32_t length, std::int64_t position) {
  EXPECT_EQ(block.kind, BlockKind::Match);
  EXPECT_EQ(block.length, length);
  EXPECT_EQ(block.position, position);
}

void expect_data(const Block& block, BlockKind kind, std::uint32_t length) {
  EXPECT_EQ(block.kind, kind);
  EXPECT_EQ(block.length, length);
}

// A prefix that leaves the running position at 100,000: a data-free match.
Bytes mode1_running_100000() { return {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFE, 0x01, 0x86, 0xA0}; }

// ---- MODE 1 ----------------------------------------------------------------

TEST(BlockStreamMode1, WorkedExample) {
  const Bytes stream{0x83, 0x00, 0x03, 'x', 'y', 'z', 0x83, 0x02};
  const Parsed parsed = parse(1, stream);
  ASSERT_TRUE(parsed.ok);
  ASSERT_EQ(parsed.blocks.size(), 3u);
  expect_match(parsed.blocks[0], 3, 0);
  expect_data(parsed.blocks[1], BlockKind::PlainData, 3);
  expect_match(parsed.blocks[2], 3, 5);
  const Bytes old = bytes_of("ABCDEFGH");
  const test::DecodedRecord decoded = test::decode_stream(1, 2, 3, stream, old, {}, 8);
  ASSERT_TRUE(decoded.ok) << decoded.error;
  EXPECT_EQ(decoded.output, bytes_of("ABCxyzFGH"));
}

TEST(BlockStreamMode1, LengthForms) {
  expect_data(only_block(1, concat({Bytes{0x01}, Bytes(1)})), BlockKind::PlainData, 1);
  expect_data(only_block(1, concat({Bytes{0x7F}, Bytes(127)})), BlockKind::PlainData, 127);
  expect_data(only_block(1, concat({Bytes{0x00, 0x00, 0x01}, Bytes(128)})), BlockKind::PlainData, 128);
  expect_data(only_block(1, concat({Bytes{0x00, 0xFF, 0xFF}, Bytes(65662)})), BlockKind::PlainData, 65662);
  expect_data(only_block(1, concat({Bytes{0x00, 0x00, 0x00, 0x01, 0x00, 0x7F}, Bytes(65663)})),
              BlockKind::PlainData, 65663);
  expect_data(only_block(1, Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x00}), BlockKind::PlainData, 0);
  // Match lengths: 0x80 with u16 0 and u24 0x000100 is 256; with u16 1 it is 128.
  expect_match(only_block(1, {0x80, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00}), 256, 0);
  expect_match(only_block(1, {0x80, 0x00, 0x01, 0x00}), 128, 0);
  expect_match(only_block(1, {0xFF, 0x00}), 127, 0);
  expect_match(only_block(1, {0x80, 0xFF, 0xFF, 0x00}), 65662, 0);
  expect_match(only_block(1, {0x80, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00}), 16777215, 0);
}

TEST(BlockStreamMode1, PositionForms) {
  const auto after_prefix = [](Bytes block) {
    const Parsed parsed = parse(1, concat({mode1_running_100000(), block}));
    EXPECT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.left, 0u);
    EXPECT_EQ(parsed.blocks.size(), 2u);
    return parsed.blocks.size() == 2 ? parsed.blocks[1] : Block{};
  };
  expect_match(after_prefix({0x81, 0x00}), 1, 100000);
  expect_match(after_prefix({0x81, 0xFC}), 1, 100252);
  expect_match(after_prefix({0x81, 0xFD, 0x00, 0x00}), 1, 100000 - 16384);
  expect_match(after_prefix({0x81, 0xFD, 0x40, 0x00}), 1, 100000);
  expect_match(after_prefix({0x81, 0xFD, 0xFF, 0xFF}), 1, 100000 + 49151);
  expect_match(after_prefix({0x81, 0xFE, 0x00, 0x00, 0x05}), 1, 5);
  expect_match(after_prefix({0x81, 0xFE, 0xFF, 0xFF, 0xFF}), 1, 16777215);
  expect_match(after_prefix({0x81, 0xFF, 0x12, 0x34, 0x56, 0x78}), 1, 0x12345678);
  expect_match(after_prefix({0x81, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), 1, 0xFFFFFFFFll);
}

TEST(BlockStreamMode1, RunningPositionFollowsMatchesNotData) {
  // A length-0 match still moves the running position to its position.
  const Parsed parsed = parse(1, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0A,  // match 0 at 10
                                  0x02, 'a', 'b',                            // data
                                  0x84, 0x05,                                // match 4 at 15
                                  0x81, 0x00});                              // match 1 at 19
  ASSERT_TRUE(parsed.ok);
  ASSERT_EQ(parsed.blocks.size(), 4u);
  expect_match(parsed.blocks[0], 0, 10);
  expect_match(parsed.blocks[2], 4, 15);
  expect_match(parsed.blocks[3], 1, 19);
}

TEST(BlockStreamMode1, TruncatedHeadersAreRefused) {
  for (const Bytes& stream : {Bytes{}, Bytes{0x85}, Bytes{0x00}, Bytes{0x00, 0x00}, Bytes{0x80, 0x00, 0x00, 0x00, 0x01},
                              Bytes{0x85, 0xFD, 0x00}, Bytes{0x85, 0xFE, 0x00, 0x00},
                              Bytes{0x85, 0xFF, 0x00, 0x00, 0x00}, Bytes{0x80, 0x01}}) {
    EXPECT_FALSE(parse(1, stream, 1).ok) << test::hex(stream);
  }
}

// ---- MODE 2 ----------------------------------------------------------------

TEST(BlockStreamMode2, LengthForms) {
  expect_data(only_block(2, Bytes{0x00}), BlockKind::PlainData, 0);
  expect_data(only_block(2, concat({Bytes{0x3F}, Bytes(63)})), BlockKind::PlainData, 63);
  expect_data(only_block(2, Bytes{0x40, 0x00}), BlockKind::PlainData, 0);
  expect_data(only_block(2, concat({Bytes{0x40, 0x40}, Bytes(64)})), BlockKind::PlainData, 64);
  expect_data(only_block(2, concat({Bytes{0x7F, 0xFF}, Bytes(16383)})), BlockKind::PlainData, 16383);
  expect_match(only_block(2, {0x80, 0x40, 0x00}), 0, 0);
  expect_match(only_block(2, {0xBF, 0x40, 0x00}), 63, 0);
  expect_match(only_block(2, {0xC0, 0x40, 0x40, 0x00}), 64, 0);
  expect_match(only_block(2, {0xFF, 0xFF, 0x40, 0x00}), 16383, 0);
}

TEST(BlockStreamMode2, NearPositions) {
  // Running position 20,000 after a match of 0 bytes at far 20,000.
  const Bytes prefix{0x80, 0x80, 0x4E, 0x20};
  const auto second = [&](Bytes block) {
    const Parsed parsed = parse(2, concat({prefix, block}));
    EXPECT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.blocks.size(), 2u);
    return parsed.blocks.size() == 2 ? parsed.blocks[1] : Block{};
  };
  expect_match(second({0x81, 0x40, 0x00}), 1, 20000);
  expect_match(second({0x81, 0x00, 0x00}), 1, 20000 - 16384);
  expect_match(second({0x81, 0x7F, 0xFF}), 1, 20000 + 16383);
  // Behind the start of the reference space: the parser reports it, the
  // caller's bound check refuses it.
  const Block below = only_block(2, {0x81, 0x00, 0x00});
  EXPECT_EQ(below.position, -16384);
}

TEST(BlockStreamMode2, FarPositionsAndTheSevenByteEscape) {
  expect_match(only_block(2, {0x81, 0x80, 0x00, 0x00}), 1, 0);
  expect_match(only_block(2, {0x81, 0x80, 0x12, 0x34}), 1, 0x1234);
  expect_match(only_block(2, {0x81, 0xFF, 0xFF, 0xFE}), 1, 8388606);
  expect_match(only_block(2, {0x81, 0xFF, 0xFF, 0xFF, 0x00, 0x7F, 0xFF, 0xFF}), 1, 8388607);
  expect_match(only_block(2, {0x81, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00}), 1, 16777216);
  expect_match(only_block(2, {0x81, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00}), 1, 0);
}

TEST(BlockStreamMode2, TruncatedHeadersAreRefused) {
  for (const Bytes& stream : {Bytes{0x40}, Bytes{0x85}, Bytes{0x85, 0x40}, Bytes{0x85, 0x80, 0x00},
                              Bytes{0xC0, 0x40, 0x40}, Bytes{0x85, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00}}) {
    EXPECT_FALSE(parse(2, stream, 1).ok) << test::hex(stream);
  }
}

// ---- MODE 3 ----------------------------------------------------------------

TEST(BlockStreamMode3, LengthForms) {
  expect_data(only_block(3, concat({Bytes{0x80}, Bytes(1)})), BlockKind::PlainData, 1);
  expect_data(only_block(3, concat({Bytes{0x9F}, Bytes(32)})), BlockKind::PlainData, 32);
  expect_data(only_block(3, concat({Bytes{0xA0, 0x00}, Bytes(33)})), BlockKind::PlainData, 33);
  expect_data(only_block(3, concat({Bytes{0xBF, 0xFF}, Bytes(8224)})), BlockKind::PlainData, 8224);
  expect_match(only_block(3, {0xC0, 0x00}), 1, 0);
  expect_match(only_block(3, {0xDF, 0x00}), 32, 0);  // bit 0x20 clear
  expect_match(only_block(3, {0xE0, 0x00, 0x00}), 33, 0);
  expect_match(only_block(3, {0xFF, 0xFF, 0x00}), 8224, 0);
}

TEST(BlockStreamMode3, PositionForms) {
  // Running position 1,000 after a match of 1 byte at 999 (far, two bytes).
  const Bytes prefix{0xC0, 0x7F, 0x03, 0xE7};
  const auto second = [&](Bytes block) {
    const Parsed parsed = parse(3, concat({prefix, block}));
    EXPECT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.left, 0u);
    EXPECT_EQ(parsed.blocks.size(), 2u);
    return parsed.blocks.size() == 2 ? parsed.blocks[1] : Block{};
  };
  expect_match(second({0xC0, 0x00}), 1, 1000);
  expect_match(second({0xC0, 0x7E}), 1, 1126);
  expect_match(second({0xC0, 0x80, 0x00}), 1, 1127);
  expect_match(second({0xC0, 0xFF, 0xFF}), 1, 1000 + 32894);
  expect_match(second({0xC0, 0x81, 0x02}), 1, 1000 + 0x102 + 127);
  expect_match(second({0xC0, 0x7F, 0x00, 0x05}), 1, 5);  // 0x7F is the far escape, 0xFF a near form
}

TEST(BlockStreamMode3, FarWidths) {
  expect_match(only_block(3, {0xC0, 0x7F, 0x12, 0x34}, 2), 1, 0x1234);
  expect_match(only_block(3, {0xC0, 0x7F, 0x12, 0x34, 0x56}, 3), 1, 0x123456);
  expect_match(only_block(3, {0xC0, 0x7F, 0x12, 0x34, 0x56, 0x78}, 4), 1, 0x12345678);
  EXPECT_FALSE(parse(3, {0xC0, 0x7F, 0x12, 0x34}, 1, 3).ok);
  EXPECT_FALSE(parse(3, {0xC0, 0x7F, 0x12, 0x34, 0x56}, 1, 4).ok);
}

TEST(BlockStreamMode3, InsertAndReplaceDataAnnounceThePosition) {
  // Running position 7 after the first match; five data bytes; a match of
  // 10 with no position bytes.
  const Bytes start{0xC6, 0x00};  // match 7 at 0
  const Parsed insert = parse(3, concat({start, Bytes{0x04}, Bytes(5, 'i'), Bytes{0xC9}, Bytes{0xC0, 0x00}}));
  ASSERT_TRUE(insert.ok);
  ASSERT_EQ(insert.blocks.size(), 4u);
  expect_data(insert.blocks[1], BlockKind::InsertData, 5);
  expect_match(insert.blocks[2], 10, 7);
  // The continuation is used up: the next match reads its position byte again.
  expect_match(insert.blocks[3], 1, 17);
  EXPECT_EQ(insert.left, 0u);

  const Parsed replace = parse(3, concat({start, Bytes{0x44}, Bytes(5, 'r'), Bytes{0xC9}}));
  ASSERT_TRUE(replace.ok);
  ASSERT_EQ(replace.blocks.size(), 3u);
  expect_data(replace.blocks[1], BlockKind::ReplaceData, 5);
  expect_match(replace.blocks[2], 10, 12);
  EXPECT_EQ(replace.left, 0u);

  // Long forms of both kinds.
  expect_data(parse(3, concat({Bytes{0x20, 0x00}, Bytes(33)}), 1).blocks.at(0), BlockKind::InsertData, 33);
  expect_data(parse(3, concat({Bytes{0x7F, 0xFF}, Bytes(8224)}), 1).blocks.at(0), BlockKind::ReplaceData, 8224);
}

TEST(BlockStreamMode3, ALaterInsertOrReplaceOverwritesAPendingOne) {
  const Bytes start{0xC6, 0x00};  // running position 7
  const Parsed replaceThenInsert =
      parse(3, concat({start, Bytes{0x44}, Bytes(5), Bytes{0x02}, Bytes(3), Bytes{0xC1}}));
  ASSERT_TRUE(replaceThenInsert.ok);
  ASSERT_EQ(replaceThenInsert.blocks.size(), 4u);
  expect_match(replaceThenInsert.blocks[3], 2, 7);
  EXPECT_EQ(replaceThenInsert.left, 0u);

  const Parsed insertThenReplace =
      parse(3, concat({start, Bytes{0x01}, Bytes(2), Bytes{0x42}, Bytes(3), Bytes{0xC1}}));
  ASSERT_TRUE(insertThenReplace.ok);
  ASSERT_EQ(insertThenReplace.blocks.size(), 4u);
  expect_match(insertThenReplace.blocks[3], 2, 10);
  EXPECT_EQ(insertThenReplace.left, 0u);
}

TEST(BlockStreamMode3, PlainDataLeavesAPendingContinuation) {
  const Bytes start{0xC6, 0x00};  // running position 7
  const Parsed parsed = parse(3, concat({start, Bytes{0x44}, Bytes(5), Bytes{0x83}, Bytes(4), Bytes{0xC1}}));
  ASSERT_TRUE(parsed.ok);
  ASSERT_EQ(parsed.blocks.size(), 4u);
  expect_data(parsed.blocks[2], BlockKind::PlainData, 4);
  expect_match(parsed.blocks[3], 2, 12);
  EXPECT_EQ(parsed.left, 0u);
}

TEST(BlockStreamMode3, NothingCarriesOverToANewParser) {
  const Parsed first = parse(3, concat({Bytes{0x44}, Bytes(5)}));
  ASSERT_TRUE(first.ok);
  const Parsed fresh = parse(3, {0xC0, 0x03});
  ASSERT_TRUE(fresh.ok);
  expect_match(fresh.blocks.at(0), 1, 3);
}

TEST(BlockStreamMode3, WorkedExamples) {
  const Bytes old = bytes_of("ABCDEFGHIJ");
  const struct {
    Bytes stream;
    std::uint32_t blocks;
    const char* expected;
  } cases[] = {
      {{0xC2, 0x00, 0x41, 'x', 'y', 0xC4}, 3, "ABCxyFGHIJ"},
      {{0xC2, 0x00, 0x01, 'x', 'y', 0xC6}, 3, "ABCxyDEFGHIJ"},
      {{0xC9, 0x00, 0xC2, 0x7F, 0x00, 0x05}, 2, "ABCDEFGHIJFGH"},
  };
  for (const auto& c : cases) {
    const test::DecodedRecord decoded = test::decode_stream(3, 2, c.blocks, c.stream, old, {}, 10);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.output, bytes_of(c.expected));
  }
}

TEST(BlockStreamMode3, TruncatedHeadersAreRefused) {
  for (const Bytes& stream : {Bytes{0xE0}, Bytes{0xC0}, Bytes{0xC0, 0x85}, Bytes{0xC0, 0x7F, 0x00},
                              Bytes{0xA0}, Bytes{0xFF, 0xFF}}) {
    EXPECT_FALSE(parse(3, stream, 1).ok) << test::hex(stream);
  }
}

// ---- MODE 4 ----------------------------------------------------------------

TEST(BlockStreamMode4, LengthFormsAndKinds) {
  expect_data(only_block(4, concat({Bytes{0x81}, Bytes(1)})), BlockKind::PlainData, 1);
  expect_data(only_block(4, concat({Bytes{0xBF}, Bytes(63)})), BlockKind::PlainData, 63);
  expect_data(only_block(4, concat({Bytes{0x80, 0x00, 0x01}, Bytes(64)})), BlockKind::PlainData, 64);
  expect_data(only_block(4, concat({Bytes{0x80, 0xFF, 0xFF}, Bytes(65598)})), BlockKind::PlainData, 65598);
  expect_data(only_block(4, concat({Bytes{0x80, 0x00, 0x00, 0x01, 0x00, 0x3F}, Bytes(65599)})),
              BlockKind::PlainData, 65599);
  expect_data(only_block(4, Bytes{0x80, 0x00, 0x00, 0x00, 0x00, 0x00}), BlockKind::PlainData, 0);
  expect_data(parse(4, concat({Bytes{0x05}, Bytes(5)}), 1).blocks.at(0), BlockKind::InsertData, 5);
  expect_data(parse(4, concat({Bytes{0x45}, Bytes(5)}), 1).blocks.at(0), BlockKind::ReplaceData, 5);
  expect_data(parse(4, concat({Bytes{0x40, 0x00, 0x02}, Bytes(65)}), 1).blocks.at(0), BlockKind::ReplaceData, 65);
  expect_match(only_block(4, {0xFF, 0x00}), 63, 0);
  expect_match(only_block(4, {0xC0, 0x00, 0x01, 0x00}), 64, 0);
  expect_match(only_block(4, {0xC0, 0xFF, 0xFF, 0x00}), 65598, 0);
  expect_match(only_block(4, {0xC0, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00}), 256, 0);
  expect_match(only_block(4, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09}), 0, 9);
}

TEST(BlockStreamMode4, PositionFormsAsInMode1) {
  const Bytes prefix{0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFE, 0x01, 0x86, 0xA0};  // running 100,000
  const auto second = [&](Bytes block) {
    const Parsed parsed = parse(4, concat({prefix, block}));
    EXPECT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.left, 0u);
    EXPECT_EQ(parsed.blocks.size(), 2u);
    return parsed.blocks.size() == 2 ? parsed.blocks[1] : Block{};
  };
  expect_match(second({0xC1, 0x00}), 1, 100000);
  expect_match(second({0xC1, 0xFC}), 1, 100252);
  expect_match(second({0xC1, 0xFD, 0x00, 0x00}), 1, 100000 - 16384);
  expect_match(second({0xC1, 0xFD, 0xFF, 0xFF}), 1, 100000 + 49151);
  expect_match(second({0xC1, 0xFE, 0x00, 0x00, 0x05}), 1, 5);
  expect_match(second({0xC1, 0xFF, 0x01, 0x00, 0x00, 0x00}), 1, 16777216);
}

TEST(BlockStreamMode4, InsertAndReplaceContinuation) {
  const Bytes start{0xC7, 0x00};  // match 7 at 0
  const Parsed insert = parse(4, concat({start, Bytes{0x05}, Bytes(5), Bytes{0xCA}}));
  ASSERT_TRUE(insert.ok);
  ASSERT_EQ(insert.blocks.size(), 3u);
  expect_match(insert.blocks[2], 10, 7);
  EXPECT_EQ(insert.left, 0u);
  const Parsed replace = parse(4, concat({start, Bytes{0x45}, Bytes(5), Bytes{0xCA}}));
  ASSERT_TRUE(replace.ok);
  ASSERT_EQ(replace.blocks.size(), 3u);
  expect_match(replace.blocks[2], 10, 12);
  EXPECT_EQ(replace.left, 0u);
  // Overwritten by a later replace, kept across plain data.
  const Parsed mixed =
      parse(4, concat({start, Bytes{0x02}, Bytes(2), Bytes{0x83}, Bytes(3), Bytes{0x43}, Bytes(3), Bytes{0x81}, Bytes(1), Bytes{0xC1}}));
  ASSERT_TRUE(mixed.ok);
  ASSERT_EQ(mixed.blocks.size(), 6u);
  expect_match(mixed.blocks[5], 1, 10);
  EXPECT_EQ(mixed.left, 0u);
}

TEST(BlockStreamMode4, TruncatedHeadersAreRefused) {
  for (const Bytes& stream : {Bytes{0xC0}, Bytes{0xC0, 0x00}, Bytes{0x80, 0x00, 0x00, 0x00}, Bytes{0xC5},
                              Bytes{0xC5, 0xFD, 0x01}, Bytes{0xC5, 0xFF, 0x01, 0x02, 0x03}}) {
    EXPECT_FALSE(parse(4, stream, 1).ok) << test::hex(stream);
  }
}

}  // namespace
}  // namespace vd
