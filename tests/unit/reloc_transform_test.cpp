#include "core/reloc.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace vd {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Builds hunk images longword by longword.
class Image {
 public:
  // HUNK_HEADER with no resident names and `hunks` hunk sizes.
  explicit Image(std::uint32_t hunks = 1) {
    longs({0x3F3, 0, hunks, 0, hunks - 1});
    for (std::uint32_t i = 0; i < hunks; ++i) longword(1);
  }
  Image& longword(std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<std::uint8_t>(v >> shift));
    return *this;
  }
  Image& word(std::uint16_t v) {
    bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    bytes.push_back(static_cast<std::uint8_t>(v));
    return *this;
  }
  Image& longs(std::initializer_list<std::uint32_t> values) {
    for (std::uint32_t v : values) longword(v);
    return *this;
  }
  Image& words(std::initializer_list<std::uint16_t> values) {
    for (std::uint16_t v : values) word(v);
    return *this;
  }
  Image& code(std::uint32_t longwords) {
    longs({0x3E9, longwords});
    for (std::uint32_t i = 0; i < longwords; ++i) longword(0x4E754E75);
    return *this;
  }
  Bytes bytes;
};

std::uint32_t long_at(const Bytes& b, std::size_t p) {
  return std::uint32_t(b[p]) << 24 | std::uint32_t(b[p + 1]) << 16 | std::uint32_t(b[p + 2]) << 8 | b[p + 3];
}
std::uint16_t word_at(const Bytes& b, std::size_t p) { return static_cast<std::uint16_t>(b[p] << 8 | b[p + 1]); }

int difference(Bytes& b) {
  return reloc_transform(b.data(), static_cast<std::int64_t>(b.size()), RelocDirection::Difference);
}
int sum(Bytes& b) { return reloc_transform(b.data(), static_cast<std::int64_t>(b.size()), RelocDirection::Sum); }

