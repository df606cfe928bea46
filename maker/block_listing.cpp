#include "maker/block_listing.h"

#include <vector>

#include "core/block_stream.h"
#include "core/patch_format.h"
#include "maker/console.h"

namespace vd {

void list_blocks(const MakerSession& s, int mode, const EncodeResult& result) {
  std::vector<std::uint8_t> stream(static_cast<std::size_t>(result.patchsize - kFixedFieldsAfterPatchsize));
  std::fseek(result.out, 0, SEEK_SET);
  const std::size_t got = std::fread(stream.data(), 1, stream.size(), result.out);
  std::fseek(result.out, 0, SEEK_END);
  MemorySource source(stream.data(), got);
  BlockStreamParser parser(mode, far_width(s.oldSize, s.recordStart));
  std::int64_t start = 0;
  Block block;
  std::vector<std::uint8_t> skipped;
  for (std::uint32_t i = 0; i < result.blocks && parser.next(source, block); ++i) {
    if (block.is_match()) {
      const bool inOldfile = block.position < s.oldSize;
      list_match_block(start, block.length, inOldfile ? block.position : block.position - s.oldSize,
                       inOldfile ? s.oldName : s.patchName);
    } else {
      list_data_block(start, block.length);
      skipped.resize(block.length);
      if (!source.read(skipped.data(), skipped.size())) break;
    }
    start += block.length;
  }
}

}  // namespace vd
