// Version strings: "$VER: " followed by a text up to the first control
// character (bytes 0 to 31 and 127; bytes 128 to 255 belong to the text).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace vd {

// The first byte after the first "$VER: " in the image, or null. A pattern in
// the last six bytes, with nothing after it, does not count.
const std::uint8_t* find_version(const std::uint8_t* image, std::int64_t length);

// The version text that starts at `text`, ending at the first control
// character or at `end`.
std::string version_text(const std::uint8_t* text, const std::uint8_t* end);

// Searches a stream in chunks of the working buffer (overlapping by six bytes)
// and returns the working buffer holding the version text as a C string, or
// null when `noVersion` is set, the file is shorter than 8 bytes or holds no
// version string. The stream position is left wherever the search ended.
const char* find_version_in_file(FILE* stream, bool noVersion);

}  // namespace vd
