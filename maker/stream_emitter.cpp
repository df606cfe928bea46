#include "maker/stream_emitter.h"

#include "core/block_forms.h"

namespace vd {
namespace {

constexpr std::int64_t kNoMatch = -1;

}  // namespace

StreamEmitter::StreamEmitter(BlockWriter& writer, int mode, int farWidth, const std::uint8_t* newData)
    : writer_(writer), mode_(mode), farWidth_(farWidth), newData_(newData), limit_(block_length_limit(mode)) {}

void StreamEmitter::data(std::int64_t position, std::int64_t count) {
  if (dataLength_ == 0) dataStart_ = position;
  dataLength_ += count;
}

bool StreamEmitter::flush_data(std::int64_t nextMatch) {
  if (dataLength_ == 0) return false;
  wroteData_ = true;
  // Full blocks first: the last one is what a replace continuation counts.
  const std::int64_t last = (dataLength_ - 1) % limit_ + 1;
  for (std::int64_t start = dataStart_; start < dataStart_ + dataLength_ - last; start += limit_) {
    write_data_header(writer_, mode_, limit_, kKindPlain);
    writer_.bytes(newData_ + start, limit_);
    ++blocks_;
  }
  std::uint8_t kind = kKindPlain;
  if (has_data_kinds(mode_) && nextMatch != kNoMatch) {
    if (nextMatch == running_) kind = kKindInsert;
    if (nextMatch == running_ + last) kind = kKindReplace;
  }
  write_data_header(writer_, mode_, last, kind);
  writer_.bytes(newData_ + dataStart_ + dataLength_ - last, last);
  ++blocks_;
  dataLength_ = 0;
  return kind != kKindPlain;
}

void StreamEmitter::match(std::int64_t q, std::int64_t length) {
  const bool implied = flush_data(q);
  write_match_header(writer_, mode_, length);
  if (!implied) write_match_position(writer_, mode_, q, running_, farWidth_);
  running_ = q + length;
  ++blocks_;
}

void StreamEmitter::finish() { flush_data(kNoMatch); }

}  // namespace vd
