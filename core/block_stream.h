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
#include "core/patch_format.h"

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
  // Reads a big-endian number of `width` bytes (1 to 4).
  bool read_be(int width, std::uint32_t& value) {
    std::uint8_t bytes[4];
    if (!read(bytes, static_cast<std::size_t>(width))) return false;
    value = get_be(bytes, width);
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
  static bool read_extended_length(ByteSource& source, std::uint32_t n, std::uint32_t bias, std::uint32_t& length);
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

// The parser is defined here, not out of line: the applier parses a block
// for every few bytes it writes, and calls per block took a tenth of its
// time.

// MODE 1 and 4 lengths: n in the header; n = 0 escapes to a u16 E (E + bias),
// and E = 0 escapes further to a u24.
inline bool BlockStreamParser::read_extended_length(ByteSource& source, std::uint32_t n, std::uint32_t bias,
                                                     std::uint32_t& length) {
  if (n != 0) {
    length = n;
    return true;
  }
  std::uint32_t extension;
  if (!source.read_be(2, extension)) return false;
  if (extension != 0) {
    length = extension + bias;
    return true;
  }
  return source.read_be(3, length);
}

inline BlockStreamParser::BlockStreamParser(int mode, int farWidth) : mode_(mode), farWidth_(farWidth) {}

inline bool BlockStreamParser::next(ByteSource& source, Block& block) {
  switch (mode_) {
    case 2:
      return next_mode2(source, block);
    case 3:
      return next_mode3(source, block);
    default:
      return next_mode1_or_4(source, block);
  }
}

inline bool BlockStreamParser::finish_kinded_block(ByteSource& source, std::uint8_t header, Block& block) {
  block.kind = kind_of_header(header);
  if (block.is_match()) return resolve_match(source, block);
  if (block.kind != BlockKind::PlainData) {
    pending_ = true;
    pendingOffset_ = block.kind == BlockKind::ReplaceData ? block.length : 0;
  }
  return true;
}

inline bool BlockStreamParser::read_code_byte_position(ByteSource& source, std::int64_t& position) {
  std::uint8_t code;
  if (!source.read(&code, 1)) return false;
  std::uint32_t value;
  if (code <= kCodeNearMax) {
    position = running_ + code;
  } else if (code == kCodeBiased) {
    if (!source.read_be(2, value)) return false;
    position = running_ - kNearBias + value;
  } else {
    if (!source.read_be(code == kCodeFar24 ? 3 : 4, value)) return false;
    position = value;
  }
  return true;
}

inline bool BlockStreamParser::read_mode3_position(ByteSource& source, std::int64_t& position) {
  std::uint8_t code;
  if (!source.read(&code, 1)) return false;
  if (code <= kMode3NearByteMax) {
    position = running_ + code;
    return true;
  }
  std::uint32_t value;
  if (code == kMode3FarCode) {
    if (!source.read_be(farWidth_, value)) return false;
    position = value;
    return true;
  }
  std::uint8_t low;
  if (!source.read(&low, 1)) return false;
  position = running_ + ((code ^ kMode3NearWordFlag) << 8 | low) + kMode3NearWordBias;
  return true;
}

// A match takes its position from a pending insert or replace continuation,
// which it consumes, or from the position bytes of its MODE.
inline bool BlockStreamParser::resolve_match(ByteSource& source, Block& block) {
  if (pending_) {
    block.position = running_ + pendingOffset_;
    pending_ = false;
  } else if (mode_ == 3 ? !read_mode3_position(source, block.position)
                        : !read_code_byte_position(source, block.position)) {
    return false;
  }
  running_ = block.position + block.length;
  return true;
}

inline bool BlockStreamParser::next_mode1_or_4(ByteSource& source, Block& block) {
  std::uint8_t header;
  if (!source.read(&header, 1)) return false;
  const std::uint8_t mask = extended_length_mask(mode_);
  if (!read_extended_length(source, header & mask, mask, block.length)) return false;
  if (has_data_kinds(mode_)) return finish_kinded_block(source, header, block);
  block.kind = header & kMatchFlag ? BlockKind::Match : BlockKind::PlainData;
  return !block.is_match() || resolve_match(source, block);
}

inline bool BlockStreamParser::next_mode2(ByteSource& source, Block& block) {
  std::uint8_t header;
  if (!source.read(&header, 1)) return false;
  block.length = header & kMode2ShortMask;
  if (header & kMode2LongFlag) {
    std::uint8_t low;
    if (!source.read(&low, 1)) return false;
    block.length = (header & kMode2ShortMask) << 8 | low;
  }
  if (!(header & kMatchFlag)) {
    block.kind = BlockKind::PlainData;
    return true;
  }
  block.kind = BlockKind::Match;
  if (!read_mode2_position(source, block.position)) return false;
  running_ = block.position + block.length;
  return true;
}

inline bool BlockStreamParser::read_mode2_position(ByteSource& source, std::int64_t& position) {
  std::uint32_t word;
  if (!source.read_be(2, word)) return false;
  if (!(word & kMode2FarFlag)) {
    position = running_ - kNearBias + word;
    return true;
  }
  std::uint8_t third;
  if (!source.read(&third, 1)) return false;
  const std::uint32_t value = word << 8 | third;
  if (value != kMode2FarEscape) {
    position = value & ~kMode2FarMark;
    return true;
  }
  std::uint32_t far;
  if (!source.read_be(4, far)) return false;
  position = far;
  return true;
}

inline bool BlockStreamParser::next_mode3(ByteSource& source, Block& block) {
  std::uint8_t header;
  if (!source.read(&header, 1)) return false;
  block.length = (header & kMode3ShortMask) + 1u;
  if (header & kMode3LongFlag) {
    std::uint8_t low;
    if (!source.read(&low, 1)) return false;
    block.length = static_cast<std::uint32_t>(((header & kMode3ShortMask) << 8 | low) + kMode3LongBias);
  }
  return finish_kinded_block(source, header, block);
}

}  // namespace vd
