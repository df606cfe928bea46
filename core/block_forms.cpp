#include "core/block_forms.h"

namespace vd {

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

std::int64_t data_block_size(int mode, std::int64_t length) { return header_size(mode, length) + length; }

}  // namespace vd
