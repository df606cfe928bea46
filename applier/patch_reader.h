// Buffered reading of a block stream from the patch file.
//
// Block headers are a few bytes each; reading them one call per byte would
// cost a library call per byte, so they come out of a small look-ahead
// buffer. Data blocks drain that buffer first and then read the rest
// straight into the output. Matches that copy from the patch file itself
// read it by position and leave the stream where it was, so the look-ahead
// always continues where the stream stands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "applier/output_sink.h"
#include "core/block_stream.h"

namespace vd {

class PatchReader : public ByteSource {
 public:
  PatchReader(FILE* stream, const char* streamName) : stream_(stream), streamName_(streamName) {}

  // Puts the next `count` bytes of the stream into the output. A short read
  // ends the run (exit 15, output deleted).
  void copy_to(OutputSink& output, std::int64_t count);

 private:
  bool refill() override;

  static constexpr std::size_t kLookAhead = 4096;
  FILE* stream_;
  const char* streamName_;
  // With the bytes a short copy into the output may read beyond them.
  std::uint8_t bytes_[kLookAhead + OutputSink::kShort] = {};
};

}  // namespace vd
