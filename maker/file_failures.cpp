#include "maker/file_failures.h"

#include "core/run_state.h"

namespace vd {

void fail_open(const char* name, int code, bool deleteOutput) {
  fail_with(code, deleteOutput, "\nError while opening %s.\n\n", name);
}

void fail_write(const char* name) { fail_with(15, true, "\nError while writing %s.\n\n", name); }

void close_or_fail(FILE*& stream, const char* name, int (*close)(FILE*)) {
  const int closed = close(stream);
  stream = nullptr;
  if (closed != 0) fail_with(15, true, "\nError while closing %s.\n\n", name);
}

}  // namespace vd
