#include "core/crc32.h"

#include <libdeflate.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <csetjmp>
#include <csignal>

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

namespace {

// A page of a mapping that the file no longer reaches raises SIGBUS when it
// is read; the handler takes the read back to where it began.
sigjmp_buf* mappedReadJump = nullptr;

void on_bus_error(int) { siglongjmp(*mappedReadJump, 1); }

constexpr std::int64_t kMappedChunk = std::int64_t{1} << 18;

}  // namespace

// The pages of each 256 KB are let go once summed: they stay in the
// system's cache, but are not counted as this process's memory.
MappedRead crc32_update_mapped(int fd, std::int64_t start, std::int64_t end, std::uint32_t& crc) {
  if (start >= end) return MappedRead::Done;
  void* mapped = mmap(nullptr, static_cast<std::size_t>(end), PROT_READ, MAP_SHARED, fd, 0);
  if (mapped == MAP_FAILED) return MappedRead::Unmappable;
  const auto* bytes = static_cast<const std::uint8_t*>(mapped);
  struct sigaction guard {};
  struct sigaction previous {};
  guard.sa_handler = on_bus_error;
  sigemptyset(&guard.sa_mask);
  sigjmp_buf jump;
  mappedReadJump = &jump;
  sigaction(SIGBUS, &guard, &previous);
  volatile std::uint32_t value = crc;
  volatile bool complete = false;
  if (sigsetjmp(jump, 1) == 0) {
    for (std::int64_t chunk = start / kMappedChunk * kMappedChunk; chunk < end; chunk += kMappedChunk) {
      check_break();
      const std::int64_t from = std::max(chunk, start);
      const std::int64_t to = std::min(chunk + kMappedChunk, end);
      value = crc32_update(value, bytes + from, to - from);
      madvise(const_cast<std::uint8_t*>(bytes) + chunk, static_cast<std::size_t>(to - chunk), MADV_DONTNEED);
    }
    complete = true;
  }
  sigaction(SIGBUS, &previous, nullptr);
  mappedReadJump = nullptr;
  munmap(mapped, static_cast<std::size_t>(end));
  if (!complete) return MappedRead::Shrunk;
  crc = value;
  return MappedRead::Done;
}

// A file that shrank within its last page reads as zeros there, not as a
// fault: its size after the read tells.
std::uint32_t crc32_stream_mapped(FILE* stream, bool deleteOnError) {
  struct stat before {};
  if (std::fflush(stream) != 0 || fstat(fileno(stream), &before) != 0 || !S_ISREG(before.st_mode))
    return crc32_stream(stream, deleteOnError);
  const long start = std::ftell(stream);
  if (start < 0) return crc32_stream(stream, deleteOnError);
  const std::int64_t end = before.st_size;
  std::uint32_t crc = kCrcStart;
  const MappedRead read = crc32_update_mapped(fileno(stream), start, end, crc);
  if (read == MappedRead::Unmappable) return crc32_stream(stream, deleteOnError);
  struct stat after {};
  if (read == MappedRead::Shrunk || fstat(fileno(stream), &after) != 0 || after.st_size < end)
    fatal_exit("Error while reading.", 15, deleteOnError);
  return ~crc;
}

}  // namespace vd
