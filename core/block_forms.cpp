#include "core/block_forms.h"

namespace vd {
namespace {

bool within(std::int64_t q, std::int64_t low, std::int64_t high) { return q >= low && q <= high; }

PositionForm code_byte_form(std::int64_t q, std::int64_t r) {
  if (within(q, r, r + kCodeNearMax)) return PositionForm::NearByte;
  if (within(q, r - kNearBias, r + kBiasedWrittenAhead)) return PositionForm::NearWord;
  return q <= kU24Max ? PositionForm::Far : PositionForm::FarEscaped;
}

PositionForm mode2_form(std::int64_t q, std::int64_t r) {
  if (within(q, r - kNearBias, r + kMode2NearAhead)) return PositionForm::NearWord;
  return q <= kMode2FarMax ? PositionForm::Far : PositionForm::FarEscaped;
}

PositionForm mode3_form(std::int64_t q, std::int64_t r) {
  if (within(q, r, r + kMode3NearByteMax)) return PositionForm::NearByte;
  if (within(q, r + kMode3NearWordBias, r + kMode3NearWordMax)) return PositionForm::NearWord;
  return PositionForm::Far;
}

}  // namespace

BlockKind kind_of_header(std::uint8_t header) {
  switch (header & kKindBits) {
    case kKindMatch:
      return BlockKind::Match;
    case kKindPlain:
      return BlockKind::PlainData;
    case kKindInsert:
      return BlockKind::InsertData;
    default:
      return BlockKind::ReplaceData;
  }
}

int header_size(int mode, std::int64_t length) {
  switch (mode) {
    case 2:
      return length <= kMode2ShortMask ? kShortHeaderSize : 2;
    case 3:
      return length <= kMode3ShortMax ? kShortHeaderSize : 2;
    default:
      if (length <= extended_length_mask(mode)) return kShortHeaderSize;
      return length <= extended_u16_max(mode) ? kU16ExtendedHeaderSize : kU24ExtendedHeaderSize;
  }
}

PositionForm position_form(int mode, std::int64_t q, std::int64_t r) {
  if (mode == 2) return mode2_form(q, r);
  return mode == 3 ? mode3_form(q, r) : code_byte_form(q, r);
}

int position_size(int mode, PositionForm form, int farWidth) {
  switch (form) {
    case PositionForm::NearByte:
      return 1;
    case PositionForm::NearWord:
      return mode == 2 || mode == 3 ? 2 : 3;
    case PositionForm::Far:
      return mode == 2 ? 3 : mode == 3 ? 1 + farWidth : 4;
    case PositionForm::FarEscaped:
      return mode == 2 ? 7 : 5;
  }
  return 0;
}

int far_width_for(std::int64_t bound) {
  if (bound <= kU16Max) return 2;
  return bound <= kU24Max ? 3 : 4;
}

int match_block_size(int mode, std::int64_t length, std::int64_t q, std::int64_t r, int farWidth,
                     bool implied) {
  const int position = implied ? 0 : position_size(mode, position_form(mode, q, r), farWidth);
  return header_size(mode, length) + position;
}

std::int64_t data_block_size(int mode, std::int64_t length) { return header_size(mode, length) + length; }

}  // namespace vd
