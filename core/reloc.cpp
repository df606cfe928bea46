#include "core/reloc.h"

#include <cstdlib>

#include "core/files.h"
#include "core/patch_format.h"
#include "core/run_state.h"

namespace vd {
namespace {

enum HunkType : std::uint8_t {
  kHunkName = 0xE8,
  kHunkCode = 0xE9,
  kHunkData = 0xEA,
  kHunkBss = 0xEB,
  kHunkReloc32 = 0xEC,
  kHunkSymbol = 0xF0,
  kHunkDebug = 0xF1,
  kHunkEnd = 0xF2,
  kHunkDrel32 = 0xF7,
  kHunkReloc32Short = 0xFC,
};

constexpr std::uint32_t kHunkHeader = 0x3F3;

// Positions are 64-bit: counts and lengths come from the file and may be
// anything, and no sum of them may wrap around to revisit data.
class HunkWalk {
 public:
  HunkWalk(std::uint8_t* image, std::int64_t length, RelocDirection direction)
      : image_(image), length_(length), direction_(direction) {}

  int run();

 private:
  std::uint32_t long_at(std::int64_t p) const { return get_be(image_ + p, 4); }
  bool looks_like_hunk(std::int64_t p) const {
    // Bits 5 to 7 of the first byte are memory attribute flags.
    return (image_[p] & 0x1F) == 0 && image_[p + 1] == 0 && image_[p + 2] == 3;
  }
  void skip_counted_block();
  void skip_symbols();
  // False when a group reached past the end and the walk must stop.
  bool transform_groups(int width);
  void transform_group(std::int64_t first, std::int64_t count, int width);

  std::uint8_t* image_;
  std::int64_t length_;
  RelocDirection direction_;
  std::int64_t p_ = 0;
  bool groupsMet_ = false;
};

void HunkWalk::skip_counted_block() {
  if (p_ < length_ - 3) p_ += 4 * std::int64_t{long_at(p_) & 0x1FFFFFFF};
  p_ += 4;
}

// Entries are a length longword, the name and a value longword; a zero
// length ends the list and takes one longword.
void HunkWalk::skip_symbols() {
  std::int64_t size;
  do {
    size = p_ < length_ - 3 ? 4 * std::int64_t{long_at(p_)} : 0;
    p_ += size + 8;
  } while (size != 0 && p_ < length_ - 3);
  p_ -= 4;
}

bool HunkWalk::transform_groups(int width) {
  for (;;) {
    const std::int64_t count = p_ < length_ - (width - 1) ? get_be(image_ + p_, width) : 0;
    p_ += width;
    if (count == 0) break;
    const std::int64_t first = p_ + width;  // after the hunk number
    const std::int64_t end = first + width * count;
    if (end > length_) return false;
    transform_group(first, count, width);
    groupsMet_ = true;
    p_ = end;
  }
  if (width == 2 && p_ % 4 != 0) p_ += 2;
  return true;
}

// Offsets wrap modulo 2^32 for longwords and 2^16 for words. The difference
// direction runs backwards so that each subtraction sees the original value.
void HunkWalk::transform_group(std::int64_t first, std::int64_t count, int width) {
  const std::uint32_t mask = width == 4 ? 0xFFFFFFFFu : 0xFFFFu;
  auto at = [&](std::int64_t k) { return image_ + first + width * k; };
  if (direction_ == RelocDirection::Difference) {
    for (std::int64_t k = count - 1; k >= 1; --k)
      put_be(at(k), (get_be(at(k), width) - get_be(at(k - 1), width)) & mask, width);
  } else {
    for (std::int64_t k = 1; k < count; ++k)
      put_be(at(k), (get_be(at(k), width) + get_be(at(k - 1), width)) & mask, width);
  }
}

int HunkWalk::run() {
  if (length_ < 16 || long_at(0) != kHunkHeader || long_at(4) != 0 || long_at(12) != 0) return 0;
  p_ = (std::int64_t{long_at(8)} + 5) * 4;
  while (p_ < length_ - 3 && looks_like_hunk(p_)) {
    const std::uint8_t type = image_[p_ + 3];
    p_ += 4;
    switch (type) {
      case kHunkName:
      case kHunkCode:
      case kHunkData:
      case kHunkDebug:
        skip_counted_block();
        break;
      case kHunkBss:
        p_ += 4;
        break;
      case kHunkEnd:
        break;
      case kHunkSymbol:
        skip_symbols();
        break;
      case kHunkReloc32:
        if (!transform_groups(4)) return groupsMet_ ? 1 : 0;
        break;
      case kHunkDrel32:
      case kHunkReloc32Short:
        if (!transform_groups(2)) return groupsMet_ ? 1 : 0;
        break;
      default:
        return groupsMet_ ? 1 : 0;
    }
  }
  if (!groupsMet_) return 0;
  return p_ == length_ ? 2 : 1;
}

}  // namespace

int reloc_transform(std::uint8_t* image, std::int64_t length, RelocDirection direction) {
  const int result = HunkWalk(image, length, direction).run();
  return direction == RelocDirection::Difference ? result : 0;
}

void reloc_transform_file(FILE* stream, RelocDirection direction) {
  const std::int64_t length = stream_length(stream);
  std::fseek(stream, 0, SEEK_SET);
  auto* image = length < 0 ? nullptr : static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(length) + 1));
  if (image == nullptr) fatal_exit("Not enough memory", 15, true);
  const auto size = static_cast<std::size_t>(length);
  if (std::fread(image, 1, size, stream) != size) {
    std::free(image);
    fail_with(15, true, "01 Error while reading.\n");
  }
  std::fseek(stream, 0, SEEK_SET);
  reloc_transform(image, length, direction);
  const bool written = std::fwrite(image, 1, size, stream) == size;
  std::free(image);
  if (!written) fail_with(15, true, " 01 Error while writing.\n");
}

}  // namespace vd
