// Length of the common prefix of two byte ranges, eight bytes at a time.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace vd {

inline std::int64_t common_prefix(const std::uint8_t* a, const std::uint8_t* b, std::int64_t limit) {
  std::int64_t n = 0;
  while (n + 8 <= limit) {
    std::uint64_t x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (const std::uint64_t diff = x ^ y; diff != 0) {
      // The first differing byte in memory order is the lowest-addressed one.
      const int bit = std::endian::native == std::endian::little ? std::countr_zero(diff)
                                                                  : std::countl_zero(diff);
      return n + bit / 8;
    }
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

}  // namespace vd
