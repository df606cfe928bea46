#include "core/crc32.h"

#include <gtest/gtest.h>

#include <string>

namespace vd {
namespace {

std::uint32_t crc_of(const std::string& text) {
  return crc32_of(reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<std::int64_t>(text.size()));
}

TEST(Crc32, MatchesTheStandardCheckValues) {
  EXPECT_EQ(crc_of(""), 0x00000000u);
  EXPECT_EQ(crc_of("123456789"), 0xCBF43926u);
  EXPECT_EQ(crc_of("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
}

}  // namespace
}  // namespace vd