TEST(RelocTransform, LeavesDataThatIsNoHunkExecutableAlone) {
  Bytes shortImage = {0, 0, 3, 0xF3, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
  Bytes text(64, 'x');
  Bytes withNames = Image().code(1).longs({0x3EC, 2, 0, 16, 40, 0x3F2}).bytes;
  withNames[7] = 1;  // a resident library name follows the header: not an executable
  Bytes firstHunkNotZero = Image().code(1).longs({0x3EC, 2, 0, 16, 40, 0x3F2}).bytes;
  firstHunkNotZero[15] = 1;
  for (Bytes* image : {&shortImage, &text, &withNames, &firstHunkNotZero}) {
    const Bytes before = *image;
    EXPECT_EQ(difference(*image), 0);
    EXPECT_EQ(*image, before);
  }
}

TEST(RelocTransform, AnExecutableWithoutRelocationsGivesZero) {
  Bytes image = Image().code(2).longs({0x3EB, 10, 0x3F2}).bytes;
  const Bytes before = image;
  EXPECT_EQ(difference(image), 0);
  EXPECT_EQ(image, before);
}

TEST(RelocTransform, Reloc32GroupBecomesDifferencesAndSumsBack) {
  Bytes image = Image().code(16).longs({0x3EC, 3, 0, 16, 40, 44, 0, 0x3F2}).bytes;
  const Bytes before = image;
  const std::size_t first = image.size() - 5 * 4;
  EXPECT_EQ(difference(image), 2);
  EXPECT_EQ(long_at(image, first), 16u);
  EXPECT_EQ(long_at(image, first + 4), 24u);
  EXPECT_EQ(long_at(image, first + 8), 4u);
  EXPECT_EQ(sum(image), 0);
  EXPECT_EQ(image, before);
}

TEST(RelocTransform, DifferencesWrapModuloTheOffsetWidth) {
  Bytes longs = Image().code(1).longs({0x3EC, 2, 0, 100, 4, 0, 0x3F2}).bytes;
  const std::size_t longFirst = longs.size() - 4 * 4;
  EXPECT_EQ(difference(longs), 2);
  EXPECT_EQ(long_at(longs, longFirst + 4), 0xFFFFFFA0u);

  // Offsets 65520 and 16 in a short group become 65520 and 32.
  Bytes words = Image().code(1).longword(0x3FC).words({2, 0, 65520, 16, 0, 0}).longword(0x3F2).bytes;
  const std::size_t wordFirst = words.size() - 4 - 2 * 2 - 2 * 2;
  const Bytes before = words;
  EXPECT_EQ(difference(words), 2);
  EXPECT_EQ(word_at(words, wordFirst), 65520);
  EXPECT_EQ(word_at(words, wordFirst + 2), 32);
  sum(words);
  EXPECT_EQ(words, before);
}

TEST(RelocTransform, SkipsTheAlignmentWordAfterAnOddShortRelocationHunk) {
  // count, hunk, three offsets, terminator: six words, so no padding ...
  Bytes even = Image().code(1).longword(0x3F7).words({3, 0, 8, 12, 20, 0}).longword(0x3F2).bytes;
  EXPECT_EQ(difference(even), 2);
  // ... count, hunk, two offsets, terminator: five words and two bytes of padding.
  Bytes odd = Image().code(1).longword(0x3FC).words({2, 0, 8, 12, 0, 0xFFFF}).longword(0x3F2).bytes;
  EXPECT_EQ(difference(odd), 2);
  EXPECT_EQ(word_at(odd, odd.size() - 6), 0xFFFF) << "the padding word is not an offset";
}

TEST(RelocTransform, WalksEveryKnownHunkType) {
  Image image(2);
  image.longs({0x3E8, 1, 0x41424344});            // HUNK_NAME
  image.code(2);                                  // HUNK_CODE
  image.longs({0x3EC, 2, 0, 4, 0, 0});            // HUNK_RELOC32
  image.longs({0x3F0, 1, 0x41424344, 7, 0});      // HUNK_SYMBOL: one entry, then the zero length
  image.longs({0x3F1, 2, 1, 2});                  // HUNK_DEBUG
  image.longs({0x3F2});                           // HUNK_END
  image.longs({0x3EA, 1, 5});                     // HUNK_DATA
  image.longword(0x3F7).words({2, 1, 30, 40, 0, 0});  // HUNK_DREL32 + alignment
  image.longs({0x3EB, 100, 0x3F2});               // HUNK_BSS, HUNK_END
  Bytes bytes = image.bytes;
  const Bytes before = bytes;
  EXPECT_EQ(difference(bytes), 2);
  EXPECT_NE(bytes, before);
  sum(bytes);
  EXPECT_EQ(bytes, before);
}

TEST(RelocTransform, MemoryFlagsOnTheTypeLongwordAreIgnored) {
  Image image;
  image.longs({0xC00003E9, 1, 0});  // HUNK_CODE with both memory flag bits
  image.longs({0x3EC, 2, 0, 8, 12, 0, 0x3F2});
  Bytes bytes = image.bytes;
  EXPECT_EQ(difference(bytes), 2);
  EXPECT_EQ(long_at(bytes, bytes.size() - 12), 4u);
}

TEST(RelocTransform, TrailingBytesOrAnUnknownHunkGiveOne) {
  Bytes trailing = Image().code(1).longs({0x3EC, 2, 0, 8, 12, 0, 0x3F2, 0x12345678}).bytes;
  EXPECT_EQ(difference(trailing), 1);
  Bytes unknown = Image().code(1).longs({0x3EC, 2, 0, 8, 12, 0, 0x3F5, 0x3F2}).bytes;
  EXPECT_EQ(difference(unknown), 1);
}

TEST(RelocTransform, AGroupReachingPastTheEndIsLeftUntouched) {
  Bytes image = Image().code(1).longs({0x3EC, 1000, 0, 8, 12}).bytes;
  const Bytes before = image;
  EXPECT_EQ(difference(image), 0);
  EXPECT_EQ(image, before);
  // After a transformed group the flag stays, without the end-of-image test.
  Bytes second = Image().code(1).longs({0x3EC, 2, 0, 8, 12, 1000, 0, 1}).bytes;
  EXPECT_EQ(difference(second), 1);
}

TEST(RelocTransform, HugeLengthsAndCountsEndTheWalkSafely) {
  const std::initializer_list<std::uint32_t> tails[] = {
      {0x3E9, 0xFFFFFFFF},                 // a code hunk as long as the counter allows
      {0x3F0, 0xFFFFFFFF, 0},              // a symbol name longer than anything
      {0x3EC, 0xFFFFFFFF, 0, 1},           // a relocation count that wraps 32 bits when multiplied
      {0x3EC, 0x40000001, 0, 1},
  };
  for (const auto& tail : tails) {
    Bytes image = Image().code(1).longs({0x3EC, 2, 0, 8, 12, 0}).longs(tail).bytes;
    Bytes copy = image;
    const int result = difference(copy);
    EXPECT_EQ(result, 1);
    sum(copy);
    EXPECT_EQ(copy, image);
  }
  // A header whose hunk table size points far beyond the image.
  Bytes header = Image().bytes;
  header[8] = header[9] = header[10] = header[11] = 0xFF;
  EXPECT_EQ(difference(header), 0);
}

TEST(RelocTransform, RealExecutablesWalkToTheirEndAndRestoreExactly) {
  const std::filesystem::path folder = std::filesystem::path(VARDELTA_SOURCE_DIR) / "../shared/data/hunk";
  if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no hunk executables at " << folder;
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    const auto name = entry.path().filename().string();
    if (!entry.is_regular_file() || entry.path().extension() == ".tsv" || entry.path().extension() == ".md" ||
        entry.path().string().find("licenses") != std::string::npos)
      continue;
    std::ifstream in(entry.path(), std::ios::binary);
    Bytes image((std::istreambuf_iterator<char>(in)), {});
    const Bytes before = image;
    EXPECT_EQ(difference(image), 2) << name;
    sum(image);
    EXPECT_EQ(image, before) << name;
    ++files;
  }
  EXPECT_GT(files, 50);
}

}  // namespace
}  // namespace vd
