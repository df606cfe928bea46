#include "applier/output_sink.h"

#include <algorithm>

#include "core/run_state.h"

namespace vd {

void OutputSink::attach(FILE* file, const char* name) {
  file_ = file;
  name_ = name;
  used_ = 0;
}

void OutputSink::put_in_pieces(const std::uint8_t* bytes, std::size_t n) {
  while (n > 0) {
    if (used_ == kCapacity) flush();
    const std::size_t take = std::min(n, kCapacity - used_);
    std::memcpy(bytes_.data() + used_, bytes, take);
    used_ += take;
    bytes += take;
    n -= take;
  }
}

void OutputSink::put_from(FILE* source, const char* sourceName, std::int64_t count) {
  while (count > 0) {
    if (used_ == kCapacity) flush();
    const auto take = static_cast<std::size_t>(std::min<std::int64_t>(count, kCapacity - used_));
    if (std::fread(bytes_.data() + used_, 1, take, source) != take) {
      report_copy_fault(CopyFault::Read, sourceName, name_);
      fatal_exit(nullptr, 15, true);
    }
    used_ += take;
    count -= static_cast<std::int64_t>(take);
  }
}

void OutputSink::flush() {
  if (used_ > 0 && std::fwrite(bytes_.data(), 1, used_, file_) != used_) {
    report_copy_fault(CopyFault::Write, "", name_);
    fatal_exit(nullptr, 15, true);
  }
  used_ = 0;
}

}  // namespace vd
