// Parsing the block stream of a patch record, in the four MODEs.
//
// Every block appends L bytes to the new file: a data block carries them in
// the stream, a match block copies them from the reference space (the old
// file, then the patch file itself). Near positions are relative to the
// running position, the end of the previous match; far positions are
// absolute. In MODE 3 and 4, insert and replace data announce that the next
// match carries no position and continues at the running position (insert)
// or that many bytes further on (replace).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/block_forms.h"

namespace vd {

struct Block {
  BlockKind kind = BlockKind::PlainData;
  std::uint32_t length = 0;
  // Matches only: the reference-space position, possibly outside the space
  // (callers check it against the record's bound before copying).
  std::int64_t position = 0;

  bool is_match() const { return kind == BlockKind::Match; }
};

// The bytes a block stream is parsed from. A block header is a byte or a
// few, so the bytes at hand are read inline and only running out of them
// costs a call.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads exactly n bytes; false when the source ends first.
  bool read(std::uint8_t* destination, std::size_t n) {
    if (static_cast<std::size_t>(end_ - next_) < n) return read_across_refills(destination, n);
    if (n == 0) return true;
    std::memcpy(destination, next_, n);
    next_ += n;
    return true;
  }
  // Bytes at hand, not yet read.
  std::size_t remaining() const { return static_cast<std::size_t>(end_ - next_); }

 protected:
  // Points next_ and end_ at the source's next bytes; false when it has
  // none left.
  virtual bool refill() = 0;

  const std::uint8_t* next_ = nullptr;
  const std::uint8_t* end_ = nullptr;

 private:
  bool read_across_refills(std::uint8_t* destination, std::size_t n);
};

class BlockStreamParser {
 public:
  // `farWidth` (2, 3 or 4) matters only for MODE 3; mode must be 1 to 4.
  BlockStreamParser(int mode, int farWidth);

  // Reads the next block's header and position bytes (never its data bytes,
  // which the caller takes from the same source). A match moves the running
  // position to its end. False when the source ended inside the header.
  bool next(ByteSource& source, Block& block);

  std::int64_t running_position() const { return running_; }

 private:
  bool next_mode1_or_4(ByteSource& source, Block& block);
  bool next_mode2(ByteSource& source, Block& block);
  bool next_mode3(ByteSource& source, Block& block);
  bool read_code_byte_position(ByteSource& source, std::int64_t& position);
  bool read_mode2_position(ByteSource& source, std::int64_t& position);
  bool read_mode3_position(ByteSource& source, std::int64_t& position);
  bool resolve_match(ByteSource& source, Block& block);
  // MODE 3 and 4: the kind from the header; a match reads its position,
  // insert and replace data leave a pending continuation.
  bool finish_kinded_block(ByteSource& source, std::uint8_t header, Block& block);

  int mode_;
  int farWidth_;
  std::int64_t running_ = 0;
  bool pending_ = false;
  std::int64_t pendingOffset_ = 0;
};

// A ByteSource over a memory range.
class MemorySource : public ByteSource {
 public:
  MemorySource(const std::uint8_t* data, std::size_t size) {
    next_ = data;
    end_ = data + size;
  }

 private:
  bool refill() override { return false; }
};

}  // namespace vd
