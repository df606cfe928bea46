#include "support/edited_files.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace vd::test {

Bytes code_like(Rng& rng, std::size_t words) {
  Bytes out;
  for (std::size_t i = 0; i < words; ++i) {
    const std::uint8_t opcode = static_cast<std::uint8_t>(0x40 + rng.below(24));
    out.insert(out.end(), {opcode, static_cast<std::uint8_t>(rng.below(4)), static_cast<std::uint8_t>(rng.next()),
                           static_cast<std::uint8_t>(rng.below(3))});
  }
  return out;
}

Bytes text_like(Rng& rng, std::size_t words) {
  static const char* const vocabulary[] = {"the ", "block ", "stream ", "of ", "a ", "patch ", "file\n", "match ",
                                           "data ", "position ", "running ", "length "};
  std::string out;
  for (std::size_t i = 0; i < words; ++i) out += vocabulary[rng.below(std::size(vocabulary))];
  return bytes_of(out);
}

Bytes runs_of_bytes(Rng& rng, std::size_t runs) {
  Bytes out;
  for (std::size_t i = 0; i < runs; ++i) out.insert(out.end(), 1 + rng.below(600), static_cast<std::uint8_t>(rng.below(4)));
  return out;
}

Bytes edited(Rng& rng, Bytes file) {
  const std::size_t edits = 1 + file.size() / 300;
  for (std::size_t i = 0; i < edits && !file.empty(); ++i) {
    const std::size_t at = rng.below(file.size());
    switch (rng.below(5)) {
      case 0:
      case 1:
        file[at] = static_cast<std::uint8_t>(rng.next());
        break;
      case 2: {
        const Bytes inserted = rng.bytes(1 + rng.below(12));
        file.insert(file.begin() + static_cast<std::ptrdiff_t>(at), inserted.begin(), inserted.end());
        break;
      }
      case 3:
        file.erase(file.begin() + static_cast<std::ptrdiff_t>(at),
                   file.begin() + static_cast<std::ptrdiff_t>(std::min(file.size(), at + 1 + rng.below(40))));
        break;
      default: {
        const std::size_t length = std::min<std::size_t>(file.size() - at, 1 + rng.below(2000));
        const Bytes moved(file.begin() + static_cast<std::ptrdiff_t>(at),
                          file.begin() + static_cast<std::ptrdiff_t>(at + length));
        file.erase(file.begin() + static_cast<std::ptrdiff_t>(at), file.begin() + static_cast<std::ptrdiff_t>(at + length));
        const std::size_t to = rng.below(file.size() + 1);
        file.insert(file.begin() + static_cast<std::ptrdiff_t>(to), moved.begin(), moved.end());
        break;
      }
    }
  }
  return file;
}

}  // namespace vd::test
