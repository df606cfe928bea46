#include "applier/read_window.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/break_signal.h"
#include "core/run_state.h"

namespace vd {
namespace {

[[noreturn]] void fail_reading(const char* name) {
  report_copy_fault(CopyFault::Read, name, "");
  fatal_exit(nullptr, 15, true);
}

}  // namespace

void ReadWindow::attach(FILE* stream, const char* name) {
  stream_ = stream;
  name_ = name;
  page_.fill(-1);
  // Reads go to the file itself, past the stream's buffer: anything still
  // in that buffer must be in the file first.
  std::fflush(stream_);
}

// Reads `wanted` pages from page `first` on with one positioned read, as
// many as fit before the slots wrap around. A positioned read leaves the
// stream where it was, which the patch stream needs: its block stream goes
// on from there.
void ReadWindow::read_pages(std::int64_t first, std::int64_t wanted) {
  check_break();
  const std::int64_t slot = first % kPages;
  const std::int64_t pages = std::min(wanted, kPages - slot);
  std::uint8_t* into = bytes_.data() + slot * kPageSize;
  ssize_t got;
  while ((got = pread(fileno(stream_), into, static_cast<std::size_t>(pages * kPageSize), first * kPageSize)) < 0 &&
         errno == EINTR)
    check_break();
  const std::int64_t read = got < 0 ? 0 : got;
  for (std::int64_t i = 0; i < pages; ++i) {
    page_[slot + i] = first + i;
    valid_[slot + i] = std::clamp<std::int64_t>(read - i * kPageSize, 0, kPageSize);
  }
}

void ReadWindow::copy_through_pages(std::int64_t position, std::int64_t length, OutputSink& output) {
  while (length > 0) {
    const std::int64_t page = position / kPageSize;
    const std::int64_t slot = page % kPages;
    if (page_[slot] != page) read_pages(page, (position % kPageSize + length + kPageSize - 1) / kPageSize);
    const std::int64_t offset = position % kPageSize;
    if (offset >= valid_[slot]) fail_reading(name_);
    const auto take = static_cast<std::size_t>(std::min(length, valid_[slot] - offset));
    output.put(bytes_.data() + slot * kPageSize + offset, take);
    position += static_cast<std::int64_t>(take);
    length -= static_cast<std::int64_t>(take);
  }
}

}  // namespace vd
