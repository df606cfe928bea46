// Bytes that one pass over the newfile writes in ascending order of newfile
// position, for the next pass to read in the same order.
//
// They go in chunks of 64 KiB, and a chunk the next pass has read serves
// the pass that writes: the log holds about one pass at a time. What does
// not fit in the memory allowed is left out; entries go on once a chunk is
// free again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/run_state.h"
#include "maker/file_lists.h"

namespace vd {

// Numbers of seven bits a byte, the lowest first; a 32-bit one takes at
// most 5 bytes, a 64-bit one at most 10.
std::uint8_t* put_number(std::uint8_t* at, std::uint64_t value);
const std::uint8_t* get_number(const std::uint8_t* at, std::uint64_t& value);
const std::uint8_t* get_number(const std::uint8_t* at, std::uint32_t& value);

class PassLog {
 public:
  static constexpr std::size_t kChunkBytes = 65536;

  explicit PassLog(ZeroAllocator alloc) : alloc_(alloc) {}

  // Forgets both passes and takes at most `bytes` of memory from now on,
  // after the memory `lent`, which stays the lender's and must not be used
  // by it until the next restart.
  void restart(std::size_t bytes, std::span<std::uint8_t> lent = {});
  // What the pass that ends wrote becomes what the next one reads.
  void start_pass();

  // Room for an entry of at most `most` bytes (no more than a chunk), or
  // null when there is none; `wrote` then counts the bytes it took.
  std::uint8_t* room(std::size_t most);
  void wrote(std::size_t bytes) { current_.used.back() += bytes; }

  // The previous pass's next entry, or null after its last; `read` then
  // passes over the bytes it took.
  const std::uint8_t* next();
  void read(std::size_t bytes) { readOffset_ += bytes; }

 private:
  using Chunk = std::uint8_t*;
  struct Pass {
    std::vector<Chunk> chunks;
    std::vector<std::size_t> used;  // bytes of each chunk
  };

  void release(Pass& pass);
  Chunk take_chunk();

  ZeroAllocator alloc_;
  std::size_t chunksLeft_ = 0;
  std::vector<std::unique_ptr<std::uint8_t[], FreeDeleter>> allocated_;
  std::vector<Chunk> spare_;
  Pass previous_;
  std::size_t readChunk_ = 0;
  std::size_t readOffset_ = 0;
  Pass current_;
};

}  // namespace vd
