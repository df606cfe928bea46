#include "core/crc32.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "core/run_state.h"
#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;

std::uint32_t crc_of(const std::string& text) {
  return crc32_of(reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<std::int64_t>(text.size()));
}

// The textbook bit-at-a-time CRC-32 (reflected 0xEDB88320, start and final
// exclusive-or 0xFFFFFFFF), independent of any table.
std::uint32_t bitwise_crc(const std::uint8_t* data, std::size_t length) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

TEST(Crc32, MatchesTheStandardCheckValues) {
  EXPECT_EQ(crc_of(""), 0x00000000u);
  EXPECT_EQ(crc_of("a"), 0xE8B7BE43u);
  EXPECT_EQ(crc_of("abc"), 0x352441C2u);
  EXPECT_EQ(crc_of("123456789"), 0xCBF43926u);
  EXPECT_EQ(crc_of("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
  EXPECT_EQ(crc_of(std::string(32, '\0')), 0x190A55ADu);
  EXPECT_EQ(crc_of(std::string(32, '\xFF')), 0xFF6CAB0Bu);
  Bytes ascending(32);
  for (int i = 0; i < 32; ++i) ascending[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(crc32_of(ascending.data(), 32), 0x91267E8Au);
}

TEST(Crc32, UpdateWithoutBytesLeavesTheRunningValueAlone) {
  const std::uint8_t byte = 0x5A;
  EXPECT_EQ(crc32_update(0x12345678u, &byte, 0), 0x12345678u);
  EXPECT_EQ(crc32_update(0x12345678u, &byte, -1), 0x12345678u);
  EXPECT_EQ(crc32_update(0x12345678u, &byte, -100000), 0x12345678u);
}

TEST(Crc32, UpdateAppliesNeitherStartValueNorFinalInversion) {
  // From a running value of 0 one zero byte keeps it 0 (table entry 0 is 0);
  // an implementation that inverts on its own would not.
  const std::uint8_t zero = 0;
  EXPECT_EQ(crc32_update(0, &zero, 1), 0u);
  const std::string text = "123456789";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  EXPECT_EQ(crc32_update(kCrcStart, bytes, 9), ~0xCBF43926u);
}

TEST(Crc32, SlicedComputationAgreesWithTheBitwiseReference) {
  test::Rng rng(1);
  const Bytes data = rng.bytes(4096 + 16);
  // Every length up to 300 at every alignment within eight bytes, then some
  // long random ranges.
  for (std::size_t offset = 0; offset < 8; ++offset)
    for (std::size_t length = 0; length <= 300; ++length)
      ASSERT_EQ(crc32_of(data.data() + offset, static_cast<std::int64_t>(length)),
                bitwise_crc(data.data() + offset, length))
          << "offset " << offset << ", length " << length;
  for (int round = 0; round < 200; ++round) {
    const std::size_t offset = rng.below(64);
    const std::size_t length = rng.below(4000);
    ASSERT_EQ(crc32_of(data.data() + offset, static_cast<std::int64_t>(length)),
              bitwise_crc(data.data() + offset, length))
        << "offset " << offset << ", length " << length;
  }
}

TEST(Crc32, RunningValueCanBeFedInPieces) {
  test::Rng rng(2);
  const Bytes data = rng.bytes(1000);
  for (int round = 0; round < 100; ++round) {
    std::uint32_t crc = kCrcStart;
    std::size_t at = 0;
    while (at < data.size()) {
      const std::size_t piece = std::min<std::size_t>(rng.below(23), data.size() - at);
      crc = crc32_update(crc, data.data() + at, static_cast<std::int64_t>(piece));
      at += piece;
    }
    ASSERT_EQ(~crc, bitwise_crc(data.data(), data.size()));
  }
}

class Crc32Stream : public testing::Test {
 protected:
  void SetUp() override { test::reset_working_buffer(); }
  void TearDown() override {
    test::reset_working_buffer();
    if (stream_ != nullptr) std::fclose(stream_);
  }
  FILE* open(const Bytes& content) {
    stream_ = test::stream_with(content);
    return stream_;
  }
  FILE* stream_ = nullptr;
};

TEST_F(Crc32Stream, WorkingBufferStartsAt409600BytesAndHalvesFromTheGivenSize) {
  ASSERT_TRUE(alloc_working_buffer());
  EXPECT_EQ(working_buffer().size, 409600u);
  test::reset_working_buffer();
  ASSERT_TRUE(alloc_working_buffer(128));
  EXPECT_EQ(working_buffer().size, 64u);
}

TEST_F(Crc32Stream, ChecksumsTheWholeStreamFromItsStart) {
  ASSERT_TRUE(alloc_working_buffer());
  FILE* stream = open(test::bytes_of("123456789"));
  EXPECT_EQ(crc32_stream(stream, false), 0xCBF43926u);
  EXPECT_EQ(std::ftell(stream), 0);
}

TEST_F(Crc32Stream, FromTheMiddleChecksumsOnlyTheRestAndRestoresThePosition) {
  ASSERT_TRUE(alloc_working_buffer(64));  // 32-byte chunks
  test::Rng rng(3);
  const Bytes data = rng.bytes(1000);
  FILE* stream = open(data);
  for (long start : {1L, 7L, 31L, 32L, 33L, 500L, 967L, 999L}) {
    ASSERT_EQ(std::fseek(stream, start, SEEK_SET), 0);
    EXPECT_EQ(crc32_stream(stream, false),
              bitwise_crc(data.data() + start, data.size() - static_cast<std::size_t>(start)))
        << "from " << start;
    EXPECT_EQ(std::ftell(stream), start);
  }
  // And reading on from there still gives the bytes at that position.
  ASSERT_EQ(std::fseek(stream, 123, SEEK_SET), 0);
  crc32_stream(stream, false);
  EXPECT_EQ(std::fgetc(stream), data[123]);
}

TEST_F(Crc32Stream, EmptyRangeReturnsZero) {
  ASSERT_TRUE(alloc_working_buffer());
  FILE* stream = open(test::bytes_of("abcdef"));
  ASSERT_EQ(std::fseek(stream, 0, SEEK_END), 0);
  EXPECT_EQ(crc32_stream(stream, false), 0u);
  EXPECT_EQ(std::ftell(stream), 6);
  FILE* empty = std::tmpfile();
  EXPECT_EQ(crc32_stream(empty, false), 0u);
  EXPECT_EQ(std::ftell(empty), 0);
  std::fclose(empty);
}

TEST_F(Crc32Stream, SizesAroundMultiplesOfTheWorkingBuffer) {
  ASSERT_TRUE(alloc_working_buffer(32));  // 16-byte chunks
  ASSERT_EQ(working_buffer().size, 16u);
  test::Rng rng(4);
  for (std::size_t size : {15u, 16u, 17u, 32u, 48u, 49u, 160u, 161u}) {
    const Bytes data = rng.bytes(size);
    FILE* stream = test::stream_with(data);
    EXPECT_EQ(crc32_stream(stream, false), bitwise_crc(data.data(), data.size())) << "size " << size;
    EXPECT_EQ(std::ftell(stream), 0);
    // From the middle, so that the rest is an exact multiple of the chunk.
    if (size > 16) {
      const long start = static_cast<long>(size % 16 == 0 ? 16 : size % 16);
      std::fseek(stream, start, SEEK_SET);
      EXPECT_EQ(crc32_stream(stream, false), bitwise_crc(data.data() + start, size - static_cast<std::size_t>(start)))
          << "size " << size << " from " << start;
      EXPECT_EQ(std::ftell(stream), start);
    }
    std::fclose(stream);
  }
}

// Through a mapping, 256 KB at a time: what the stream holds from any
// start, the stream left where it was; a range past the file's end shows
// as a file that shrank, and a pipe is not mapped.
TEST(Crc32Mapped, SumsWhatTheStreamHoldsAndTellsAShrunkFile) {
  test::Rng rng(5);
  const Bytes data = rng.bytes((std::size_t{1} << 21) + 12345);
  FILE* stream = test::stream_with(data);
  for (const long start : {0L, 1L, 4095L, (1L << 20) - 1, 1L << 20, (1L << 21) + 12000}) {
    ASSERT_EQ(std::fseek(stream, start, SEEK_SET), 0);
    EXPECT_EQ(crc32_stream_mapped(stream, false),
              crc32_of(data.data() + start, static_cast<std::int64_t>(data.size()) - start))
        << "from " << start;
    EXPECT_EQ(std::ftell(stream), start);
  }
  std::uint32_t crc = kCrcStart;
  const auto pastTheEnd = static_cast<std::int64_t>(data.size()) + 3 * 4096;
  EXPECT_EQ(crc32_update_mapped(fileno(stream), 0, pastTheEnd, crc), MappedRead::Shrunk);
  EXPECT_EQ(crc, kCrcStart);
  std::fclose(stream);
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  EXPECT_EQ(crc32_update_mapped(pipeEnds[0], 0, 10, crc), MappedRead::Unmappable);
  close(pipeEnds[0]);
  close(pipeEnds[1]);
}

}  // namespace
}  // namespace vd
