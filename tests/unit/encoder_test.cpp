#include "maker/encoder.h"

#include <gtest/gtest.h>

#include <string>

#include "core/crc32.h"
#include "core/patch_format.h"
#include "support/maker_harness.h"
#include "support/record_decoder.h"
#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;
using test::bytes_of;
using test::concat;
using test::EncodeInput;
using test::EncodeOutput;

EncodeInput input(Bytes old, Bytes neu, int minBlock = 3, bool listing = false) {
  EncodeInput in;
  in.old = std::move(old);
  in.neu = std::move(neu);
  in.minBlock = minBlock;
  in.blockListing = listing;
  in.alloc = test::refuse_3d();
  return in;
}

TEST(EncoderExamples, Mode1MatchThenData) {
  const EncodeOutput out = test::run_encoder(1, input(bytes_of("0123456789"), bytes_of("0123456789XY")));
  EXPECT_EQ(test::hex(out.stream), test::hex(Bytes{0x8A, 0x00, 0x02, 'X', 'Y'}));
  EXPECT_EQ(out.result.blocks, 2u);
  EXPECT_EQ(out.result.patchsize, 25);
  EXPECT_FALSE(out.result.identical);
}

TEST(EncoderExamples, Mode1BlockListingAndProgress) {
  const EncodeOutput listed = test::run_encoder(1, input(bytes_of("0123456789"), bytes_of("0123456789XY"), 3, true));
  EXPECT_EQ(listed.console,
            "       0 match:       10 bytes from position        0 in old\n"
            "      10 data:         2 bytes\n");
  // Without the listing: the percentage of every position searched, each
  // printed once (0, then 10, 11 and 12 of 12 bytes).
  const EncodeOutput plain = test::run_encoder(1, input(bytes_of("0123456789"), bytes_of("0123456789XY")));
  EXPECT_EQ(plain.console, "\r  0%\r 83%\r 91%\r100%");
}

TEST(EncoderExamples, OneByteDataLineEndsInABlank) {
  const EncodeOutput out = test::run_encoder(1, input(bytes_of("0123456789"), bytes_of("0123456789X"), 3, true));
  EXPECT_EQ(out.console,
            "       0 match:       10 bytes from position        0 in old\n"
            "      10 data:         1 byte \n");
  EXPECT_EQ(test::hex(out.stream), test::hex(Bytes{0x8A, 0x00, 0x01, 'X'}));
}

TEST(EncoderExamples, Mode3InsertData) {
  const EncodeOutput out =
      test::run_encoder(3, input(bytes_of("ABCDEFGHIJKLMNOP"), bytes_of("ABCDEFGHxyIJKLMNOP")));
  EXPECT_EQ(test::hex(out.stream), test::hex(Bytes{0xC7, 0x00, 0x01, 'x', 'y', 0xC7}));
  EXPECT_EQ(out.result.blocks, 3u);
  EXPECT_EQ(out.result.patchsize, 26);
  EXPECT_EQ(out.replacePosition, 10);
}

TEST(EncoderExamples, Mode3ReplaceData) {
  const EncodeOutput out =
      test::run_encoder(3, input(bytes_of("ABCDEFGHIJKLMNOP"), bytes_of("ABCDEFGHxyKLMNOP")));
  EXPECT_EQ(test::hex(out.stream), test::hex(Bytes{0xC7, 0x00, 0x41, 'x', 'y', 0xC5}));
  EXPECT_EQ(out.result.blocks, 3u);
  EXPECT_EQ(out.result.patchsize, 26);
}

TEST(EncoderExamples, Mode4InsertAndReplaceData) {
  // The same files in MODE 4: headers carry the length itself (kind + n).
  EncodeOutput out = test::run_encoder(4, input(bytes_of("ABCDEFGHIJKLMNOP"), bytes_of("ABCDEFGHxyIJKLMNOP")));
  EXPECT_EQ(test::hex(out.stream), test::hex(Bytes{0xC8, 0x00, 0x02, 'x', 'y', 0xC8}));
  out = test::run_encoder(4, input(bytes_of("ABCDEFGHIJKLMNOP"), bytes_of("ABCDEFGHxyKLMNOP")));
  EXPECT_EQ(test::hex(out.stream), test::hex(Bytes{0xC8, 0x00, 0x42, 'x', 'y', 0xC6}));
}

// 20,000 bytes that nothing in the oldfile matches.
Bytes unmatched() { return test::Rng(31).bytes(20000, 1, 255); }

