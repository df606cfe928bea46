#include "core/block_stream.h"

#include <algorithm>
#include <cstring>

namespace vd {

bool ByteSource::read_across_refills(std::uint8_t* destination, std::size_t n) {
  while (n > 0) {
    if (next_ == end_ && !refill()) return false;
    const std::size_t take = std::min(n, remaining());
    std::memcpy(destination, next_, take);
    next_ += take;
    destination += take;
    n -= take;
  }
  return true;
}

}  // namespace vd
