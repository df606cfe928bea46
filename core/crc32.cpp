#include "core/crc32.h"

#include <libdeflate.h>

#include "core/break_signal.h"
#include "core/files.h"
#include "core/run_state.h"

namespace vd {

// The library works on finished values (inverted), the routines here on the
// running register, as the rest of the programs expect.
std::uint32_t crc32_update(std::uint32_t crc, const std::uint8_t* bytes, std::int64_t length) {
  if (length <= 0) return crc;
  return ~libdeflate_crc32(~crc, bytes, static_cast<std::size_t>(length));
}

std::uint32_t crc32_stream(FILE* stream, bool deleteOnError) {
  const WorkingBuffer& buffer = working_buffer();
  const long start = std::ftell(stream);
  std::int64_t remaining = stream_length(stream) - start;
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
