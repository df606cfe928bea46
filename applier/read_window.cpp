#include "applier/read_window.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/break_signal.h"
#include "core/run_state.h"

namespace vd {
namespace {

[[noreturn]] void fail_copy(CopyFault fault, const char* sourceName, const char* outputName) {
  report_copy_fault(fault, sourceName, outputName);
  fatal_exit(nullptr, 15, true);
}

}  // namespace

ReadWindow::ReadWindow(FILE* stream, const char* name) : stream_(stream), name_(name) {
  // Reads go to the file itself, past the stream's buffer: anything still
  // in that buffer must be in the file first.
  std::fflush(stream_);
}

// A positioned read leaves the stream where it was, which the patch stream
// needs: its block stream goes on from there.
void ReadWindow::fill(std::int64_t position, std::int64_t length) {
  check_break();
  // Reading more than the match needs pays only for the matches close after
  // it; a match far away would waste it.
  const auto want = static_cast<std::size_t>(std::clamp<std::int64_t>(length, kLeast, kSize));
  ssize_t got;
  while ((got = pread(fileno(stream_), bytes_.data(), want, position)) < 0 && errno == EINTR) check_break();
  start_ = position;
  filled_ = got < 0 ? 0 : got;
}

void ReadWindow::copy_to(std::int64_t position, std::int64_t length, FILE* output, const char* outputName) {
  while (length > 0) {
    if (position < start_ || position >= start_ + filled_) {
      fill(position, length);
      if (filled_ == 0) fail_copy(CopyFault::Read, name_, outputName);
    }
    const std::int64_t take = std::min(length, start_ + filled_ - position);
    const auto n = static_cast<std::size_t>(take);
    if (std::fwrite(bytes_.data() + (position - start_), 1, n, output) != n)
      fail_copy(CopyFault::Write, name_, outputName);
    position += take;
    length -= take;
  }
}

}  // namespace vd
