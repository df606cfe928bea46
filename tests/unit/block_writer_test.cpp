#include "maker/block_writer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>

#include "core/block_stream.h"
#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;

// What a BlockWriter puts into a stream; one scratch file serves every call.
Bytes written_by(const std::function<void(BlockWriter&)>& write) {
  static FILE* const out = std::tmpfile();
  std::fflush(out);
  EXPECT_EQ(ftruncate(fileno(out), 0), 0);
  std::rewind(out);
  {
    BlockWriter writer(out);
    write(writer);
  }
  return test::read_whole_stream(out);
}

Bytes data_header(int mode, std::int64_t length, std::uint8_t kind = kKindPlain) {
  return written_by([&](BlockWriter& w) { write_data_header(w, mode, length, kind); });
}

Bytes match_header(int mode, std::int64_t length) {
  return written_by([&](BlockWriter& w) { write_match_header(w, mode, length); });
}

Bytes match_position(int mode, std::int64_t q, std::int64_t running, int farWidth = 2) {
  return written_by([&](BlockWriter& w) { write_match_position(w, mode, q, running, farWidth); });
}

// Parses what was written for a match of `length` at `q` after a 1-byte
// match at the far position running - 1.
Block reparse_match(int mode, std::int64_t length, std::int64_t q, std::int64_t running, int farWidth) {
  Bytes stream = written_by([&](BlockWriter& w) {
    write_match_header(w, mode, 1);
    const auto before = static_cast<std::uint32_t>(running - 1);
    if (mode == 3) {
      w.byte(127);
      w.be(before, farWidth);
    } else if (mode == 2) {
      w.be(0xFFFFFF, 3);
      w.be(before, 4);
    } else {
      w.byte(255);
      w.be(before, 4);
    }
    write_match_header(w, mode, length);
    write_match_position(w, mode, q, running, farWidth);
  });
  MemorySource source(stream.data(), stream.size());
  BlockStreamParser parser(mode, farWidth);
  Block first, second;
  EXPECT_TRUE(parser.next(source, first));
  EXPECT_EQ(parser.running_position(), running);
  EXPECT_TRUE(parser.next(source, second));
  EXPECT_EQ(source.remaining(), 0u) << test::hex(stream);
  return second;
}

Block reparse_data(int mode, std::int64_t length, std::uint8_t kind) {
  const Bytes stream = data_header(mode, length, kind);
  MemorySource source(stream.data(), stream.size());
  BlockStreamParser parser(mode, 2);
  Block block;
  EXPECT_TRUE(parser.next(source, block));
  EXPECT_EQ(source.remaining(), 0u);
  return block;
}

