#include "support/test_support.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "core/run_state.h"

namespace vd::test {

Bytes bytes_of(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::string hex(const Bytes& bytes, std::size_t limit) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    if (i != 0) text += ' ';
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 15];
  }
  if (bytes.size() > limit) text += " ...";
  return text;
}

Bytes read_whole_stream(FILE* stream) {
  std::fflush(stream);
  const long position = std::ftell(stream);
  std::fseek(stream, 0, SEEK_END);
  const long size = std::ftell(stream);
  std::fseek(stream, 0, SEEK_SET);
  Bytes content(static_cast<std::size_t>(size));
  const std::size_t got = content.empty() ? 0 : std::fread(content.data(), 1, content.size(), stream);
  content.resize(got);
  std::fseek(stream, position, SEEK_SET);
  return content;
}

FILE* stream_with(const Bytes& content) {
  FILE* stream = std::tmpfile();
  if (stream == nullptr) return nullptr;
  if (!content.empty()) std::fwrite(content.data(), 1, content.size(), stream);
  std::fflush(stream);
  std::rewind(stream);
  return stream;
}

void write_file(const std::string& path, const Bytes& content) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
}

Bytes read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::uint64_t Rng::next() {
  state_ ^= state_ >> 12;
  state_ ^= state_ << 25;
  state_ ^= state_ >> 27;
  return state_ * 0x2545F4914F6CDD1Dull;
}

Bytes Rng::bytes(std::size_t count, std::uint8_t low, std::uint8_t high) {
  Bytes data(count);
  const unsigned span = static_cast<unsigned>(high) - low + 1;
  for (auto& byte : data) byte = static_cast<std::uint8_t>(low + next() % span);
  return data;
}

void Rng::fill(std::uint8_t* data, std::size_t count) {
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    std::uint64_t value = next();
    for (int k = 0; k < 8; ++k, value >>= 8) data[i + k] = static_cast<std::uint8_t>(value);
  }
  for (; i < count; ++i) data[i] = static_cast<std::uint8_t>(next());
}

void reset_working_buffer() {
  WorkingBuffer& buffer = working_buffer();
  std::free(buffer.data);
  buffer = {};
}

}  // namespace vd::test
