#include "maker/block_writer.h"

#include "core/block_forms.h"

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
void write_extended_length(BlockWriter& w, int mode, std::uint8_t header, std::int64_t length) {
  switch (header_size(mode, length)) {
    case kShortHeaderSize:
      w.byte(static_cast<std::uint8_t>(header + length));
      break;
    case kU16ExtendedHeaderSize:
      w.byte(header);
      w.be(static_cast<std::uint32_t>(length - extended_length_mask(mode)), 2);
      break;
    default:
      w.byte(header);
      w.be(0, 2);
      w.be(static_cast<std::uint32_t>(length), 3);
      break;
  }
}

void write_mode3_length(BlockWriter& w, std::uint8_t kind, std::int64_t length) {
  if (length <= kMode3ShortMax)
    w.byte(static_cast<std::uint8_t>(kind + length - 1));
  else
    w.be(static_cast<std::uint32_t>((kind | kMode3LongFlag) * 256 + length - kMode3LongBias), 2);
}

void write_mode2_length(BlockWriter& w, std::uint8_t flag, std::int64_t length) {
  if (length <= kMode2ShortMask)
    w.byte(static_cast<std::uint8_t>(flag + length));
  else
    w.be(static_cast<std::uint32_t>((flag | kMode2LongFlag) * 256 + length), 2);
}

void write_header(BlockWriter& w, int mode, std::int64_t length, std::uint8_t kindBits) {
  switch (mode) {
    case 2:
      write_mode2_length(w, kindBits, length);
      break;
    case 3:
      write_mode3_length(w, kindBits, length);
      break;
    default:
      write_extended_length(w, mode, kindBits, length);
      break;
  }
}

void write_code_byte_position(BlockWriter& w, PositionForm form, std::int64_t q, std::int64_t r) {
  switch (form) {
    case PositionForm::NearByte:
      w.byte(static_cast<std::uint8_t>(q - r));
      break;
    case PositionForm::NearWord:
      w.byte(kCodeBiased);
      w.be(static_cast<std::uint32_t>(q - r + kNearBias), 2);
      break;
    case PositionForm::Far:
      w.byte(kCodeFar24);
      w.be(static_cast<std::uint32_t>(q), 3);
      break;
    case PositionForm::FarEscaped:
      w.byte(kCodeFar32);
      w.be(static_cast<std::uint32_t>(q), 4);
      break;
  }
}

void write_mode2_position(BlockWriter& w, PositionForm form, std::int64_t q, std::int64_t r) {
  switch (form) {
    case PositionForm::Far:
      w.be(static_cast<std::uint32_t>(kMode2FarMark + q), 3);
      break;
    case PositionForm::FarEscaped:
      w.be(kMode2FarEscape, 3);
      w.be(static_cast<std::uint32_t>(q), 4);
      break;
    default:
      w.be(static_cast<std::uint32_t>(q - r + kNearBias), 2);
      break;
  }
}

void write_mode3_position(BlockWriter& w, PositionForm form, std::int64_t q, std::int64_t r, int farWidth) {
  switch (form) {
    case PositionForm::NearByte:
      w.byte(static_cast<std::uint8_t>(q - r));
      break;
    case PositionForm::NearWord:
      w.be(static_cast<std::uint32_t>(kMode3NearWordFlag * 256 + q - r - kMode3NearWordBias), 2);
      break;
    default:
      w.byte(kMode3FarCode);
      w.be(static_cast<std::uint32_t>(q), farWidth);
      break;
  }
}

}  // namespace

void write_data_header(BlockWriter& w, int mode, std::int64_t length, std::uint8_t kind) {
  write_header(w, mode, length, has_data_kinds(mode) ? kind : 0);
}

void write_match_header(BlockWriter& w, int mode, std::int64_t length) {
  write_header(w, mode, length, has_data_kinds(mode) ? kKindMatch : kMatchFlag);
}

void write_match_position(BlockWriter& w, int mode, std::int64_t q, std::int64_t running,
                          int farWidth) {
  const PositionForm form = position_form(mode, q, running);
  switch (mode) {
    case 2:
      write_mode2_position(w, form, q, running);
      break;
    case 3:
      write_mode3_position(w, form, q, running, farWidth);
      break;
    default:
      write_code_byte_position(w, form, q, running);
      break;
  }
}

}  // namespace vd
