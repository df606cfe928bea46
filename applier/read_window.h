// The pages of the oldfile or the patch file that the matches of a block
// stream have read lately. Matches often return to places read before, so
// many are copied from memory; missing pages are read with positioned
// reads, several at a time where a match needs several, and the stream
// (which must belong to a file) is left where it was.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "applier/output_sink.h"

namespace vd {

class ReadWindow {
 public:
  static constexpr std::int64_t kPageSize = 4096;
  static constexpr std::int64_t kPages = 512;

  // Starts serving `stream` afresh, with no page read yet.
  void attach(FILE* stream, const char* name);

  // Puts `length` bytes of the file from `position` on into the output. A
  // read that fails, or a file that ends first, ends the run with exit 15
  // and the output deleted.
  void copy_to(std::int64_t position, std::int64_t length, OutputSink& output) {
    // Most matches are a few bytes from a page read before.
    const auto at = static_cast<std::uint64_t>(position);
    const auto slot = static_cast<std::size_t>(at / kPageSize % kPages);
    const auto offset = static_cast<std::int64_t>(at % kPageSize);
    if (page_[slot] == static_cast<std::int64_t>(at / kPageSize) && length <= valid_[slot] - offset)
      return output.put(bytes_.data() + slot * kPageSize + offset, static_cast<std::size_t>(length));
    copy_through_pages(position, length, output);
  }

 private:
  void copy_through_pages(std::int64_t position, std::int64_t length, OutputSink& output);
  void read_pages(std::int64_t first, std::int64_t wanted);

  FILE* stream_ = nullptr;
  const char* name_ = "";
  // Page p lives in slot p % kPages; a slot's page number, -1 while empty,
  // and how many of its bytes the file has. The slots end in the bytes a
  // short copy into the output may read beyond them.
  std::array<std::uint8_t, kPageSize * kPages + OutputSink::kShort> bytes_;
  std::array<std::int64_t, kPages> page_;
  std::array<std::int64_t, kPages> valid_;
};

}  // namespace vd
