#include "support/format_decoder.h"

#include <optional>

namespace vd::test {
namespace {

struct Fault {
  std::string what;
};

class StrictReader {
 public:
  StrictReader(int mode, int farWidth, const Bytes& stream, const Bytes& old, const Bytes& patchFile)
      : mode_(mode), farWidth_(farWidth), stream_(stream), old_(old), patch_(patchFile) {}

  void block();
  void finish() const;
  Bytes output;

 private:
  std::uint64_t take(int width) {
    if (at_ + static_cast<std::size_t>(width) > stream_.size()) throw Fault{"stream ends inside a block"};
    std::uint64_t value = 0;
    for (int i = 0; i < width; ++i) value = value << 8 | stream_[at_++];
    return value;
  }
  static void require(bool condition, const char* what) {
    if (!condition) throw Fault{what};
  }
  std::int64_t extended_length(std::uint64_t inHeader, std::int64_t headerMax);
  std::int64_t mode1_position();
  std::int64_t mode2_position();
  std::int64_t mode3_position();
  void data(std::int64_t length, int kind);
  void match(std::int64_t length, std::optional<std::int64_t> position);

  const int mode_;
  const int farWidth_;
  const Bytes& stream_;
  const Bytes& old_;
  const Bytes& patch_;
  std::size_t at_ = 0;
  std::int64_t running_ = 0;
  int pendingKind_ = 0;  // 0 none, 1 insert, 2 replace
  std::int64_t pendingLength_ = 0;
};

std::int64_t StrictReader::extended_length(std::uint64_t inHeader, std::int64_t headerMax) {
  if (inHeader != 0) return static_cast<std::int64_t>(inHeader);
  const auto extension = static_cast<std::int64_t>(take(2));
  if (extension != 0) {
    require(extension + headerMax > headerMax, "length in a longer form than it needs");
    return extension + headerMax;
  }
  const auto length = static_cast<std::int64_t>(take(3));
  require(length > headerMax + 0xFFFF, "length in a longer form than it needs");
  return length;
}

std::int64_t StrictReader::mode1_position() {
  const std::uint64_t code = take(1);
  if (code < 253) return running_ + static_cast<std::int64_t>(code);
  std::int64_t q;
  if (code == 253) {
    q = running_ - 16384 + static_cast<std::int64_t>(take(2));
    require(q < running_ || q > running_ + 252, "near position in a longer form than it needs");
    require(q <= running_ + 49150, "position beyond the writer's 3-byte near form");
    return q;
  }
  q = static_cast<std::int64_t>(take(code == 254 ? 3 : 4));
  require(q < running_ - 16384 || q > running_ + 49150, "far position where a near one fits");
  if (code == 255) require(q > 0xFFFFFF, "4-byte far position where 3 bytes fit");
  return q;
}

std::int64_t StrictReader::mode2_position() {
  const std::uint64_t word = take(2);
  if (!(word & 0x8000)) return running_ - 16384 + static_cast<std::int64_t>(word);
  const std::uint64_t value = word << 8 | take(1);
  std::int64_t q;
  if (value == 0xFFFFFF) {
    q = static_cast<std::int64_t>(take(4));
    require(q > 8388606, "7-byte far position where 3 bytes fit");
  } else {
    q = static_cast<std::int64_t>(value & 0x7FFFFF);
  }
  require(q < running_ - 16384 || q > running_ + 16383, "far position where a near one fits");
  return q;
}

std::int64_t StrictReader::mode3_position() {
  const std::uint64_t code = take(1);
  if (code < 127) return running_ + static_cast<std::int64_t>(code);
  if (code > 127) {
    const std::int64_t offset = static_cast<std::int64_t>((code & 0x7F) << 8 | take(1)) + 127;
    return running_ + offset;
  }
  const auto q = static_cast<std::int64_t>(take(farWidth_));
  require(q < running_ || q > running_ + 32894, "far position where a near one fits");
  return q;
}

void StrictReader::data(std::int64_t length, int kind) {
  require(length > 0, "block of length 0");
  require(pendingKind_ == 0, "insert or replace data not followed by its match");
  require(at_ + static_cast<std::size_t>(length) <= stream_.size(), "stream ends inside data");
  output.insert(output.end(), stream_.begin() + static_cast<std::ptrdiff_t>(at_),
                stream_.begin() + static_cast<std::ptrdiff_t>(at_ + static_cast<std::size_t>(length)));
  at_ += static_cast<std::size_t>(length);
  pendingKind_ = kind;
  pendingLength_ = length;
}

void StrictReader::match(std::int64_t length, std::optional<std::int64_t> position) {
  require(length > 0, "block of length 0");
  const std::int64_t q = position ? *position : running_ + (pendingKind_ == 2 ? pendingLength_ : 0);
  pendingKind_ = 0;
  const auto oldSize = static_cast<std::int64_t>(old_.size());
  require(q >= 0, "match before the reference space");
  if (q < oldSize) {
    require(q + length <= oldSize, "match runs past the end of the oldfile");
    output.insert(output.end(), old_.begin() + q, old_.begin() + q + length);
  } else {
    const std::int64_t offset = q - oldSize;
    require(offset >= 12, "match reads the patch file's header");
    require(offset + length <= static_cast<std::int64_t>(patch_.size()), "match runs past the patch file");
    output.insert(output.end(), patch_.begin() + offset, patch_.begin() + offset + length);
  }
  running_ = q + length;
}

void StrictReader::block() {
  const std::uint64_t header = take(1);
  if (mode_ == 1) {
    const std::int64_t length = extended_length(header & 0x7F, 127);
    if (header & 0x80)
      match(length, mode1_position());
    else
      data(length, 0);
    return;
  }
  if (mode_ == 2) {
    std::int64_t length = static_cast<std::int64_t>(header & 0x3F);
    if (header & 0x40) {
      length = static_cast<std::int64_t>((header & 0x3F) << 8 | take(1));
      require(length > 63, "length in a longer form than it needs");
    }
    if (header & 0x80)
      match(length, mode2_position());
    else
      data(length, 0);
    return;
  }
  std::int64_t length;
  if (mode_ == 3) {
    length = static_cast<std::int64_t>(header & 0x1F) + 1;
    if (header & 0x20) length = static_cast<std::int64_t>((header & 0x1F) << 8 | take(1)) + 33;
  } else {
    length = extended_length(header & 0x3F, 63);
  }
  switch (header & 0xC0) {
    case 0xC0:
      if (pendingKind_ != 0) return match(length, std::nullopt);
      return match(length, mode_ == 3 ? mode3_position() : mode1_position());
    case 0x80:
      return data(length, 0);
    case 0x00:
      return data(length, 1);
    default:
      return data(length, 2);
  }
}

void StrictReader::finish() const {
  require(pendingKind_ == 0, "stream ends with insert or replace data");
  require(at_ == stream_.size(), "bytes left after the last block");
}

}  // namespace

StrictDecoding decode_strictly(int mode, int farWidth, std::uint32_t blocks, const Bytes& stream, const Bytes& old,
                               const Bytes& patchFile) {
  StrictDecoding result;
  StrictReader reader(mode, farWidth, stream, old, patchFile);
  try {
    for (std::uint32_t i = 0; i < blocks; ++i) reader.block();
    reader.finish();
    result.ok = true;
  } catch (const Fault& fault) {
    result.error = fault.what;
  }
  result.output = std::move(reader.output);
  return result;
}

}  // namespace vd::test
