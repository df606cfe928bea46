// Every form a block can take in the four MODEs, named once: the header and
// its length tiers, the position forms and the ranges they reach, the far
// widths and the data kinds. The parser, the writer and the maker's price
// estimates all take their numbers from here, so that a form cannot be read
// one way and written or priced another.
//
// Positions are reference-space positions; R is the running position, the
// end of the previous match block.
#pragma once

#include <cstdint>

namespace vd {

// ---- Data kinds -----------------------------------------------------------

enum class BlockKind : std::uint8_t { Match, PlainData, InsertData, ReplaceData };

// MODE 1 and 2: the header's top bit marks a match; all data is plain.
inline constexpr std::uint8_t kMatchFlag = 0x80;

// MODE 3 and 4: the header's top two bits are the kind. Insert and replace
// data announce that the next match carries no position bytes.
inline constexpr std::uint8_t kKindBits = 0xC0;
inline constexpr std::uint8_t kKindMatch = 0xC0;
inline constexpr std::uint8_t kKindPlain = 0x80;
inline constexpr std::uint8_t kKindInsert = 0x00;
inline constexpr std::uint8_t kKindReplace = 0x40;

constexpr bool has_data_kinds(int mode) { return mode >= 3; }
BlockKind kind_of_header(std::uint8_t header);

// ---- Lengths --------------------------------------------------------------

// MODE 1 and 4 ("extended" lengths): n in the header's low bits (1 up to the
// mask); n = 0 escapes to a u16 E holding L - mask, and E = 0 escapes
// further to a u24 holding L.
inline constexpr std::uint8_t kMode1LengthMask = 0x7F;
inline constexpr std::uint8_t kMode4LengthMask = 0x3F;
inline constexpr std::int64_t kU16Max = 0xFFFF;
inline constexpr std::int64_t kU24Max = 0xFFFFFF;
inline constexpr int kShortHeaderSize = 1;
inline constexpr int kU16ExtendedHeaderSize = 3;
inline constexpr int kU24ExtendedHeaderSize = 6;
constexpr std::uint8_t extended_length_mask(int mode) {
  return mode == 1 ? kMode1LengthMask : kMode4LengthMask;
}
constexpr std::int64_t extended_u16_max(int mode) { return extended_length_mask(mode) + kU16Max; }

// MODE 2: L in six bits, or with the long flag set fourteen bits spread over
// the header and one more byte.
inline constexpr std::uint8_t kMode2ShortMask = 0x3F;
inline constexpr std::uint8_t kMode2LongFlag = 0x40;
inline constexpr std::int64_t kMode2LongMax = 0x3FFF;

// MODE 3: L - 1 in five bits, or with the long flag set L - 33 in thirteen
// bits over the header and one more byte.
inline constexpr std::uint8_t kMode3ShortMask = 0x1F;
inline constexpr std::int64_t kMode3ShortMax = kMode3ShortMask + 1;
inline constexpr std::uint8_t kMode3LongFlag = 0x20;
inline constexpr std::int64_t kMode3LongBias = kMode3ShortMax + 1;
inline constexpr std::int64_t kMode3LongMax = 0x1FFF + kMode3LongBias;

// The longest block, data or match, that the writer puts in one header.
constexpr std::int64_t block_length_limit(int mode) {
  return mode == 2 ? kMode2LongMax : mode == 3 ? kMode3LongMax : kU24Max;
}

// Bytes of a block header (kind and length) holding `length`, in the
// shortest form of the MODE. This and the position forms below are defined
// here, not out of line: the match searches price millions of candidates.
constexpr int header_size(int mode, std::int64_t length) {
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

// ---- Positions ------------------------------------------------------------

// The forms of a match position, shortest first. Not every MODE has all:
// MODE 2 has no one-byte form, MODE 3 no escaped far form.
enum class PositionForm : std::uint8_t {
  NearByte,    // MODE 1/4: code byte 0 to 252 ahead; MODE 3: 0 to 126 ahead
  NearWord,    // MODE 1/4: code 253 and a biased u16; MODE 2: a biased u16;
               // MODE 3: 127 to 32,894 ahead in two bytes
  Far,         // MODE 1/4: code 254 and a u24; MODE 2: 23 bits in a u24;
               // MODE 3: code 127 and the record's far width
  FarEscaped,  // MODE 1/4: code 255 and a u32; MODE 2: 0xFFFFFF and a u32
};

// MODE 1 and 4: one position code byte, then what it names.
inline constexpr std::int64_t kCodeNearMax = 252;
inline constexpr std::uint8_t kCodeBiased = 253;
inline constexpr std::uint8_t kCodeFar24 = 254;
inline constexpr std::uint8_t kCodeFar32 = 255;
// Behind R, the biased u16 forms of MODE 1, 2 and 4 reach this far.
inline constexpr std::int64_t kNearBias = 16384;
// The u16 after code 253 reaches R + 49,151, but the writer stops one short:
// patch files made earlier depend on that choice.
inline constexpr std::int64_t kBiasedWrittenAhead = kU16Max - kNearBias - 1;

// MODE 2: a u16 with the far flag clear is R - 16,384 + its value; with it
// set it begins a u24 whose low 23 bits are the far position, and the u24
// 0xFFFFFF escapes to a u32.
inline constexpr std::uint32_t kMode2FarFlag = 0x8000;
inline constexpr std::int64_t kMode2NearAhead = kMode2FarFlag - 1 - kNearBias;
inline constexpr std::uint32_t kMode2FarMark = 0x800000;
inline constexpr std::uint32_t kMode2FarEscape = 0xFFFFFF;
inline constexpr std::int64_t kMode2FarMax = kMode2FarEscape - kMode2FarMark - 1;

// MODE 3: a code byte below 127 is the distance ahead of R; 127 escapes to a
// far position of the record's far width; a code with the top bit set and
// the byte after it hold distance - 127 in fifteen bits.
inline constexpr std::int64_t kMode3NearByteMax = 126;
inline constexpr std::uint8_t kMode3FarCode = 127;
inline constexpr std::uint8_t kMode3NearWordFlag = 0x80;
inline constexpr std::int64_t kMode3NearWordBias = kMode3FarCode;
inline constexpr std::int64_t kMode3NearWordMax = 0x7FFF + kMode3NearWordBias;

// Whether q lies in [low, high].
constexpr bool within(std::int64_t q, std::int64_t low, std::int64_t high) { return q >= low && q <= high; }

namespace forms_detail {

constexpr PositionForm code_byte_form(std::int64_t q, std::int64_t r) {
  if (within(q, r, r + kCodeNearMax)) return PositionForm::NearByte;
  if (within(q, r - kNearBias, r + kBiasedWrittenAhead)) return PositionForm::NearWord;
  return q <= kU24Max ? PositionForm::Far : PositionForm::FarEscaped;
}

constexpr PositionForm mode2_form(std::int64_t q, std::int64_t r) {
  if (within(q, r - kNearBias, r + kMode2NearAhead)) return PositionForm::NearWord;
  return q <= kMode2FarMax ? PositionForm::Far : PositionForm::FarEscaped;
}

constexpr PositionForm mode3_form(std::int64_t q, std::int64_t r) {
  if (within(q, r, r + kMode3NearByteMax)) return PositionForm::NearByte;
  if (within(q, r + kMode3NearWordBias, r + kMode3NearWordMax)) return PositionForm::NearWord;
  return PositionForm::Far;
}

}  // namespace forms_detail

// The shortest form the writer chooses for a match at q after running
// position r.
constexpr PositionForm position_form(int mode, std::int64_t q, std::int64_t r) {
  if (mode == 2) return forms_detail::mode2_form(q, r);
  return mode == 3 ? forms_detail::mode3_form(q, r) : forms_detail::code_byte_form(q, r);
}

// Bytes taken by a position form; `farWidth` matters only for MODE 3.
constexpr int position_size(int mode, PositionForm form, int farWidth) {
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

// ---- Far widths -----------------------------------------------------------

// MODE 3 writes far positions in 2, 3 or 4 bytes, the fewest that hold every
// position below `bound` (the old file's size plus the patch file's length
// before the record).
constexpr int far_width_for(std::int64_t bound) {
  if (bound <= kU16Max) return 2;
  return bound <= kU24Max ? 3 : 4;
}

// ---- Whole blocks ---------------------------------------------------------

// Bytes a match block of `length` at q takes after running position r;
// `implied` when a preceding insert or replace data block gave its position.
constexpr int match_block_size(int mode, std::int64_t length, std::int64_t q, std::int64_t r, int farWidth,
                               bool implied) {
  const int position = implied ? 0 : position_size(mode, position_form(mode, q, r), farWidth);
  return header_size(mode, length) + position;
}

// Bytes a data block of `length` takes, its data included.
std::int64_t data_block_size(int mode, std::int64_t length);

}  // namespace vd
