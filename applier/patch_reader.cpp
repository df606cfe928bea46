#include "applier/patch_reader.h"

#include <algorithm>

namespace vd {

bool PatchReader::refill() {
  next_ = bytes_;
  end_ = bytes_ + std::fread(bytes_, 1, kLookAhead, stream_);
  return next_ != end_;
}

void PatchReader::copy_to(OutputSink& output, std::int64_t count) {
  if (count <= 0) return;
  const auto fromBuffer = static_cast<std::size_t>(std::min(count, static_cast<std::int64_t>(remaining())));
  if (fromBuffer > 0) output.put(next_, fromBuffer);
  next_ += fromBuffer;
  output.put_from(stream_, streamName_, count - static_cast<std::int64_t>(fromBuffer));
}

}  // namespace vd
