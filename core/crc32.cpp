#include "core/crc32.h"

#include <array>
#include <cstring>

#include "core/break_signal.h"
#include "core/run_state.h"

namespace vd {
namespace {

// Slicing-by-8: table k maps a byte to its effect k bytes further on, so eight
// bytes are folded in with eight lookups and no per-byte dependency chain.
using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr Tables make_tables() {
  Tables t{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    t[0][n] = c;
  }
  for (std::uint32_t n = 0; n < 256; ++n)
    for (int k = 1; k < 8; ++k) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
  return t;
}

constexpr Tables kTables = make_tables();

std::uint32_t load_le32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

}  // namespace

std::uint32_t crc32_update(std::uint32_t crc, const std::uint8_t* bytes, std::int64_t length) {
  while (length >= 8) {
    const std::uint32_t low = load_le32(bytes) ^ crc;
    const std::uint32_t high = load_le32(bytes + 4);
    crc = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^
          kTables[5][(low >> 16) & 0xFF] ^ kTables[4][low >> 24] ^
          kTables[3][high & 0xFF] ^ kTables[2][(high >> 8) & 0xFF] ^
          kTables[1][(high >> 16) & 0xFF] ^ kTables[0][high >> 24];
    bytes += 8;
    length -= 8;
  }
  for (; length > 0; --length) crc = kTables[0][(crc ^ *bytes++) & 0xFF] ^ (crc >> 8);
  return crc;
}

std::uint32_t crc32_stream(FILE* stream, bool deleteOnError) {
  const WorkingBuffer& buffer = working_buffer();
  const long start = std::ftell(stream);
  std::fseek(stream, 0, SEEK_END);
  std::int64_t remaining = std::ftell(stream) - start;
  std::fseek(stream, start, SEEK_SET);
  std::uint32_t crc = kCrcStart;
  while (remaining > 0) {
    check_break();
    const std::size_t n =
        remaining < buffer.size ? static_cast<std::size_t>(remaining) : buffer.size;
    if (std::fread(buffer.data, 1, n, stream) != n)
      fatal_exit("Error while reading.", 15, deleteOnError);
    remaining -= static_cast<std::int64_t>(n);
    crc = crc32_update(crc, buffer.data, static_cast<std::int64_t>(n));
  }
  std::fseek(stream, start, SEEK_SET);
  return ~crc;
}

}  // namespace vd
