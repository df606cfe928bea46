#include "core/version.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/run_state.h"
#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;
using test::bytes_of;
using test::concat;

// The version text find_version reports for an image, or "<none>".
std::string version_of(const Bytes& image) {
  const std::uint8_t* text = find_version(image.data(), static_cast<std::int64_t>(image.size()));
  if (text == nullptr) return "<none>";
  return version_text(text, image.data() + image.size());
}

TEST(FindVersion, NullOrShortImagesHaveNone) {
  EXPECT_EQ(find_version(nullptr, 100), nullptr);
  const Bytes pattern = bytes_of("$VER: ");
  EXPECT_EQ(find_version(pattern.data(), 6), nullptr);
  EXPECT_EQ(find_version(pattern.data(), 0), nullptr);
  EXPECT_EQ(find_version(pattern.data(), -5), nullptr);
}

TEST(FindVersion, PointsJustAfterThePattern) {
  const Bytes image = bytes_of("xx$VER: abc");
  EXPECT_EQ(find_version(image.data(), static_cast<std::int64_t>(image.size())), image.data() + 8);
  const Bytes minimal = bytes_of("$VER: a");
  EXPECT_EQ(find_version(minimal.data(), 7), minimal.data() + 6);
  // A pattern that begins inside a partial one.
  const Bytes repeated = bytes_of("$$VER: z");
  EXPECT_EQ(find_version(repeated.data(), 8), repeated.data() + 7);
}

TEST(FindVersion, TextEndsAtTheFirstControlCharacter) {
  EXPECT_EQ(version_of(concat({bytes_of("$VER: abc"), Bytes{0}, bytes_of("def")})), "abc");
  EXPECT_EQ(version_of(bytes_of("$VER: prog 1.2 (1.1.2000)\nnext line")), "prog 1.2 (1.1.2000)");
  EXPECT_EQ(version_of(bytes_of("$VER: a\x1f" "b")), "a");
  EXPECT_EQ(version_of(bytes_of("$VER: a\x7f" "b")), "a");
  EXPECT_EQ(version_of(bytes_of("$VER: a b\tc")), "a b");
  EXPECT_EQ(version_of(bytes_of("$VER: \x01" "abc")), "");
}

TEST(FindVersion, BytesFrom128To255BelongToTheText) {
  EXPECT_EQ(version_of(bytes_of("$VER: \xE4\xFF\x80x\x7Fz")), "\xE4\xFF\x80x");
}

TEST(FindVersion, TextRunsToTheEndOfTheImage) {
  EXPECT_EQ(version_of(bytes_of("junk$VER: tail")), "tail");
}

TEST(FindVersion, OnlyTheExactPatternCounts) {
  EXPECT_EQ(version_of(bytes_of("$VER:abc def")), "<none>");
  EXPECT_EQ(version_of(bytes_of("$ver: abc def")), "<none>");
  EXPECT_EQ(version_of(bytes_of("$VER abc def")), "<none>");
  EXPECT_EQ(version_of(bytes_of("VER: abc def")), "<none>");
}

TEST(FindVersion, PatternAsTheLastSixBytesIsNotFound) {
  EXPECT_EQ(version_of(bytes_of("some data $VER: ")), "<none>");
  EXPECT_EQ(version_of(bytes_of("some data $VER: x")), "x");
}

TEST(FindVersion, TheFirstOfTwoIsShown) {
  EXPECT_EQ(version_of(concat({bytes_of("$VER: one"), Bytes{0}, bytes_of("$VER: two"), Bytes{0}})), "one");
}

class VersionInFile : public testing::Test {
 protected:
  void SetUp() override { test::reset_working_buffer(); }
  void TearDown() override {
    test::reset_working_buffer();
    for (FILE* stream : streams_) std::fclose(stream);
  }
  // The text found in a file of `content`, or "<none>".
  std::string find(const Bytes& content, bool noVersion = false) {
    FILE* stream = test::stream_with(content);
    streams_.push_back(stream);
    const char* text = find_version_in_file(stream, noVersion);
    return text == nullptr ? "<none>" : std::string(text);
  }
  std::vector<FILE*> streams_;
};

TEST_F(VersionInFile, FindsTheText) {
  ASSERT_TRUE(alloc_working_buffer());
  EXPECT_EQ(find(concat({bytes_of("header$VER: tool 2.1 (3.4.2001)"), Bytes{0}, bytes_of("rest")})),
            "tool 2.1 (3.4.2001)");
  EXPECT_EQ(find(bytes_of("$VER: abc\ndef")), "abc");
  EXPECT_EQ(find(bytes_of("$VER: \xE4\xFF" "b\x7f")), "\xE4\xFF" "b");
  EXPECT_EQ(find(concat({bytes_of("$VER: one"), Bytes{0}, bytes_of("$VER: two"), Bytes{0}})), "one");
}

TEST_F(VersionInFile, NoVersionKeywordSkipsTheSearch) {
  ASSERT_TRUE(alloc_working_buffer());
  EXPECT_EQ(find(bytes_of("xxxx$VER: abc\n"), true), "<none>");
}

