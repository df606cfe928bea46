// Version strings near the end of a file, found by fuzzing: the search in
// chunks stopped while starts that leave a byte of text were still
// unexamined, so a file of 8 bytes, or one whose last chunk ended 7 or 8
// bytes before the end, hid its version string.
#include <gtest/gtest.h>

#include <string>

#include "core/run_state.h"
#include "core/version.h"
#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;
using test::bytes_of;

std::string found_in_file(const Bytes& content) {
  FILE* stream = test::stream_with(content);
  const char* text = find_version_in_file(stream, false);
  const std::string result = text == nullptr ? "<none>" : text;
  std::fclose(stream);
  return result;
}

class VersionNearTheEnd : public testing::Test {
 protected:
  void SetUp() override { test::reset_working_buffer(); }
  void TearDown() override { test::reset_working_buffer(); }
};

TEST_F(VersionNearTheEnd, EightByteFileIsSearched) {
  ASSERT_TRUE(alloc_working_buffer());
  EXPECT_EQ(found_in_file(bytes_of("$VER: s0")), "s0");
  EXPECT_EQ(found_in_file(bytes_of("$$VER: s")), "s");
  EXPECT_EQ(found_in_file(bytes_of("$VER: a")), "<none>");  // shorter than 8: never searched
}

// The last start that leaves one byte of text, for every file size and
// chunk size: wherever the chunks end, the file search agrees with the
// search in memory.
TEST_F(VersionNearTheEnd, LastPossibleStartIsFoundWhateverTheChunkSize) {
  for (std::uint32_t start : {32u, 64u, 128u}) {
    test::reset_working_buffer();
    ASSERT_TRUE(alloc_working_buffer(start));
    for (std::size_t size = 8; size <= 200; ++size) {
      Bytes content(size, '.');
      const Bytes pattern = bytes_of("$VER: z");
      std::copy(pattern.begin(), pattern.end(), content.end() - 7);
      ASSERT_NE(find_version(content.data(), static_cast<std::int64_t>(size)), nullptr);
      EXPECT_EQ(found_in_file(content), "z")
          << "file of " << size << " bytes, chunks of " << working_buffer().size;
    }
  }
}

}  // namespace
}  // namespace vd
