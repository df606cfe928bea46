#include "applier/session.h"

namespace vd {

ApplierSession& applier_session() {
  static ApplierSession state;
  return state;
}

std::int64_t stream_size(FILE* stream) {
  std::fseek(stream, 0, SEEK_END);
  const long size = std::ftell(stream);
  std::fseek(stream, 0, SEEK_SET);
  return size < 0 ? 0 : size;
}

}  // namespace vd
