#include "core/patch_format.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "support/record_decoder.h"
#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;

TEST(FarWidth, FirstRecordCountsOnlyTheOldFile) {
  EXPECT_EQ(far_width(0, 12), 2);
  EXPECT_EQ(far_width(65530, 12), 2);
  EXPECT_EQ(far_width(65535, 12), 2);
  EXPECT_EQ(far_width(65536, 12), 3);
  EXPECT_EQ(far_width(16777215, 12), 3);
  EXPECT_EQ(far_width(16777216, 12), 4);
  EXPECT_EQ(far_width(0x7FFFFFFF, 12), 4);
}

TEST(FarWidth, FirstRecordOfAPatchFileThatHeldOnlyItsHeader) {
  // Appended to an existing 12-byte file the record still starts at offset
  // 12, so the width is that of a first record: oldfiles of 65,524 to 65,535
  // bytes keep two bytes, and those just below 16,777,216 keep three.
  for (std::int64_t size = 65524; size <= 65535; ++size) EXPECT_EQ(far_width(size, 12), 2) << size;
  for (std::int64_t size = 16777204; size <= 16777215; ++size) EXPECT_EQ(far_width(size, 12), 3) << size;
}

TEST(FarWidth, LaterRecordsAddTheLengthBeforeThem) {
  EXPECT_EQ(far_width(65535 - 100, 100), 2);
  EXPECT_EQ(far_width(65536 - 100, 100), 3);
  EXPECT_EQ(far_width(0, 65535), 2);
  EXPECT_EQ(far_width(0, 65536), 3);
  EXPECT_EQ(far_width(16777215 - 40, 40), 3);
  EXPECT_EQ(far_width(16777216 - 40, 40), 4);
  EXPECT_EQ(far_width(10, 16777206), 4);
}

TEST(ReferenceBound, ForTheLastRecordItIsFilesizePlusTheRecordOffset) {
  // Record at 12 with a 10-byte stream: patchsize 30, file length 46.
  EXPECT_EQ(reference_bound(100, 46, 30), 112);
  // A later record at offset 46 with patchsize 25: file length 75.
  EXPECT_EQ(reference_bound(100, 75, 25), 146);
  // An earlier record of a longer file reaches further.
  EXPECT_EQ(reference_bound(100, 75, 30), 141);
}

TEST(ReferenceBound, HugePatchsizeGivesANegativeBoundNotAWrappedOne) {
  EXPECT_LT(reference_bound(10, 50, 0xFFFFFFFFu), 0);
  EXPECT_LT(reference_bound(0x7FFFFFFF, 50, 0xFFFFFFFFu), 0x7FFFFFFF);
}

TEST(Magic, ClassifiesCurrentEarlierAndForeign) {
  const auto kind = [](const char* text) {
    return classify_magic(reinterpret_cast<const std::uint8_t*>(text));
  };
  EXPECT_EQ(kind("VLM3"), MagicKind::Current);
  EXPECT_EQ(kind("VLM0"), MagicKind::OtherGeneration);
  EXPECT_EQ(kind("VLM2"), MagicKind::OtherGeneration);
  EXPECT_EQ(kind("VLMx"), MagicKind::OtherGeneration);
  EXPECT_EQ(kind("vlm3"), MagicKind::Foreign);
  EXPECT_EQ(kind("XLM3"), MagicKind::Foreign);
  EXPECT_EQ(kind("VL\0" "3"), MagicKind::Foreign);
}

TEST(RecordFields, TypeWordCarriesModeAndBothRelocValues) {
  EXPECT_EQ(make_type_word(3, 0, 0), 3u);
  EXPECT_EQ(make_type_word(1, 2, 0), 0x20001u);
  EXPECT_EQ(make_type_word(4, 0, 1), 0x40004u);
  EXPECT_EQ(make_type_word(2, 2, 1), 0x60002u);
  EXPECT_EQ(make_type_word(3, 3, 3), 0xF0003u);
  RecordFields fields;
  fields.typeWord = 0x000B0004u;  // old reloc 3, new reloc 2, MODE 4
  EXPECT_EQ(fields.mode(), 4);
  EXPECT_EQ(fields.old_reloc(), 3);
  EXPECT_EQ(fields.new_reloc(), 2);
}

TEST(RecordFields, SixBigEndianWordsInOrder) {
  RecordFields fields;
  fields.patchsize = 28;
  fields.filesize = 8;
  fields.crcOld = 0x01020304u;
  fields.crcNew = 0xA0B0C0D0u;
  fields.typeWord = make_type_word(1, 2, 1);
  fields.blocks = 3;
  std::uint8_t packed[kRecordFieldsSize];
  encode_record_fields(fields, packed);
  const Bytes expected{0, 0, 0, 28, 0, 0, 0, 8, 1, 2, 3, 4, 0xA0, 0xB0, 0xC0, 0xD0,
                       0, 6, 0, 1, 0, 0, 0, 3};
  EXPECT_EQ(Bytes(packed, packed + kRecordFieldsSize), expected);
  const RecordFields back = decode_record_fields(packed);
  EXPECT_EQ(back.patchsize, 28u);
  EXPECT_EQ(back.filesize, 8);
  EXPECT_EQ(back.crcOld, 0x01020304u);
  EXPECT_EQ(back.crcNew, 0xA0B0C0D0u);
  EXPECT_EQ(back.typeWord, 0x60001u);
  EXPECT_EQ(back.blocks, 3u);
}

TEST(RecordFields, FilesizeIsSigned) {
  const std::uint8_t packed[kRecordFieldsSize] = {0, 0, 0, 20, 0xFF, 0xFF, 0xFF, 0xFE};
  EXPECT_EQ(decode_record_fields(packed).filesize, -2);
}

