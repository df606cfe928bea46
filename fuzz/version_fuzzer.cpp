// The version finder, in memory and in a file searched in chunks.
//
// Input: a working-buffer size selector, then the image. The in-memory
// search is checked against a plain scan; the file search must find the same
// text whatever the chunk size, cut only by the buffer (which holds the text
// and its terminating NUL) and skipping files shorter than 8 bytes.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "core/run_state.h"
#include "core/version.h"
#include "fuzz/fuzz_support.h"

namespace vd::fuzz {
namespace {

const std::uint8_t* plain_scan(const Bytes& image) {
  for (std::size_t i = 0; i + 6 < image.size(); ++i)
    if (std::memcmp(image.data() + i, "$VER: ", 6) == 0) return image.data() + i;
  return nullptr;
}

bool is_control(unsigned char c) { return c < 32 || c == 127; }

// The text in memory, or none.
std::optional<std::string> memory_text(const Bytes& image) {
  const std::uint8_t* end = image.data() + image.size();
  const std::uint8_t* found = find_version(image.data(), static_cast<std::int64_t>(image.size()));
  const std::uint8_t* expected = plain_scan(image);
  if (found != (expected == nullptr ? nullptr : expected + 6)) violated("find_version disagrees with a plain scan");
  if (found == nullptr) return std::nullopt;
  const std::string text = version_text(found, end);
  if (found + text.size() > end) violated("version text runs past the image");
  for (const char c : text)
    if (is_control(static_cast<unsigned char>(c))) violated("version text holds a control character");
  if (found + text.size() < end && !is_control(found[text.size()])) violated("version text ends too early");
  return text;
}

FILE* open_image(const Bytes& image, bool realFile) {
  if (!realFile) return memory_stream(image);
  write_file(private_path("image"), image);
  FILE* stream = std::fopen(private_path("image").c_str(), "rb");
  if (stream == nullptr) violated("cannot open the image file");
  return stream;
}

void check_file(const Bytes& image, const std::optional<std::string>& text, std::uint8_t selector) {
  reset_run_state();
  fresh_working_buffer(std::uint32_t{32} << (selector % 14));
  const std::uint32_t bufferSize = working_buffer().size;
  FILE* stream = open_image(image, (selector & 0x80) != 0);
  std::optional<std::string> found;
  try {
    if (find_version_in_file(stream, true) != nullptr) violated("NOVERSION still searched");
    if (const char* result = find_version_in_file(stream, false)) found = result;
  } catch (const RunEnded&) {
    violated("searching a readable file failed");
  }
  std::fclose(stream);
  std::optional<std::string> expected;
  if (image.size() >= 8 && text) expected = text->substr(0, bufferSize - 1);
  if (found != expected) violated("the file search disagrees with the search in memory");
}

}  // namespace
}  // namespace vd::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vd::fuzz::init_harness();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vd::fuzz;
  if (size < 1) return 0;
  const Bytes image(data + 1, data + size);
  check_file(image, memory_text(image), data[0]);
  std::remove(private_path("image").c_str());
  return 0;
}
