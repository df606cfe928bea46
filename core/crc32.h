// CRC-32 (reflected polynomial 0xEDB88320, as in IEEE 802.3), the checksum
// that identifies every file the two programs compare, patch or produce.
#pragma once

#include <cstdint>
#include <cstdio>

namespace vd {

inline constexpr std::uint32_t kCrcStart = 0xFFFFFFFFu;

// Updates a running value; the caller starts from kCrcStart and inverts the
// result. A length of 0 or less leaves the value unchanged.
std::uint32_t crc32_update(std::uint32_t crc, const std::uint8_t* bytes, std::int64_t length);

// The finished CRC-32 of a whole byte range.
inline std::uint32_t crc32_of(const std::uint8_t* bytes, std::int64_t length) {
  return ~crc32_update(kCrcStart, bytes, length);
}

// The finished CRC-32 of the bytes from the stream's position to its end,
// read through the working buffer; the position is restored afterwards.
// A short read ends the run with "Error while reading." and exit 15.
std::uint32_t crc32_stream(FILE* stream, bool deleteOnError);

}  // namespace vd
