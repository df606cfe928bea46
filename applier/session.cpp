#include "applier/session.h"

#include "core/files.h"
#include "core/temp_files.h"

namespace vd {

FILE* open_input(const char* name) {
  OpenFailure failure = OpenFailure::None;
  FILE* stream = open_input_file(name, failure);
  if (failure == OpenFailure::NotRegularFile) fatal_exit(not_regular_file_message(name).c_str(), 15, false);
  if (stream == nullptr) fail_open(name, false);
  return stream;
}

void report_open_failure(const char* name) { std::printf("Error while opening %s.\n", name); }

void fail_open(const char* name, bool deleteOutput) {
  report_open_failure(name);
  fatal_exit(nullptr, 15, deleteOutput);
}

void close_or_fail(NamedStream& stream) {
  const int closed = close_file(stream.file);
  stream.file = nullptr;
  if (closed != 0) fail_with(15, true, "Error while closing %s.\n", stream.name);
}

std::int64_t stream_size(FILE* stream) {
  const std::int64_t size = stream_length(stream);
  std::fseek(stream, 0, SEEK_SET);
  return size < 0 ? 0 : size;
}

}  // namespace vd
