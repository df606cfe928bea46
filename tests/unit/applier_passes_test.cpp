#include "applier/passes.h"
#include "applier/record_table.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/patch_format.h"
#include "core/run_state.h"

namespace vd {
namespace {

// Tests may run in parallel processes: each scratch name carries the
// process and the test.
std::string scratch(const std::string& leaf) {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  const std::string test = info != nullptr ? info->name() : "none";
  return testing::TempDir() + "applier_" + std::to_string(getpid()) + "_" + test + "_" + leaf;
}

TEST(VisitedTable, OneByteForEveryRecordThatFitsPlusTheUnusedEntry) {
  EXPECT_EQ(visited_table_size(3, 12 + 3 * 24), 4u);
  EXPECT_EQ(visited_table_size(0xFFFFFFFFu, 12 + 3 * 24), 4u);
  EXPECT_EQ(visited_table_size(0xFFFFFFFFu, 12 + 3 * 24 + 23), 4u);
  EXPECT_EQ(visited_table_size(5, 4), 1u);
}

class SelectionTest : public testing::Test {
 protected:
  void SetUp() override {
    if (working_buffer().data == nullptr) {
      ASSERT_TRUE(alloc_working_buffer());
    }
  }
  void TearDown() override {
    if (patch_ != nullptr) std::fclose(patch_);
    patch_ = nullptr;
    std::remove(scratch("selection").c_str());
  }

  void add_record(std::int32_t filesize, std::uint32_t crcOld, std::uint32_t patchsize = 20) {
    RecordFields fields;
    fields.patchsize = patchsize;
    fields.filesize = filesize;
    fields.crcOld = crcOld;
    fields.typeWord = 1;
    std::uint8_t bytes[kRecordFieldsSize];
    encode_record_fields(fields, bytes);
    file_.insert(file_.end(), bytes, bytes + sizeof bytes);
  }

  void open_patch() {
    const std::string path = scratch("selection");
    FILE* stream = std::fopen(path.c_str(), "w+b");
    std::fwrite(file_.data(), 1, file_.size(), stream);
    patch_ = stream;
  }

  std::int64_t length() const { return static_cast<std::int64_t>(file_.size()); }

  std::vector<std::uint8_t> file_ = std::vector<std::uint8_t>(12, 0);
  FILE* patch_ = nullptr;
};

TEST_F(SelectionTest, TheLastMatchingRecordWins) {
  add_record(100, 0xAAAA);
  add_record(100, 0xBBBB);
  add_record(100, 0xAAAA);
  add_record(200, 0xAAAA);
  open_patch();
  const auto chosen = select_record(patch_, 4, length(), 100, 0xAAAA);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(chosen->number, 3u);
  EXPECT_EQ(chosen->offset, 12 + 2 * 24);
}

TEST_F(SelectionTest, SizeAndCrcMustBothMatch) {
  add_record(100, 0xAAAA);
  open_patch();
  EXPECT_FALSE(select_record(patch_, 1, length(), 101, 0xAAAA).has_value());
  EXPECT_FALSE(select_record(patch_, 1, length(), 100, 0xAAAB).has_value());
}

using SelectionDeathTest = SelectionTest;

TEST_F(SelectionDeathTest, ARecordReachingPastTheEndIsRefused) {
  add_record(100, 0xAAAA, 5000);
  add_record(100, 0xAAAA);
  open_patch();
  EXPECT_EXIT(select_record(patch_, 2, length(), 100, 0xAAAA), testing::ExitedWithCode(15), "");
}

TEST_F(SelectionDeathTest, AForgedCountEndsAtTheEndOfTheFile) {
  add_record(100, 0xAAAA);
  open_patch();
  EXPECT_EXIT(select_record(patch_, 0xFFFFFFFFu, length(), 100, 0xAAAA), testing::ExitedWithCode(15), "");
}

TEST_F(SelectionDeathTest, APatchsizeTooSmallForTheFieldsIsRefused) {
  // patchsize 0 would make the next record start inside this one.
  add_record(100, 0xAAAA, 0);
  add_record(100, 0xAAAA);
  open_patch();
  EXPECT_EXIT(select_record(patch_, 2, length(), 100, 0xAAAA), testing::ExitedWithCode(15), "");
}

}  // namespace
}  // namespace vd
