#include "core/block_stream.h"

#include <algorithm>
#include <cstring>

#include "core/patch_format.h"

namespace vd {
namespace {

bool read_be(ByteSource& source, int width, std::uint32_t& value) {
  std::uint8_t bytes[4];
  if (!source.read(bytes, static_cast<std::size_t>(width))) return false;
  value = get_be(bytes, width);
  return true;
}

// MODE 1 and 4 lengths: n in the header; n = 0 escapes to a u16 E (E + bias),
// and E = 0 escapes further to a u24.
bool read_extended_length(ByteSource& source, std::uint32_t n, std::uint32_t bias,
                          std::uint32_t& length) {
  if (n != 0) {
    length = n;
    return true;
  }
  std::uint32_t extension;
  if (!read_be(source, 2, extension)) return false;
  if (extension != 0) {
    length = extension + bias;
    return true;
  }
  return read_be(source, 3, length);
}

}  // namespace

BlockStreamParser::BlockStreamParser(int mode, int farWidth) : mode_(mode), farWidth_(farWidth) {}

bool BlockStreamParser::next(ByteSource& source, Block& block) {
  switch (mode_) {
    case 2:
      return next_mode2(source, block);
    case 3:
      return next_mode3(source, block);
    default:
      return next_mode1_or_4(source, block);
  }
}

bool BlockStreamParser::finish_kinded_block(ByteSource& source, std::uint8_t header, Block& block) {
  block.kind = kind_of_header(header);
  if (block.is_match()) return resolve_match(source, block);
  if (block.kind != BlockKind::PlainData) {
    pending_ = true;
    pendingOffset_ = block.kind == BlockKind::ReplaceData ? block.length : 0;
  }
  return true;
}

bool BlockStreamParser::read_code_byte_position(ByteSource& source, std::int64_t& position) {
  std::uint8_t code;
  if (!source.read(&code, 1)) return false;
  std::uint32_t value;
  if (code <= kCodeNearMax) {
    position = running_ + code;
  } else if (code == kCodeBiased) {
    if (!read_be(source, 2, value)) return false;
    position = running_ - kNearBias + value;
  } else {
    if (!read_be(source, code == kCodeFar24 ? 3 : 4, value)) return false;
    position = value;
  }
  return true;
}

bool BlockStreamParser::read_mode3_position(ByteSource& source, std::int64_t& position) {
  std::uint8_t code;
  if (!source.read(&code, 1)) return false;
  if (code <= kMode3NearByteMax) {
    position = running_ + code;
    return true;
  }
  std::uint32_t value;
  if (code == kMode3FarCode) {
    if (!read_be(source, farWidth_, value)) return false;
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
bool BlockStreamParser::resolve_match(ByteSource& source, Block& block) {
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

bool BlockStreamParser::next_mode1_or_4(ByteSource& source, Block& block) {
  std::uint8_t header;
  if (!source.read(&header, 1)) return false;
  const std::uint8_t mask = extended_length_mask(mode_);
  if (!read_extended_length(source, header & mask, mask, block.length)) return false;
  if (has_data_kinds(mode_)) return finish_kinded_block(source, header, block);
  block.kind = header & kMatchFlag ? BlockKind::Match : BlockKind::PlainData;
  return !block.is_match() || resolve_match(source, block);
}

bool BlockStreamParser::next_mode2(ByteSource& source, Block& block) {
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

bool BlockStreamParser::read_mode2_position(ByteSource& source, std::int64_t& position) {
  std::uint32_t word;
  if (!read_be(source, 2, word)) return false;
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
  if (!read_be(source, 4, far)) return false;
  position = far;
  return true;
}

bool BlockStreamParser::next_mode3(ByteSource& source, Block& block) {
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

bool ByteSource::read_across_refills(std::uint8_t* destination, std::size_t n) {
  while (n > 0) {
    if (next_ == end_ && !refill()) return false;
    const std::size_t take = std::min(n, remaining());
    std::memcpy(destination, next_, take);
    next_ += take;
    destination += take;
    n -= take;
  }
  return true;
}

}  // namespace vd
