#include "core/version.h"

#include <cstring>

#include "core/break_signal.h"
#include "core/files.h"
#include "core/run_state.h"

namespace vd {
namespace {

// Held reversed and compared back to front, so that the only complete "$VER: "
// in a program's own image is its real version string.
constexpr char kReversedPattern[] = " :REV$";
constexpr int kPatternLength = 6;

bool pattern_at(const std::uint8_t* p) {
  for (int j = 0; j < kPatternLength; ++j)
    if (p[j] != static_cast<std::uint8_t>(kReversedPattern[kPatternLength - 1 - j])) return false;
  return true;
}

bool is_control(std::uint8_t c) { return c < 32 || c == 127; }

}  // namespace

const std::uint8_t* find_version(const std::uint8_t* image, std::int64_t length) {
  if (image == nullptr || length <= kPatternLength) return nullptr;
  // Images of large programs hold few '$': the library finds them far
  // faster than a comparison at every byte.
  const std::uint8_t* const last = image + length - kPatternLength;
  for (const std::uint8_t* p = image; p < last; ++p) {
    p = static_cast<const std::uint8_t*>(std::memchr(p, '$', static_cast<std::size_t>(last - p)));
    if (p == nullptr) return nullptr;
    if (pattern_at(p)) return p + kPatternLength;
  }
  return nullptr;
}

std::string version_text(const std::uint8_t* text, const std::uint8_t* end) {
  const std::uint8_t* stop = text;
  while (stop < end && !is_control(*stop)) ++stop;
  return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(stop - text));
}

const char* find_version_in_file(FILE* stream, bool noVersion) {
  if (noVersion) return nullptr;
  WorkingBuffer& buffer = working_buffer();
  std::int64_t remaining = stream_length(stream);
  std::fseek(stream, 0, SEEK_SET);
  if (remaining < 8) return nullptr;
  // Go on while a start with at least one byte after the pattern is left
  // unexamined: the next chunk begins six bytes before the end of this one,
  // so that is the case while more than six bytes remain from there. Stopping
  // earlier would miss a version string near the end of the file, depending
  // on where the chunks happen to end.
  while (remaining > kPatternLength) {
    check_break();
    const std::size_t n =
        remaining < buffer.size ? static_cast<std::size_t>(remaining) : buffer.size;
    if (std::fread(buffer.data, 1, n, stream) != n) fatal_exit("Error while reading.", 15, true);
    remaining -= static_cast<std::int64_t>(n);
    const auto chunk = static_cast<std::int64_t>(n);
    if (const std::uint8_t* text = find_version(buffer.data, chunk)) {
      const std::int64_t after = text - buffer.data;
      std::fseek(stream, static_cast<long>(after - chunk), SEEK_CUR);
      remaining += chunk - after;
      const std::size_t wanted =
          remaining < buffer.size ? static_cast<std::size_t>(remaining) : buffer.size;
      // The text ends where the file ends: bytes behind what this read
      // delivered are left over from earlier chunks.
      std::size_t got = std::fread(buffer.data, 1, wanted, stream);
      if (got == buffer.size) got = buffer.size - 1;
      buffer.data[got] = 0;
      for (std::size_t k = 0; k < got; ++k)
        if (is_control(buffer.data[k])) buffer.data[k] = 0;
      return reinterpret_cast<const char*>(buffer.data);
    }
    remaining += kPatternLength;
    std::fseek(stream, -kPatternLength, SEEK_CUR);
  }
  return nullptr;
}

}  // namespace vd
