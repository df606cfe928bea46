// A window onto the oldfile or the patch file that serves the matches of a
// block stream. Matches often lie near one another, so many are copied from
// memory; the file is read only when a match leaves the window, and the
// stream (which must belong to a file) is left where it was.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>

namespace vd {

class ReadWindow {
 public:
  static constexpr std::int64_t kSize = 64 * 1024;
  static constexpr std::int64_t kLeast = 4096;

  ReadWindow(FILE* stream, const char* name);

  // Writes `length` bytes of the file from `position` on to the output. A
  // read or write that fails, or a file that ends first, ends the run with
  // exit 15 and the output deleted.
  void copy_to(std::int64_t position, std::int64_t length, FILE* output, const char* outputName);

 private:
  void fill(std::int64_t position, std::int64_t length);

  FILE* stream_;
  const char* name_;
  std::array<std::uint8_t, kSize> bytes_;
  std::int64_t start_ = 0;  // file position of bytes_[0]
  std::int64_t filled_ = 0;
};

}  // namespace vd
