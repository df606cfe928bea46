#include "applier/patch_reader.h"

#include <algorithm>
#include <cstring>

#include "core/run_state.h"

namespace vd {

bool PatchReader::refill() {
  position_ = 0;
  length_ = std::fread(bytes_, 1, kLookAhead, stream_);
  return length_ > 0;
}

bool PatchReader::read(std::uint8_t* destination, std::size_t n) {
  while (n > 0) {
    if (position_ == length_ && !refill()) return false;
    const std::size_t take = std::min(n, length_ - position_);
    std::memcpy(destination, bytes_ + position_, take);
    position_ += take;
    destination += take;
    n -= take;
  }
  return true;
}

void PatchReader::copy_to(FILE* output, std::int64_t count, const char* outputName) {
  if (count <= 0) return;
  const std::size_t fromBuffer =
      static_cast<std::size_t>(std::min<std::int64_t>(count, static_cast<std::int64_t>(buffered())));
  if (fromBuffer > 0 && fwrite_unlocked(bytes_ + position_, 1, fromBuffer, output) != fromBuffer)
    fail_with(15, true, "\nError while writing %s\n", outputName);
  position_ += fromBuffer;
  copy_bytes(stream_, output, count - static_cast<std::int64_t>(fromBuffer), streamName_, outputName,
             true);
}

}  // namespace vd
