#include "core/block_stream.h"

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

bool BlockStreamParser::take_data_kind(std::uint8_t header, Block& block) {
  switch (header & 0xC0) {
    case kKindPlain:
      block.kind = BlockKind::PlainData;
      return false;
    case kKindInsert:
      block.kind = BlockKind::InsertData;
      break;
    case kKindReplace:
      block.kind = BlockKind::ReplaceData;
      break;
    default:
      block.kind = BlockKind::Match;
      return true;
  }
  pending_ = true;
  pendingOffset_ = block.kind == BlockKind::ReplaceData ? block.length : 0;
  return false;
}

bool BlockStreamParser::read_mode1_position(ByteSource& source, std::int64_t& position) {
  std::uint8_t code;
  if (!source.read(&code, 1)) return false;
  std::uint32_t value;
  if (code < 253) {
    position = running_ + code;
  } else if (code == 253) {
    if (!read_be(source, 2, value)) return false;
    position = running_ - 16384 + value;
  } else {
    if (!read_be(source, code == 254 ? 3 : 4, value)) return false;
    position = value;
  }
  return true;
}

// A match takes its position from a pending insert or replace continuation,
// which it consumes, or from the position bytes of its MODE.
bool BlockStreamParser::resolve_match(ByteSource& source, Block& block) {
  if (pending_) {
    block.position = running_ + pendingOffset_;
    pending_ = false;
  } else if (mode_ == 3) {
    std::uint8_t code;
    if (!source.read(&code, 1)) return false;
    std::uint32_t value;
    if (code < 127) {
      block.position = running_ + code;
    } else if (code == 127) {
      if (!read_be(source, farWidth_, value)) return false;
      block.position = value;
    } else {
      std::uint8_t low;
      if (!source.read(&low, 1)) return false;
      block.position = running_ + ((code & 0x7F) << 8 | low) + 127;
    }
  } else if (!read_mode1_position(source, block.position)) {
    return false;
  }
  running_ = block.position + block.length;
  return true;
}

bool BlockStreamParser::next_mode1_or_4(ByteSource& source, Block& block) {
  std::uint8_t header;
  if (!source.read(&header, 1)) return false;
  if (mode_ == 1) {
    if (!read_extended_length(source, header & 0x7F, 127, block.length)) return false;
    if (!(header & 0x80)) {
      block.kind = BlockKind::PlainData;
      return true;
    }
    block.kind = BlockKind::Match;
    if (!read_mode1_position(source, block.position)) return false;
    running_ = block.position + block.length;
    return true;
  }
  if (!read_extended_length(source, header & 0x3F, 63, block.length)) return false;
  return !take_data_kind(header, block) || resolve_match(source, block);
}

bool BlockStreamParser::next_mode2(ByteSource& source, Block& block) {
  std::uint8_t header;
  if (!source.read(&header, 1)) return false;
  block.length = header & 0x3F;
  if (header & 0x40) {
    std::uint8_t low;
    if (!source.read(&low, 1)) return false;
    block.length = (header & 0x3F) << 8 | low;
  }
  if (!(header & 0x80)) {
    block.kind = BlockKind::PlainData;
    return true;
  }
  block.kind = BlockKind::Match;
  std::uint32_t word;
  if (!read_be(source, 2, word)) return false;
  if (!(word & 0x8000)) {
    block.position = running_ - 16384 + word;
  } else {
    std::uint8_t third;
    if (!source.read(&third, 1)) return false;
    const std::uint32_t value = word << 8 | third;
    if (value == 0xFFFFFF) {
      std::uint32_t far;
      if (!read_be(source, 4, far)) return false;
      block.position = far;
    } else {
      block.position = value & 0x7FFFFF;
    }
  }
  running_ = block.position + block.length;
  return true;
}

bool BlockStreamParser::next_mode3(ByteSource& source, Block& block) {
  std::uint8_t header;
  if (!source.read(&header, 1)) return false;
  block.length = (header & 0x1F) + 1u;
  if (header & 0x20) {
    std::uint8_t low;
    if (!source.read(&low, 1)) return false;
    block.length = ((header & 0x1Fu) << 8 | low) + 33;
  }
  return !take_data_kind(header, block) || resolve_match(source, block);
}

bool MemorySource::read(std::uint8_t* destination, std::size_t n) {
  if (n > size_ - offset_) return false;
  if (n == 0) return true;
  std::memcpy(destination, data_ + offset_, n);
  offset_ += n;
  return true;
}

}  // namespace vd
