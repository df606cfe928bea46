#include "applier/decoder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "applier/patch_reader.h"
#include "core/run_state.h"

namespace vd {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Tests may run in parallel processes: each scratch name carries the
// process and the test.
std::string scratch(const std::string& leaf) {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  const std::string test = info != nullptr ? info->name() : "none";
  return testing::TempDir() + "applier_" + std::to_string(getpid()) + "_" + test + "_" + leaf;
}

std::string scratch_path(const std::string& leaf) { return scratch(leaf); }

FILE* file_with(const std::string& path, const Bytes& bytes) {
  FILE* stream = std::fopen(path.c_str(), "w+b");
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fseek(stream, 0, SEEK_SET);
  return stream;
}

Bytes contents(FILE* stream) {
  std::fflush(stream);
  std::fseek(stream, 0, SEEK_END);
  Bytes bytes(static_cast<std::size_t>(std::ftell(stream)));
  std::fseek(stream, 0, SEEK_SET);
  EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), stream), bytes.size());
  return bytes;
}

Bytes text(const char* s) { return Bytes(s, s + std::char_traits<char>::length(s)); }

class DecoderTest : public testing::Test {
 protected:
  void SetUp() override {
    if (working_buffer().data == nullptr) {
      ASSERT_TRUE(alloc_working_buffer());
    }
  }

  // A patch file whose one record, at offset 12, holds `stream`; the header
  // and fields are placeholders, since only the block stream is executed.
  void prepare(const Bytes& old, int mode, std::uint32_t blocks, const Bytes& stream) {
    Bytes patch(12 + 24, 0);
    patch[0] = 'V', patch[1] = 'L', patch[2] = 'M', patch[3] = '3';
    patch.insert(patch.end(), stream.begin(), stream.end());
    job_.oldStream = file_with(scratch_path("old"), old);
    job_.oldName = "old";
    job_.oldSize = static_cast<std::int64_t>(old.size());
    job_.patchStream = file_with(scratch_path("patch"), patch);
    std::fseek(job_.patchStream, 36, SEEK_SET);
    job_.patchName = "patch";
    job_.patchLength = static_cast<std::int64_t>(patch.size());
    job_.recordOffset = 12;
    job_.fields.patchsize = static_cast<std::uint32_t>(20 + stream.size());
    job_.fields.filesize = static_cast<std::int32_t>(old.size());
    job_.fields.typeWord = static_cast<std::uint32_t>(mode);
    job_.fields.blocks = blocks;
    job_.output = file_with(scratch_path("out"), {});
    job_.outputName = "out";
  }

  void TearDown() override {
    for (FILE* stream : {job_.oldStream, job_.patchStream, job_.output})
      if (stream != nullptr) std::fclose(stream);
    for (const char* leaf : {"old", "patch", "out", "reader", "reader_out"})
      std::remove(scratch_path(leaf).c_str());
  }

  DecodeJob job_;
};

// The MODE 3 examples over the old file ABCDEFGHIJ.
TEST_F(DecoderTest, Mode3ReplaceDataContinuesBehindTheReplacedBytes) {
  prepare(text("ABCDEFGHIJ"), 3, 3, {0xC2, 0x00, 0x41, 'x', 'y', 0xC4});
  execute_block_stream(job_);
  EXPECT_EQ(contents(job_.output), text("ABCxyFGHIJ"));
}

TEST_F(DecoderTest, Mode3InsertDataContinuesAtTheRunningPosition) {
  prepare(text("ABCDEFGHIJ"), 3, 3, {0xC2, 0x00, 0x01, 'x', 'y', 0xC6});
  execute_block_stream(job_);
  EXPECT_EQ(contents(job_.output), text("ABCxyDEFGHIJ"));
}

TEST_F(DecoderTest, Mode3FarPositionInTwoBytesForASmallFirstRecord) {
  prepare(text("ABCDEFGHIJ"), 3, 2, {0xC9, 0x00, 0xC2, 0x7F, 0x00, 0x05});
  execute_block_stream(job_);
  EXPECT_EQ(contents(job_.output), text("ABCDEFGHIJFGH"));
}

TEST_F(DecoderTest, Mode1WorkedExample) {
  prepare(text("ABCDEFGH"), 1, 3, {0x83, 0x00, 0x03, 'x', 'y', 'z', 0x83, 0x02});
  execute_block_stream(job_);
  EXPECT_EQ(contents(job_.output), text("ABCxyzFGH"));
}