TEST(EncoderExamples, LongUnmatchedStretchSplitsAtTheDataLimit) {
  const Bytes old(10, 0);
  const Bytes neu = unmatched();
  const struct {
    int mode;
    Bytes headers[3];
    std::uint32_t blocks;
    std::int64_t lengths[3];
  } cases[] = {
      {1, {{0x00, 0x4D, 0xA1}}, 1, {20000}},
      {2, {{0x7F, 0xFF}, {0x4E, 0x21}}, 2, {16383, 3617}},
      {3, {{0xBF, 0xFF}, {0xBF, 0xFF}, {0xAD, 0xBF}}, 3, {8224, 8224, 3552}},
      {4, {{0x80, 0x4D, 0xE1}}, 1, {20000}},
  };
  for (const auto& c : cases) {
    const EncodeOutput out = test::run_encoder(c.mode, input(old, neu));
    Bytes expected;
    std::int64_t at = 0;
    for (std::uint32_t i = 0; i < c.blocks; ++i) {
      expected = concat({expected, c.headers[i], Bytes(neu.begin() + at, neu.begin() + at + c.lengths[i])});
      at += c.lengths[i];
    }
    EXPECT_EQ(out.result.blocks, c.blocks) << "MODE " << c.mode;
    EXPECT_EQ(out.result.patchsize, 20 + static_cast<std::int64_t>(expected.size())) << "MODE " << c.mode;
    EXPECT_TRUE(out.stream == expected) << "MODE " << c.mode << ": " << test::hex(out.stream, 8);
  }
}

TEST(EncoderExamples, EmptyNewfile) {
  for (int mode = 0; mode <= 4; ++mode) {
    const EncodeOutput out = test::run_encoder(mode, input(bytes_of("0123456789"), Bytes{}));
    EXPECT_TRUE(out.stream.empty());
    EXPECT_EQ(out.result.blocks, 0u);
    EXPECT_EQ(out.result.patchsize, 20);
    EXPECT_EQ(out.console, "");
    if (mode == 1) {
      EXPECT_TRUE(out.result.identical);
    }
  }
}

TEST(EncoderExamples, IdenticalFilesInMode1) {
  EncodeOutput out = test::run_encoder(1, input(bytes_of("abcde"), bytes_of("abcde")));
  EXPECT_EQ(test::hex(out.stream), test::hex(Bytes{0x85, 0x00}));
  EXPECT_TRUE(out.result.identical);
  out = test::run_encoder(1, input(bytes_of("abcd"), bytes_of("abcd")));
  EXPECT_EQ(test::hex(out.stream), test::hex(Bytes{0x04, 'a', 'b', 'c', 'd'}));
  EXPECT_FALSE(out.result.identical);
  const Bytes big = test::Rng(32).bytes(70000);
  out = test::run_encoder(1, input(big, big));
  EXPECT_EQ(test::hex(out.stream), test::hex(Bytes{0x80, 0x00, 0x00, 0x01, 0x11, 0x70, 0x00}));
  EXPECT_TRUE(out.result.identical);
  // More than one block is never identical.
  out = test::run_encoder(1, input(bytes_of("abcdefghij"), bytes_of("fghijabcde")));
  EXPECT_EQ(out.result.blocks, 2u);
  EXPECT_FALSE(out.result.identical);
}

TEST(EncoderExamples, MatchInThePatchFileIsListedWithItsOffset) {
  // An earlier record holds the literal bytes; the new one copies them.
  const Bytes payload = bytes_of("literal bytes of an earlier record");
  RecordFields fields;
  fields.patchsize = 20 + 1 + static_cast<std::uint32_t>(payload.size());
  fields.typeWord = 1;
  fields.blocks = 1;
  const Bytes patch = test::append_record({}, fields, concat({Bytes{static_cast<std::uint8_t>(payload.size())}, payload}));
  EncodeInput in = input(bytes_of("0123456789"), payload, 3, true);
  in.patch = patch;
  const EncodeOutput out = test::run_encoder(1, in);
  EXPECT_EQ(out.console, "       0 match:       34 bytes from position       37 in patch\n");
  // Reference position 10 + 37, near the running position 0.
  EXPECT_EQ(test::hex(out.stream), test::hex(Bytes{0xA2, 0x2F}));
}

