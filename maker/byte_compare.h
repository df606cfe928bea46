// Length of the common prefix of two byte ranges, eight bytes at a time, and
// thirty-two at a time once they agree for long.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace vd {

inline std::uint64_t word_at(const std::uint8_t* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// Whether 32 bytes agree: four words, one branch.
inline bool equal_32(const std::uint8_t* a, const std::uint8_t* b) {
  return ((word_at(a) ^ word_at(b)) | (word_at(a + 8) ^ word_at(b + 8)) | (word_at(a + 16) ^ word_at(b + 16)) |
          (word_at(a + 24) ^ word_at(b + 24))) == 0;
}

inline std::int64_t common_prefix(const std::uint8_t* a, const std::uint8_t* b, std::int64_t limit) {
  std::int64_t n = 0;
  while (n + 8 <= limit) {
    if (const std::uint64_t diff = word_at(a + n) ^ word_at(b + n); diff != 0) {
      // The first differing byte in memory order is the lowest-addressed one.
      const int bit = std::endian::native == std::endian::little ? std::countr_zero(diff)
                                                                  : std::countl_zero(diff);
      return n + bit / 8;
    }
    n += 8;
    // Most comparisons end within their first word; those that do not often
    // run on through a run of one byte value or an unchanged stretch.
    while (n + 32 <= limit && equal_32(a + n, b + n)) n += 32;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

inline bool one_byte_value(const std::uint8_t* bytes, std::int64_t length) {
  return common_prefix(bytes + 1, bytes, length - 1) == length - 1;
}

// Fibonacci hashing: the top bits of a word times this spread every bit of
// the word.
inline constexpr std::uint64_t kHashMultiplier = 0x9E3779B97F4A7C15u;

}  // namespace vd
