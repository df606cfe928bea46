// Writing block streams: a buffered byte sink, and the shortest form of
// every block header and match position in each MODE.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

namespace vd {

class BlockWriter {
 public:
  explicit BlockWriter(FILE* out) : out_(out) { buffer_.reserve(kFlushSize); }
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;
  ~BlockWriter() { flush(); }

  void byte(std::uint8_t value) { buffer_.push_back(value); }
  void be(std::uint32_t value, int width);
  void bytes(const std::uint8_t* data, std::int64_t count);
  // Write results are not checked here: a short stream shows when the
  // driver copies the stream into the patch file.
  void flush();
  std::int64_t written() const { return written_ + static_cast<std::int64_t>(buffer_.size()); }

 private:
  static constexpr std::size_t kFlushSize = 1 << 16;
  FILE* out_;
  std::vector<std::uint8_t> buffer_;
  std::int64_t written_ = 0;
};

// MODE 3 and 4 data kinds; MODE 1 and 2 have plain data only.
void write_data_header(BlockWriter& writer, int mode, std::int64_t length, std::uint8_t kind);
void write_match_header(BlockWriter& writer, int mode, std::int64_t length);
// The position of a match at q after a match that ended at `running`.
// `farWidth` is the MODE 3 far width in bytes.
void write_match_position(BlockWriter& writer, int mode, std::int64_t q, std::int64_t running,
                          int farWidth);

}  // namespace vd