TEST_F(VersionInFile, MissingOrShortFilesGiveNothing) {
  ASSERT_TRUE(alloc_working_buffer());
  EXPECT_EQ(find(Bytes{}), "<none>");
  EXPECT_EQ(find(bytes_of("$VER: a")), "<none>");  // 7 bytes: never searched
  EXPECT_EQ(find(bytes_of("$VER: abc")), "abc");   // 9 bytes
  EXPECT_EQ(find(bytes_of("no version string in here at all")), "<none>");
  EXPECT_EQ(find(bytes_of("$ver: lower case")), "<none>");
}

TEST_F(VersionInFile, PatternAsTheLastSixBytesIsNotFound) {
  ASSERT_TRUE(alloc_working_buffer());
  EXPECT_EQ(find(bytes_of("0123456789$VER: ")), "<none>");
  test::reset_working_buffer();
  ASSERT_TRUE(alloc_working_buffer(32));  // 16-byte chunks
  EXPECT_EQ(find(bytes_of("0123456789abcdefghijklmnopqrstuvwxyz$VER: ")), "<none>");
}

TEST_F(VersionInFile, PatternAtEveryOffsetAcrossSmallChunks) {
  ASSERT_TRUE(alloc_working_buffer(64));  // 32-byte chunks, overlapping by six
  ASSERT_EQ(working_buffer().size, 32u);
  // Up to the last start that leaves a byte of text; near the end the text
  // is cut by the end of the file.
  for (std::size_t at = 0; at + 7 <= 120; ++at) {
    Bytes content(120, 'q');
    const Bytes pattern = bytes_of("$VER: v7");
    for (std::size_t k = 0; k < pattern.size() && at + k < content.size(); ++k) content[at + k] = pattern[k];
    if (at + pattern.size() < content.size()) content[at + pattern.size()] = '\n';
    EXPECT_EQ(find(content), std::string("v7").substr(0, content.size() - at - 6)) << "pattern at " << at;
  }
}

TEST_F(VersionInFile, TextLongerThanTheBufferIsCutToFit) {
  ASSERT_TRUE(alloc_working_buffer(64));  // 32 bytes: at most 31 characters and the NUL
  const std::string text(50, 'L');
  EXPECT_EQ(find(concat({bytes_of("$VER: " + text), Bytes{0}})), std::string(31, 'L'));
}

TEST_F(VersionInFile, TextEndsAtTheEndOfTheFile) {
  // The match is in the second chunk; the text after it is shorter than the
  // bytes the buffer held before, which must not show up behind it.
  ASSERT_TRUE(alloc_working_buffer(64));  // 32-byte chunks
  const Bytes content = concat({Bytes(40, 'S'), bytes_of("$VER: ab")});
  EXPECT_EQ(find(content), "ab");
  // Also when the pattern is in the first and only chunk.
  test::reset_working_buffer();
  ASSERT_TRUE(alloc_working_buffer());
  EXPECT_EQ(find(concat({Bytes(100, 'S'), bytes_of("$VER: 1.0")})), "1.0");
}

TEST_F(VersionInFile, ControlCharactersEndTheText) {
  ASSERT_TRUE(alloc_working_buffer(64));
  EXPECT_EQ(find(bytes_of("..........$VER: abc\x01" "defghijklmnopqrstuvwxyz")), "abc");
}

// Near the end of a file (found by fuzzing): the search in chunks once
// stopped while starts that leave a byte of text were still unexamined, so a
// file of 8 bytes, or one whose last chunk ended 7 or 8 bytes before the end,
// hid its version string.
TEST_F(VersionInFile, EightByteFileIsSearched) {
  ASSERT_TRUE(alloc_working_buffer());
  EXPECT_EQ(find(bytes_of("$VER: s0")), "s0");
  EXPECT_EQ(find(bytes_of("$$VER: s")), "s");
  EXPECT_EQ(find(bytes_of("$VER: a")), "<none>");  // shorter than 8: never searched
}

// The last start that leaves one byte of text, for every file size and
// chunk size: wherever the chunks end, the file search agrees with the
// search in memory.
TEST_F(VersionInFile, LastPossibleStartIsFoundWhateverTheChunkSize) {
  for (std::uint32_t start : {32u, 64u, 128u}) {
    test::reset_working_buffer();
    ASSERT_TRUE(alloc_working_buffer(start));
    for (std::size_t size = 8; size <= 200; ++size) {
      Bytes content(size, '.');
      const Bytes pattern = bytes_of("$VER: z");
      std::copy(pattern.begin(), pattern.end(), content.end() - 7);
      ASSERT_NE(find_version(content.data(), static_cast<std::int64_t>(size)), nullptr);
      EXPECT_EQ(find(content), "z") << "file of " << size << " bytes, chunks of " << working_buffer().size;
    }
  }
}

}  // namespace
}  // namespace vd
