#include "maker/block_prices.h"

namespace vd {
namespace {

bool within(std::int64_t q, std::int64_t low, std::int64_t high) { return q >= low && q <= high; }

// MODE 1 and 4: the length in the header, else a u16 with a bias, else a
// u16 of 0 and a u24.
int extended_length(std::int64_t length, std::int64_t headerMax) {
  if (length <= headerMax) return 1;
  return length <= headerMax + 0xFFFF ? 3 : 6;
}

int mode1_position(std::int64_t q, std::int64_t r) {
  if (within(q, r, r + 252)) return 1;
  if (within(q, r - 16384, r + 49150)) return 3;
  return q <= 0xFFFFFF ? 4 : 5;
}

int mode2_position(std::int64_t q, std::int64_t r) {
  if (within(q, r - 16384, r + 16383)) return 2;
  return q <= 8388606 ? 3 : 7;
}

int mode3_position(std::int64_t q, std::int64_t r, int farWidth) {
  if (within(q, r, r + 126)) return 1;
  if (within(q, r + 127, r + 32894)) return 2;
  return 1 + farWidth;
}

int header(int mode, std::int64_t length) {
  switch (mode) {
    case 1:
      return extended_length(length, 127);
    case 2:
      return length <= 63 ? 1 : 2;
    case 3:
      return length <= 32 ? 1 : 2;
    default:
      return extended_length(length, 63);
  }
}

}  // namespace

int BlockPrices::data_header(std::int64_t length) const { return header(mode_, length); }

int BlockPrices::match_header(std::int64_t length) const { return header(mode_, length); }

int BlockPrices::position(std::int64_t q, std::int64_t running) const {
  switch (mode_) {
    case 2:
      return mode2_position(q, running);
    case 3:
      return mode3_position(q, running, farWidth_);
    default:
      return mode1_position(q, running);
  }
}

}  // namespace vd
