// Buffered reading of a block stream from the patch file.
//
// Block headers are a few bytes each; reading them one call per byte would
// cost a library call per byte, so they come out of a small look-ahead
// buffer. Data blocks drain that buffer first and then stream the rest
// through the working buffer. Matches that copy from the patch file itself
// read it by position and leave the stream where it was, so the look-ahead
// always continues where the stream stands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/block_stream.h"

namespace vd {

class PatchReader : public ByteSource {
 public:
  PatchReader(FILE* stream, const char* streamName) : stream_(stream), streamName_(streamName) {}

  bool read(std::uint8_t* destination, std::size_t n) override;

  // Copies the next `count` bytes of the stream to `output`. A short read or
  // write ends the run (exit 15, output deleted).
  void copy_to(FILE* output, std::int64_t count, const char* outputName);

  // Bytes fetched from the stream but not yet handed out.
  std::size_t buffered() const { return length_ - position_; }

 private:
  bool refill();

  static constexpr std::size_t kLookAhead = 4096;
  FILE* stream_;
  const char* streamName_;
  std::uint8_t bytes_[kLookAhead];
  std::size_t position_ = 0;
  std::size_t length_ = 0;
};

}  // namespace vd
