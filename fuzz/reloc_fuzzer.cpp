// The relocation walk on arbitrary bytes, in both directions.
//
// The applier rebuilds an executable by summing what the maker took
// differences of, so the two directions must be exact inverses on any image,
// hunk executable or not; and transforming a file must give the same bytes
// as transforming its image in memory.
#include <cstdint>
#include <cstdio>

#include "core/reloc.h"
#include "fuzz/fuzz_support.h"

namespace vd::fuzz {
namespace {

Bytes transformed(const Bytes& image, RelocDirection direction, int* result = nullptr) {
  Bytes copy = image;  // exactly the image's size, so ASan sees any overrun
  const int value = reloc_transform(copy.data(), static_cast<std::int64_t>(copy.size()), direction);
  if (result != nullptr) *result = value;
  return copy;
}

Bytes transformed_as_file(const Bytes& image, RelocDirection direction) {
  Bytes content = image;
  content.push_back(0);  // room for the terminator that fmemopen may add
  FILE* stream = fmemopen(content.data(), image.size(), "r+b");
  if (stream == nullptr) violated("fmemopen failed");
  try {
    reloc_transform_file(stream, direction);
  } catch (const RunEnded&) {
    violated("transforming a file in memory failed");
  }
  std::fclose(stream);
  content.pop_back();
  return content;
}

void check(const Bytes& image) {
  int result = -1;
  const Bytes difference = transformed(image, RelocDirection::Difference, &result);
  if (result < 0 || result > 2) violated("difference direction returned a value outside 0 to 2");
  if (result == 0 && difference != image) violated("result 0 but the image changed");
  int sumResult = -1;
  if (transformed(difference, RelocDirection::Sum, &sumResult) != image)
    violated("difference then sum did not restore the input");
  if (sumResult != 0) violated("sum direction returned a value other than 0");
  if (transformed(transformed(image, RelocDirection::Sum), RelocDirection::Difference) != image)
    violated("sum then difference did not restore the input");
  if (transformed_as_file(image, RelocDirection::Difference) != difference)
    violated("the file transform differs from the image transform");
}

}  // namespace
}  // namespace vd::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vd::fuzz::init_harness();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vd::fuzz::check(vd::fuzz::Bytes(data, data + size));
  return 0;
}
