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

// The same, read through a mapping of the file 256 KB at a time where
// the file is a regular one that can be mapped, so that no copy of its bytes
// is made; otherwise as crc32_stream reads it. A file that shrinks while it
// is read ends the run as a short read does.
std::uint32_t crc32_stream_mapped(FILE* stream, bool deleteOnError);

enum class MappedRead { Done, Unmappable, Shrunk };
// Adds the bytes [start, end) of the file `fd` to `crc` through a mapping.
// Shrunk when some of them are no longer in the file as they are read.
MappedRead crc32_update_mapped(int fd, std::int64_t start, std::int64_t end, std::uint32_t& crc);

}  // namespace vd
