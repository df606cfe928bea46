// Writes a parse of the newfile (matches, and the bytes between them) as a
// block stream in the forms a writer may use: data runs split at the MODE's
// limit, and in MODE 3 and 4 the last data block before a match that
// continues at the running position (or as many bytes on as that block
// holds) written as insert (or replace) data, so the match needs no
// position bytes.
#pragma once

#include <cstdint>

#include "maker/block_writer.h"

namespace vd {

class StreamEmitter {
 public:
  StreamEmitter(BlockWriter& writer, int mode, int farWidth, const std::uint8_t* newData);

  // The next `count` newfile bytes, from `position`, go out as data.
  void data(std::int64_t position, std::int64_t count);
  // The next bytes are a match of `length` at reference position q.
  void match(std::int64_t q, std::int64_t length);
  // Writes the open data run; the stream is complete.
  void finish();

  std::uint32_t blocks() const { return blocks_; }
  bool wrote_data() const { return wroteData_; }

 private:
  // Returns whether the match at q that follows needs no position bytes.
  bool flush_data(std::int64_t nextMatch);

  BlockWriter& writer_;
  const int mode_;
  const int farWidth_;
  const std::uint8_t* newData_;
  const std::int64_t limit_;
  std::int64_t running_ = 0;
  std::int64_t dataStart_ = 0;
  std::int64_t dataLength_ = 0;
  std::uint32_t blocks_ = 0;
  bool wroteData_ = false;
};

}  // namespace vd
