// Small helpers shared by the unit tests: byte vectors, streams, random data
// and the process-wide working buffer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace vd::test {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes_of(std::string_view text);
Bytes concat(std::initializer_list<Bytes> parts);
std::string hex(const Bytes& bytes, std::size_t limit = 64);

// The whole content of a stream, read from its start; the position is kept.
Bytes read_whole_stream(FILE* stream);
// An anonymous stream holding `content`, positioned at its start.
FILE* stream_with(const Bytes& content);
void write_file(const std::string& path, const Bytes& content);
Bytes read_file(const std::string& path);

// Deterministic pseudo-random bytes (xorshift64*), drawn from [low, high].
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  std::uint64_t next();
  // Uniform in [0, bound).
  std::uint64_t below(std::uint64_t bound) { return bound == 0 ? 0 : next() % bound; }
  Bytes bytes(std::size_t count, std::uint8_t low = 0, std::uint8_t high = 255);
  void fill(std::uint8_t* data, std::size_t count);

 private:
  std::uint64_t state_;
};

// Frees the working buffer so that the next alloc_working_buffer chooses its
// size afresh.
void reset_working_buffer();

}  // namespace vd::test
