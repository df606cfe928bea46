#include "maker/block_writer.h"

#include "core/block_stream.h"

namespace vd {

void BlockWriter::be(std::uint32_t value, int width) {
  for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
    buffer_.push_back(static_cast<std::uint8_t>(value >> shift));
}

void BlockWriter::bytes(const std::uint8_t* data, std::int64_t count) {
  if (buffer_.size() + static_cast<std::size_t>(count) > kFlushSize) {
    flush();
    if (static_cast<std::size_t>(count) >= kFlushSize) {
      std::fwrite(data, 1, static_cast<std::size_t>(count), out_);
      written_ += count;
      return;
    }
  }
  buffer_.insert(buffer_.end(), data, data + count);
}

void BlockWriter::flush() {
  if (buffer_.empty()) return;
  std::fwrite(buffer_.data(), 1, buffer_.size(), out_);
  written_ += static_cast<std::int64_t>(buffer_.size());
  buffer_.clear();
}

namespace {

// MODE 1 and 4: the length in the header, else a u16 with a bias, else a u16
// of 0 and a u24.
void write_extended_length(BlockWriter& w, std::uint8_t header, std::int64_t length,
                           std::int64_t headerMax) {
  const std::int64_t u16Max = headerMax + 0xFFFF;
  if (length <= headerMax) {
    w.byte(static_cast<std::uint8_t>(header + length));
  } else if (length <= u16Max) {
    w.byte(header);
    w.be(static_cast<std::uint32_t>(length - headerMax), 2);
  } else {
    w.byte(header);
    w.be(0, 2);
    w.be(static_cast<std::uint32_t>(length), 3);
  }
}

// MODE 3: L - 1 in five bits, else L - 33 in thirteen bits.
void write_mode3_length(BlockWriter& w, std::uint8_t kind, std::int64_t length) {
  if (length <= 32)
    w.byte(static_cast<std::uint8_t>(kind + length - 1));
  else
    w.be(static_cast<std::uint32_t>(kind * 256 + 0x2000 + length - 33), 2);
}

// MODE 2: six bits, else fourteen bits in a u16.
void write_mode2_length(BlockWriter& w, std::uint8_t flag, std::int64_t length) {
  if (length <= 63)
    w.byte(static_cast<std::uint8_t>(flag + length));
  else
    w.be(static_cast<std::uint32_t>(flag * 256 + 0x4000 + length), 2);
}

void write_mode1_position(BlockWriter& w, std::int64_t q, std::int64_t r) {
  if (q >= r && q <= r + 252) {
    w.byte(static_cast<std::uint8_t>(q - r));
  } else if (q >= r - 16384 && q <= r + 49150) {
    w.byte(253);
    w.be(static_cast<std::uint32_t>(q - r + 16384), 2);
  } else if (q <= 0xFFFFFF) {
    w.byte(254);
    w.be(static_cast<std::uint32_t>(q), 3);
  } else {
    w.byte(255);
    w.be(static_cast<std::uint32_t>(q), 4);
  }
}

void write_mode2_position(BlockWriter& w, std::int64_t q, std::int64_t r) {
  if (q >= r - 16384 && q <= r + 16383) {
    w.be(static_cast<std::uint32_t>(q - r + 16384), 2);
  } else if (q <= 8388606) {
    w.be(static_cast<std::uint32_t>(0x800000 + q), 3);
  } else {
    // 8,388,607 would code as 0xFFFFFF, which is the escape itself.
    w.be(0xFFFFFF, 3);
    w.be(static_cast<std::uint32_t>(q), 4);
  }
}

void write_mode3_position(BlockWriter& w, std::int64_t q, std::int64_t r, int farWidth) {
  if (q >= r && q <= r + 126) {
    w.byte(static_cast<std::uint8_t>(q - r));
  } else if (q >= r + 127 && q <= r + 32894) {
    w.be(static_cast<std::uint32_t>(0x8000 + q - r - 127), 2);
  } else {
    w.byte(127);
    w.be(static_cast<std::uint32_t>(q), farWidth);
  }
}

}  // namespace

void write_data_header(BlockWriter& w, int mode, std::int64_t length, std::uint8_t kind) {
  switch (mode) {
    case 1:
      write_extended_length(w, 0x00, length, 127);
      break;
    case 2:
      write_mode2_length(w, 0x00, length);
      break;
    case 3:
      write_mode3_length(w, kind, length);
      break;
    default:
      write_extended_length(w, kind, length, 63);
      break;
  }
}

void write_match_header(BlockWriter& w, int mode, std::int64_t length) {
  switch (mode) {
    case 1:
      write_extended_length(w, 0x80, length, 127);
      break;
    case 2:
      write_mode2_length(w, 0x80, length);
      break;
    case 3:
      write_mode3_length(w, kKindMatch, length);
      break;
    default:
      write_extended_length(w, kKindMatch, length, 63);
      break;
  }
}

void write_match_position(BlockWriter& w, int mode, std::int64_t q, std::int64_t running,
                          int farWidth) {
  switch (mode) {
    case 2:
      write_mode2_position(w, q, running);
      break;
    case 3:
      write_mode3_position(w, q, running, farWidth);
      break;
    default:
      write_mode1_position(w, q, running);
      break;
  }
}

}  // namespace vd