TEST(EncoderExamples, LinearSearchListsTheOldfile) {
  EncodeInput in = input(bytes_of("ABCDEFGHIJKLMNOP"), bytes_of("ABCDEFGHxyKLMNOP"), 3, true);
  const EncodeOutput out = test::run_encoder(0, in);
  EXPECT_EQ(out.console,
            "       0 match:        8 bytes from position        0 in old\n"
            "       8 data:         2 bytes\n"
            "      10 match:        6 bytes from position       10 in old\n");
  EXPECT_EQ(test::hex(out.stream), test::hex(Bytes{0xC7, 0x00, 0x41, 'x', 'y', 0xC5}));
}

TEST(EncoderExamples, Mode3FarWidthOfARecordAfterAnEmptyPatchFile) {
  // The patch file holds only its header, so the record is the first one at
  // offset 12: readers use W = filesize, giving two bytes for an oldfile of
  // 65,530 bytes (the sum with the patch file's 12 bytes would need three).
  Bytes old = test::Rng(33).bytes(65530);
  const Bytes neu = concat({Bytes(old.begin() + 40000, old.begin() + 40100), Bytes(old.begin() + 100, old.begin() + 200)});
  EncodeInput in = input(old, neu);
  in.patch = {'V', 'L', 'M', '3', 0, 0, 0, 0, 0, 0, 0, 0};
  put_be(in.patch.data() + 4, crc32_of(in.patch.data() + 8, 4), 4);
  const EncodeOutput out = test::run_encoder(3, in);
  EXPECT_EQ(test::hex(out.stream), test::hex(Bytes{0xE0, 0x43, 0x7F, 0x9C, 0x40, 0xE0, 0x43, 0x7F, 0x00, 0x64}));
  // And what the reader decodes from the appended record.
  RecordFields fields;
  fields.patchsize = static_cast<std::uint32_t>(out.result.patchsize);
  fields.filesize = static_cast<std::int32_t>(old.size());
  fields.crcOld = crc32_of(old.data(), static_cast<std::int64_t>(old.size()));
  fields.crcNew = crc32_of(neu.data(), static_cast<std::int64_t>(neu.size()));
  fields.typeWord = 3;
  fields.blocks = out.result.blocks;
  std::int64_t offset = 0;
  const Bytes file = test::append_record(in.patch, fields, out.stream, &offset);
  ASSERT_EQ(offset, 12);
  const test::DecodedRecord decoded = test::decode_record(old, file, offset);
  EXPECT_TRUE(decoded.ok) << decoded.error;
}

TEST(EncoderExamples, Mode3FarWidthOfALaterRecordCountsThePatchFile) {
  // oldSize 65,000 plus an existing patch file of 588 bytes: three bytes.
  Bytes old = test::Rng(34).bytes(65000);
  RecordFields fields;
  fields.patchsize = 20 + 1 + 2 + 550;
  fields.typeWord = 2;
  fields.blocks = 1;
  const Bytes earlier = concat({Bytes{0x42, 0x26}, test::Rng(35).bytes(550)});
  const Bytes patch = test::append_record({}, fields, earlier);
  ASSERT_EQ(patch.size(), 12u + 24 + 552);
  const Bytes neu = concat({Bytes(old.begin() + 40000, old.begin() + 40100), Bytes(old.begin() + 100, old.begin() + 200)});
  EncodeInput in = input(old, neu);
  in.patch = patch;
  const EncodeOutput out = test::run_encoder(3, in);
  EXPECT_EQ(test::hex(out.stream),
            test::hex(Bytes{0xE0, 0x43, 0x7F, 0x00, 0x9C, 0x40, 0xE0, 0x43, 0x7F, 0x00, 0x00, 0x64}));
}

TEST(EncoderExamples, Mode2FarPositionAboveTheThreeByteForm) {
  // Old file of 8,388,700 bytes; the newfile copies its last 90 bytes, from 8,388,610 on.
  Bytes old(8388700);
  test::Rng(36).fill(old.data(), old.size());
  const Bytes neu(old.begin() + 8388610, old.begin() + 8388710 - 10);
  const EncodeOutput out = test::run_encoder(2, input(old, neu));
  EXPECT_EQ(test::hex(out.stream), test::hex(Bytes{0xC0, 0x5A, 0xFF, 0xFF, 0xFF, 0x00, 0x80, 0x00, 0x02}));
  EXPECT_EQ(out.result.patchsize, 20 + 2 + 7);
}

}  // namespace
}  // namespace vd