TEST(StreamWords, ReadAndWriteBigEndian) {
  FILE* stream = std::tmpfile();
  ASSERT_TRUE(write_u32(stream, 0x12345678u));
  ASSERT_TRUE(write_u32(stream, 0xFFFFFFFEu));
  EXPECT_EQ(test::read_whole_stream(stream), (Bytes{0x12, 0x34, 0x56, 0x78, 0xFF, 0xFF, 0xFF, 0xFE}));
  std::rewind(stream);
  std::uint32_t value = 0;
  ASSERT_TRUE(read_u32(stream, value));
  EXPECT_EQ(value, 0x12345678u);
  ASSERT_TRUE(read_u32(stream, value));
  EXPECT_EQ(value, 0xFFFFFFFEu);
  EXPECT_FALSE(read_u32(stream, value));
  std::fclose(stream);
  FILE* shortStream = test::stream_with(Bytes{1, 2, 3});
  EXPECT_FALSE(read_u32(shortStream, value));
  std::fclose(shortStream);
}

// A patch file image with records of the given block stream lengths (the
// streams are filler; only the layout matters here).
Bytes patch_file_with(const std::vector<std::uint32_t>& streamLengths) {
  Bytes file;
  for (std::uint32_t length : streamLengths) {
    RecordFields fields;
    fields.patchsize = 20 + length;
    fields.filesize = 1000;
    fields.typeWord = 1;
    file = test::append_record(file, fields, Bytes(length, 0xEE));
  }
  return file;
}

struct Walk {
  bool ok = false;
  std::vector<std::int64_t> offsets;
  std::vector<std::uint32_t> patchsizes;
  std::int64_t end = -1;
  long positionAfter = -1;
};

Walk walk(const Bytes& file, std::uint32_t count, int stopAfter = -1) {
  FILE* stream = test::stream_with(file);
  std::fseek(stream, 12, SEEK_SET);
  Walk result;
  result.ok = walk_records(
      stream, static_cast<std::int64_t>(file.size()), count,
      [&](std::int64_t offset, const RecordFields& fields) {
        result.offsets.push_back(offset);
        result.patchsizes.push_back(fields.patchsize);
        return stopAfter < 0 || static_cast<int>(result.offsets.size()) < stopAfter;
      },
      &result.end);
  result.positionAfter = std::ftell(stream);
  std::fclose(stream);
  return result;
}

TEST(WalkRecords, VisitsEveryRecordAndEndsExactlyAtTheEnd) {
  const Bytes file = patch_file_with({0, 5, 100});
  ASSERT_EQ(file.size(), 12u + 24 + 29 + 124);
  const Walk result = walk(file, 3);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.offsets, (std::vector<std::int64_t>{12, 36, 65}));
  EXPECT_EQ(result.patchsizes, (std::vector<std::uint32_t>{20, 25, 120}));
  EXPECT_EQ(result.end, static_cast<std::int64_t>(file.size()));
  EXPECT_EQ(result.positionAfter, static_cast<long>(file.size()));
}

TEST(WalkRecords, FewerRecordsThanTheFileHoldsEndsBeforeItsEnd) {
  const Bytes file = patch_file_with({0, 5, 100});
  const Walk result = walk(file, 2);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.end, 65);
  const Walk none = walk(file, 0);
  EXPECT_TRUE(none.ok);
  EXPECT_TRUE(none.offsets.empty());
  EXPECT_EQ(none.end, 12);
}

TEST(WalkRecords, VisitorCanStopTheWalk) {
  const Walk result = walk(patch_file_with({0, 5, 100}), 3, 2);
  EXPECT_EQ(result.offsets.size(), 2u);
}

TEST(WalkRecords, TruncatedFilesAreRefused) {
  const Bytes file = patch_file_with({10, 10});
  // Cut inside the second record's fields, and inside its block stream.
  for (std::size_t cut : {12u + 34u + 10u, 12u + 34u + 24u + 9u, 12u + 33u, 20u}) {
    const Bytes truncated(file.begin(), file.begin() + static_cast<long>(cut));
    EXPECT_FALSE(walk(truncated, 2).ok) << "cut at " << cut;
  }
  EXPECT_FALSE(walk(file, 3).ok) << "a count beyond the records present";
}

TEST(WalkRecords, PatchsizeBelowTwentyIsRefused) {
  for (std::uint32_t patchsize : {0u, 4u, 8u, 19u}) {
    Bytes file = patch_file_with({10, 10});
    put_be(file.data() + 12, patchsize, 4);
    EXPECT_FALSE(walk(file, 2).ok) << "patchsize " << patchsize;
    EXPECT_FALSE(walk(file, 1).ok) << "patchsize " << patchsize;
  }
}

TEST(WalkRecords, PatchsizeLeadingPastTheEndIsRefused) {
  Bytes file = patch_file_with({10});
  put_be(file.data() + 12, 31, 4);
  EXPECT_FALSE(walk(file, 1).ok);
  put_be(file.data() + 12, 0xFFFFFFF0u, 4);
  EXPECT_FALSE(walk(file, 1).ok);
  put_be(file.data() + 12, 30, 4);
  EXPECT_TRUE(walk(file, 1).ok);
}

TEST(WalkRecords, HugeCountsEndQuickly) {
  const Bytes file = patch_file_with({10, 3});
  const auto started = std::chrono::steady_clock::now();
  const Walk result = walk(file, 0xFFFFFFFFu);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.offsets.size(), 2u);
  // A file of only zero-length patchsizes would loop in place; those are
  // refused, so even the largest count ends after a few records.
  Bytes zeros = patch_file_with({0});
  put_be(zeros.data() + 12, 0, 4);
  EXPECT_FALSE(walk(zeros, 0x7FFFFFFFu).ok);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
}

}  // namespace
}  // namespace vd