TEST_F(DecoderTest, MatchAtTheOldSizeCopiesThePatchFilesMagicAndResumes) {
  // Match 4 at far u32 10 (= old size), then the data block "ok".
  prepare(text("ABCDEFGHIJ"), 1, 2, {0x84, 0xFF, 0, 0, 0, 10, 0x02, 'o', 'k'});
  execute_block_stream(job_);
  EXPECT_EQ(contents(job_.output), text("VLM3ok"));
}

TEST_F(DecoderTest, ZeroBlocksWriteNothing) {
  prepare(text("ABCDEFGHIJ"), 2, 0, {0x83});
  execute_block_stream(job_);
  EXPECT_TRUE(contents(job_.output).empty());
}

using DecoderDeathTest = DecoderTest;

TEST_F(DecoderDeathTest, RefusesAMatchAtTheBound) {
  // Bound: 10 + 36 + 6 - 26 - 4 = 22; position 22 is out of range.
  prepare(text("ABCDEFGHIJ"), 1, 1, {0x81, 0xFF, 0, 0, 0, 22});
  EXPECT_EXIT(execute_block_stream(job_), testing::ExitedWithCode(15), "");
}

TEST_F(DecoderTest, AcceptsAMatchOneBelowTheBound) {
  // Position 21: offset 11 of the patch file, the placeholder byte 0.
  prepare(text("ABCDEFGHIJ"), 1, 1, {0x81, 0xFF, 0, 0, 0, 21});
  execute_block_stream(job_);
  EXPECT_EQ(contents(job_.output), Bytes{0});
}

TEST_F(DecoderDeathTest, StopsAtTheOutputLimit) {
  // Three matches of the whole old file, with room for two.
  prepare(text("ABCDEFGHIJ"), 1, 3, {0x8A, 0xFE, 0, 0, 0, 0x8A, 0xFE, 0, 0, 0, 0x8A, 0xFE, 0, 0, 0});
  job_.outputLimit = 20;
  EXPECT_EXIT(execute_block_stream(job_), testing::ExitedWithCode(15), "");
}

TEST_F(DecoderTest, TheOutputLimitItselfIsAllowed) {
  prepare(text("ABCDEFGHIJ"), 1, 2, {0x8A, 0xFE, 0, 0, 0, 0x8A, 0xFE, 0, 0, 0});
  job_.outputLimit = 20;
  execute_block_stream(job_);
  EXPECT_EQ(contents(job_.output).size(), 20u);
}

TEST_F(DecoderDeathTest, AHugeBlockCountEndsAtTheEndOfTheFile) {
  prepare(text("ABCDEFGHIJ"), 2, 0xFFFFFFFFu, {0x00, 0x00, 0x00});
  EXPECT_EXIT(execute_block_stream(job_), testing::ExitedWithCode(15), "");
}

class PatchReaderTest : public DecoderTest {};

// The copy is longer than the output's own buffer, so that it reaches the
// file in several writes.
TEST_F(PatchReaderTest, ReadsAcrossItsLookAheadAndCopiesTheRestExactly) {
  const std::size_t copied = OutputSink::kCapacity * 2 + 999;
  Bytes data(5000 + copied + 1);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 13 + i / 251);
  FILE* source = file_with(scratch_path("reader"), data);
  FILE* output = file_with(scratch_path("reader_out"), {});
  PatchReader reader(source, "reader");
  std::uint8_t head[5000];
  ASSERT_TRUE(reader.read(head, sizeof head));
  EXPECT_EQ(Bytes(head, head + sizeof head), Bytes(data.begin(), data.begin() + 5000));
  static OutputSink sink;
  sink.attach(output, "reader_out");
  reader.copy_to(sink, static_cast<std::int64_t>(copied));
  sink.flush();
  std::uint8_t last = 0;
  ASSERT_TRUE(reader.read(&last, 1));
  EXPECT_EQ(last, data.back());
  EXPECT_FALSE(reader.read(&last, 1));
  EXPECT_EQ(contents(output), Bytes(data.begin() + 5000, data.end() - 1));
  std::fclose(source);
  std::fclose(output);
}

}  // namespace
}  // namespace vd
