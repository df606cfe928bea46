#include "applier/record_table.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>

#include "core/crc32.h"
#include "core/patch_format.h"
#include "core/run_state.h"
#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;

struct Key {
  std::int32_t filesize;
  std::uint32_t crcOld;
};

// A patch file with a correct CRC total; record i carries `streamBytes[i]`
// bytes of block stream, so that records start at irregular offsets.
Bytes patch_file(const std::vector<Key>& keys, const std::vector<std::uint32_t>& streamBytes) {
  Bytes body(4);
  put_be(body.data(), static_cast<std::uint32_t>(keys.size()), 4);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    RecordFields fields;
    fields.patchsize = kFixedFieldsAfterPatchsize + streamBytes[i];
    fields.filesize = keys[i].filesize;
    fields.crcOld = keys[i].crcOld;
    fields.crcNew = static_cast<std::uint32_t>(i);
    fields.typeWord = 1;
    std::uint8_t bytes[kRecordFieldsSize];
    encode_record_fields(fields, bytes);
    body.insert(body.end(), bytes, bytes + sizeof bytes);
    body.insert(body.end(), streamBytes[i], static_cast<std::uint8_t>(i));
  }
  Bytes file(8);
  std::copy(kMagic, kMagic + 4, file.begin());
  put_be(file.data() + 4, crc32_of(body.data(), static_cast<std::int64_t>(body.size())), 4);
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

class RecordTableTest : public testing::Test {
 protected:
  void SetUp() override {
    if (working_buffer().data == nullptr) {
      ASSERT_TRUE(alloc_working_buffer());
    }
  }
  void TearDown() override {
    if (patch_.file != nullptr) std::fclose(patch_.file);
    patch_.file = nullptr;
  }

  void open_patch(const Bytes& content) {
    if (patch_.file != nullptr) std::fclose(patch_.file);
    patch_.file = test::stream_with(content);
  }

  // Rewrites the open file in place, as another program could, and moves its
  // modification time: a change within one tick of the clock must show too.
  void rewrite_patch(const Bytes& content) {
    FILE* patch = patch_.file;
    std::fseek(patch, 0, SEEK_SET);
    std::fwrite(content.data(), 1, content.size(), patch);
    std::fflush(patch);
    struct stat info;
    fstat(fileno(patch), &info);
    const timespec times[2] = {info.st_atim, {info.st_mtim.tv_sec - 5, info.st_mtim.tv_nsec}};
    futimens(fileno(patch), times);
  }

  NamedStream patch_{.name = "p"};
};

void expect_same_choice(const std::optional<ChosenRecord>& fromTable,
                        const std::optional<ChosenRecord>& fromWalk, const std::string& what) {
  ASSERT_EQ(fromTable.has_value(), fromWalk.has_value()) << what;
  if (!fromTable) return;
  EXPECT_EQ(fromTable->offset, fromWalk->offset) << what;
  EXPECT_EQ(fromTable->number, fromWalk->number) << what;
  EXPECT_EQ(fromTable->fields.patchsize, fromWalk->fields.patchsize) << what;
  EXPECT_EQ(fromTable->fields.crcNew, fromWalk->fields.crcNew) << what;
}

// Choosing from the table read once gives what walking the file gives, for
// every old file, in files with several records for one old file.
TEST_F(RecordTableTest, ChoosesWhatAWalkOfTheFileChooses) {
  for (std::uint64_t seed = 0; seed < 40; ++seed) {
    test::Rng rng(seed);
    std::vector<Key> keys(rng.below(30));
    std::vector<std::uint32_t> streamBytes;
    for (Key& key : keys) {
      key = {static_cast<std::int32_t>(5 + rng.below(2)), static_cast<std::uint32_t>(rng.below(3))};
      streamBytes.push_back(static_cast<std::uint32_t>(rng.below(6)));
    }
    const Bytes file = patch_file(keys, streamBytes);
    open_patch(file);
    RecordTable table(patch_);
    const CheckedPatchFile& checked = table.check();
    EXPECT_EQ(checked.length, static_cast<std::int64_t>(file.size()));
    EXPECT_EQ(checked.fileCount, keys.size());
    for (std::int32_t size = 4; size <= 6; ++size) {
      for (std::uint32_t crc = 0; crc <= 3; ++crc) {
        const std::string what = "seed " + std::to_string(seed) + ", size " + std::to_string(size) +
                                 ", crc " + std::to_string(crc);
        expect_same_choice(table.choose(size, crc),
                           select_record(patch_.file, checked.fileCount, checked.length, size, crc), what);
      }
    }
  }
}

// Another program may rewrite the patch file between two passes: the next
// check reads the records again instead of trusting the ones it had.
TEST_F(RecordTableTest, AFileRewrittenSinceTheLastCheckIsReadAgain) {
  const Bytes before = patch_file({{5, 1}, {6, 2}}, {3, 0});
  const Bytes after = patch_file({{5, 3}, {6, 2}}, {0, 3});
  ASSERT_EQ(before.size(), after.size());
  open_patch(before);
  RecordTable table(patch_);
  table.check();
  ASSERT_TRUE(table.choose(5, 1).has_value());
  rewrite_patch(after);
  table.check();
  EXPECT_FALSE(table.choose(5, 1).has_value());
  const auto chosen = table.choose(5, 3);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(chosen->offset, kHeaderSize);
}

using RecordTableDeathTest = RecordTableTest;

TEST_F(RecordTableDeathTest, AFileGrownSinceTheLastCheckHasItsCrcTotalCheckedAgain) {
  open_patch(patch_file({{5, 1}}, {2}));
  RecordTable table(patch_);
  table.check();
  std::fseek(patch_.file, 0, SEEK_END);
  std::fputc('x', patch_.file);
  std::fflush(patch_.file);
  EXPECT_EXIT(table.check(), testing::ExitedWithCode(15), "");
}

}  // namespace
}  // namespace vd
