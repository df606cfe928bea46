#include "applier/session.h"

#include "core/files.h"

namespace vd {

ApplierSession& applier_session() {
  static ApplierSession state;
  return state;
}

FILE* open_input(const char* name) {
  OpenFailure failure = OpenFailure::None;
  FILE* stream = open_input_file(name, failure);
  if (failure == OpenFailure::NotRegularFile) fatal_exit(not_regular_file_message(name).c_str(), 15, false);
  if (stream == nullptr) {
    std::printf("Error while opening %s.\n", name);
    fatal_exit(nullptr, 15, false);
  }
  return stream;
}

std::int64_t stream_size(FILE* stream) {
  std::fseek(stream, 0, SEEK_END);
  const long size = std::ftell(stream);
  std::fseek(stream, 0, SEEK_SET);
  return size < 0 ? 0 : size;
}

}  // namespace vd
