// The output of a block stream. Most blocks are a few bytes long: they are
// gathered here and reach the file in large writes, instead of costing a
// library call each.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace vd {

class OutputSink {
 public:
  static constexpr std::size_t kCapacity = 256 * 1024;

  // Starts gathering for `file`, with nothing gathered yet.
  void attach(FILE* file, const char* name);

  // Bytes a source must be able to give beyond any it puts: most blocks
  // are a few bytes long, and copying a fixed kShort bytes, of which only
  // the first n count, costs a fraction of a library call. The sources'
  // buffers end in that many bytes more.
  static constexpr std::size_t kShort = 32;

  void put(const std::uint8_t* bytes, std::size_t n) {
    if (n > kCapacity - used_) return put_in_pieces(bytes, n);
    if (n <= kShort)
      std::memcpy(bytes_.data() + used_, bytes, kShort);
    else
      std::memcpy(bytes_.data() + used_, bytes, n);
    used_ += n;
  }
  // Reads the next `count` bytes of `source` into the output. A short read
  // ends the run (exit 15, output deleted).
  void put_from(FILE* source, const char* sourceName, std::int64_t count);
  // Writes what was gathered to the file; a failed write ends the run
  // (exit 15, output deleted).
  void flush();

 private:
  void put_in_pieces(const std::uint8_t* bytes, std::size_t n);

  FILE* file_ = nullptr;
  const char* name_ = "";
  std::size_t used_ = 0;
  std::array<std::uint8_t, kCapacity + kShort> bytes_;  // room for a short copy at the end
};

}  // namespace vd