TEST(BlockWriterForms, Mode1Lengths) {
  EXPECT_EQ(data_header(1, 1), (Bytes{0x01}));
  EXPECT_EQ(data_header(1, 127), (Bytes{0x7F}));
  EXPECT_EQ(data_header(1, 128), (Bytes{0x00, 0x00, 0x01}));
  EXPECT_EQ(data_header(1, 65662), (Bytes{0x00, 0xFF, 0xFF}));
  EXPECT_EQ(data_header(1, 65663), (Bytes{0x00, 0x00, 0x00, 0x01, 0x00, 0x7F}));
  EXPECT_EQ(data_header(1, 16777215), (Bytes{0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(match_header(1, 1), (Bytes{0x81}));
  EXPECT_EQ(match_header(1, 127), (Bytes{0xFF}));
  EXPECT_EQ(match_header(1, 128), (Bytes{0x80, 0x00, 0x01}));
  EXPECT_EQ(match_header(1, 65662), (Bytes{0x80, 0xFF, 0xFF}));
  EXPECT_EQ(match_header(1, 65663), (Bytes{0x80, 0x00, 0x00, 0x01, 0x00, 0x7F}));
  EXPECT_EQ(match_header(1, 16777215), (Bytes{0x80, 0x00, 0x00, 0xFF, 0xFF, 0xFF}));
}

TEST(BlockWriterForms, Mode1Positions) {
  const std::int64_t r = 100000;
  EXPECT_EQ(match_position(1, r, r), (Bytes{0x00}));
  EXPECT_EQ(match_position(1, r + 252, r), (Bytes{0xFC}));
  EXPECT_EQ(match_position(1, r + 253, r), (Bytes{0xFD, 0x40, 0xFD}));
  EXPECT_EQ(match_position(1, r - 1, r), (Bytes{0xFD, 0x3F, 0xFF}));
  EXPECT_EQ(match_position(1, r - 16384, r), (Bytes{0xFD, 0x00, 0x00}));
  EXPECT_EQ(match_position(1, r + 49150, r), (Bytes{0xFD, 0xFF, 0xFE}));
  // One step beyond either end of the u16 form: a far position.
  EXPECT_EQ(match_position(1, r - 16385, r), (Bytes{0xFE, 0x01, 0x46, 0x9F}));
  EXPECT_EQ(match_position(1, r + 49151, r), (Bytes{0xFE, 0x02, 0x46, 0x9F}));
  EXPECT_EQ(match_position(1, 16777215, 0), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(match_position(1, 16777216, 0), (Bytes{0xFF, 0x01, 0x00, 0x00, 0x00}));
  EXPECT_EQ(match_position(1, 0x7FFFFFFF, 0), (Bytes{0xFF, 0x7F, 0xFF, 0xFF, 0xFF}));
}

TEST(BlockWriterForms, Mode2LengthsAndPositions) {
  EXPECT_EQ(data_header(2, 1), (Bytes{0x01}));
  EXPECT_EQ(data_header(2, 63), (Bytes{0x3F}));
  EXPECT_EQ(data_header(2, 64), (Bytes{0x40, 0x40}));
  EXPECT_EQ(data_header(2, 16383), (Bytes{0x7F, 0xFF}));
  EXPECT_EQ(match_header(2, 63), (Bytes{0xBF}));
  EXPECT_EQ(match_header(2, 64), (Bytes{0xC0, 0x40}));
  EXPECT_EQ(match_header(2, 16383), (Bytes{0xFF, 0xFF}));
  const std::int64_t r = 100000;
  EXPECT_EQ(match_position(2, r, r), (Bytes{0x40, 0x00}));
  EXPECT_EQ(match_position(2, r - 16384, r), (Bytes{0x00, 0x00}));
  EXPECT_EQ(match_position(2, r + 16383, r), (Bytes{0x7F, 0xFF}));
  EXPECT_EQ(match_position(2, r + 16384, r), (Bytes{0x81, 0xC6, 0xA0}));
  EXPECT_EQ(match_position(2, r - 16385, r), (Bytes{0x81, 0x46, 0x9F}));
  EXPECT_EQ(match_position(2, 20000, 0), (Bytes{0x80, 0x4E, 0x20}));
  EXPECT_EQ(match_position(2, 8388606, 0), (Bytes{0xFF, 0xFF, 0xFE}));
  EXPECT_EQ(match_position(2, 8388607, 0), (Bytes{0xFF, 0xFF, 0xFF, 0x00, 0x7F, 0xFF, 0xFF}));
  EXPECT_EQ(match_position(2, 16777216, 0), (Bytes{0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00}));
}

TEST(BlockWriterForms, Mode3LengthsAndKinds) {
  EXPECT_EQ(data_header(3, 1, kKindPlain), (Bytes{0x80}));
  EXPECT_EQ(data_header(3, 32, kKindPlain), (Bytes{0x9F}));
  EXPECT_EQ(data_header(3, 33, kKindPlain), (Bytes{0xA0, 0x00}));
  EXPECT_EQ(data_header(3, 8224, kKindPlain), (Bytes{0xBF, 0xFF}));
  EXPECT_EQ(data_header(3, 1, kKindInsert), (Bytes{0x00}));
  EXPECT_EQ(data_header(3, 2, kKindInsert), (Bytes{0x01}));
  EXPECT_EQ(data_header(3, 33, kKindInsert), (Bytes{0x20, 0x00}));
  EXPECT_EQ(data_header(3, 2, kKindReplace), (Bytes{0x41}));
  EXPECT_EQ(data_header(3, 32, kKindReplace), (Bytes{0x5F}));
  EXPECT_EQ(data_header(3, 8224, kKindReplace), (Bytes{0x7F, 0xFF}));
  EXPECT_EQ(match_header(3, 1), (Bytes{0xC0}));
  EXPECT_EQ(match_header(3, 32), (Bytes{0xDF}));
  EXPECT_EQ(match_header(3, 33), (Bytes{0xE0, 0x00}));
  EXPECT_EQ(match_header(3, 8224), (Bytes{0xFF, 0xFF}));
}

TEST(BlockWriterForms, Mode3Positions) {
  const std::int64_t r = 1000;
  EXPECT_EQ(match_position(3, r, r), (Bytes{0x00}));
  EXPECT_EQ(match_position(3, r + 126, r), (Bytes{0x7E}));
  EXPECT_EQ(match_position(3, r + 127, r), (Bytes{0x80, 0x00}));
  EXPECT_EQ(match_position(3, r + 32894, r), (Bytes{0xFF, 0xFF}));
  EXPECT_EQ(match_position(3, r + 32895, r, 2), (Bytes{0x7F, 0x84, 0x67}));
  EXPECT_EQ(match_position(3, r - 1, r, 2), (Bytes{0x7F, 0x03, 0xE7}));
  EXPECT_EQ(match_position(3, 0x123456, r, 3), (Bytes{0x7F, 0x12, 0x34, 0x56}));
  EXPECT_EQ(match_position(3, 0x12345678, r, 4), (Bytes{0x7F, 0x12, 0x34, 0x56, 0x78}));
  EXPECT_EQ(match_position(3, 5, r, 4), (Bytes{0x7F, 0x00, 0x00, 0x00, 0x05}));
}

TEST(BlockWriterForms, Mode4LengthsKindsAndPositions) {
  EXPECT_EQ(data_header(4, 1, kKindPlain), (Bytes{0x81}));
  EXPECT_EQ(data_header(4, 63, kKindPlain), (Bytes{0xBF}));
  EXPECT_EQ(data_header(4, 64, kKindPlain), (Bytes{0x80, 0x00, 0x01}));
  EXPECT_EQ(data_header(4, 65598, kKindPlain), (Bytes{0x80, 0xFF, 0xFF}));
  EXPECT_EQ(data_header(4, 65599, kKindPlain), (Bytes{0x80, 0x00, 0x00, 0x01, 0x00, 0x3F}));
  EXPECT_EQ(data_header(4, 1, kKindInsert), (Bytes{0x01}));
  EXPECT_EQ(data_header(4, 64, kKindInsert), (Bytes{0x00, 0x00, 0x01}));
  EXPECT_EQ(data_header(4, 63, kKindReplace), (Bytes{0x7F}));
  EXPECT_EQ(data_header(4, 65599, kKindReplace), (Bytes{0x40, 0x00, 0x00, 0x01, 0x00, 0x3F}));
  EXPECT_EQ(match_header(4, 63), (Bytes{0xFF}));
  EXPECT_EQ(match_header(4, 64), (Bytes{0xC0, 0x00, 0x01}));
  EXPECT_EQ(match_header(4, 65598), (Bytes{0xC0, 0xFF, 0xFF}));
  EXPECT_EQ(match_header(4, 65599), (Bytes{0xC0, 0x00, 0x00, 0x01, 0x00, 0x3F}));
  const std::int64_t r = 100000;
  EXPECT_EQ(match_position(4, r + 252, r), (Bytes{0xFC}));
  EXPECT_EQ(match_position(4, r + 253, r), (Bytes{0xFD, 0x40, 0xFD}));
  EXPECT_EQ(match_position(4, r - 16385, r), (Bytes{0xFE, 0x01, 0x46, 0x9F}));
  EXPECT_EQ(match_position(4, 16777216, 0), (Bytes{0xFF, 0x01, 0x00, 0x00, 0x00}));
}

// The number of bytes the shortest forms take, straight from the table of
// forms: header plus position.
int expected_match_size(int mode, std::int64_t length, std::int64_t q, std::int64_t r, int farWidth) {
  switch (mode) {
    case 1:
    case 4: {
      const std::int64_t headerMax = mode == 1 ? 127 : 63;
      const int header = length <= headerMax ? 1 : length <= headerMax + 65535 ? 3 : 6;
      const int position = (q >= r && q <= r + 252) ? 1 : (q >= r - 16384 && q <= r + 49150) ? 3 : q <= 16777215 ? 4 : 5;
      return header + position;
    }
    case 2:
      return (length <= 63 ? 1 : 2) + ((q >= r - 16384 && q <= r + 16383) ? 2 : q <= 8388606 ? 3 : 7);
    default:
      return (length <= 32 ? 1 : 2) + ((q >= r && q <= r + 126) ? 1 : (q >= r + 127 && q <= r + 32894) ? 2 : 1 + farWidth);
  }
}

TEST(BlockWriterForms, EveryBoundaryRoundTripsThroughTheParser) {
  const std::int64_t lengthLimit[] = {0, 16777215, 16383, 8224, 16777215};
  for (int mode = 1; mode <= 4; ++mode) {
    std::vector<std::int64_t> lengths = {1, 2, 31, 32, 33, 62, 63, 64, 126, 127, 128, 8223, 8224,
                                         16383, 65598, 65599, 65662, 65663, 16777215};
    for (std::int64_t length : lengths) {
      if (length > lengthLimit[mode]) continue;
      for (std::int64_t r : {std::int64_t{1}, std::int64_t{20000}, std::int64_t{100000}, std::int64_t{30000000}}) {
        const int farWidth = r < 30000000 ? 3 : 4;
        const std::int64_t offsets[] = {0, 1, 126, 127, 252, 253, 32894, 32895, 16383, 16384,
                                        49150, 49151, -1, -16384, -16385};
        std::vector<std::int64_t> positions = {0, 8388606, 8388607, 16777215, 16777216, 0x7FFFFFFF};
        for (std::int64_t offset : offsets) positions.push_back(r + offset);
        for (std::int64_t q : positions) {
          if (q < 0 || (mode == 3 && farWidth == 3 && q > 16777215)) continue;
          const Block block = reparse_match(mode, length, q, r, farWidth);
          ASSERT_EQ(block.kind, BlockKind::Match);
          ASSERT_EQ(block.length, length) << "MODE " << mode;
          ASSERT_EQ(block.position, q) << "MODE " << mode << " R " << r << " length " << length;
          const int size = static_cast<int>(match_header(mode, length).size() +
                                            match_position(mode, q, r, farWidth).size());
          ASSERT_EQ(size, expected_match_size(mode, length, q, r, farWidth))
              << "MODE " << mode << " R " << r << " q " << q << " length " << length;
        }
      }
      const std::uint8_t kinds[] = {kKindPlain, kKindInsert, kKindReplace};
      for (std::uint8_t kind : kinds) {
        if (mode < 3 && kind != kKindPlain) continue;
        const Block block = reparse_data(mode, length, kind);
        ASSERT_EQ(block.length, length) << "MODE " << mode;
        const BlockKind expected = kind == kKindPlain    ? BlockKind::PlainData
                                   : kind == kKindInsert ? BlockKind::InsertData
                                                         : BlockKind::ReplaceData;
        ASSERT_EQ(block.kind, expected);
      }
    }
  }
}

TEST(BlockWriter, KeepsTheOrderAcrossLargeWritesAndCountsEveryByte) {
  test::Rng rng(9);
  const Bytes big = rng.bytes(70000);
  const Bytes medium = rng.bytes(40000);
  FILE* out = std::tmpfile();
  std::int64_t counted = 0;
  {
    BlockWriter writer(out);
    writer.byte(0xAA);
    writer.bytes(medium.data(), static_cast<std::int64_t>(medium.size()));
    writer.be(0x01020304, 4);
    writer.bytes(big.data(), static_cast<std::int64_t>(big.size()));
    writer.be(0x0A0B0C, 3);
    writer.bytes(medium.data(), static_cast<std::int64_t>(medium.size()));
    writer.byte(0xBB);
    counted = writer.written();
  }
  const Bytes expected = test::concat({Bytes{0xAA}, medium, Bytes{1, 2, 3, 4}, big, Bytes{0x0A, 0x0B, 0x0C}, medium,
                                       Bytes{0xBB}});
  EXPECT_EQ(counted, static_cast<std::int64_t>(expected.size()));
  EXPECT_TRUE(test::read_whole_stream(out) == expected);
  std::fclose(out);
}

}  // namespace
}  // namespace vd
