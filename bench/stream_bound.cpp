// The fewest bytes a block stream of each MODE can take for a pair of small
// files (the first record of a new patch file), to measure an encoder
// against:
//   build-bench/build/bin/stream_bound oldfile newfile [MODE ...]
// A patch file adds 36 bytes to its stream (header and record fields).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "support/stream_bound.h"

namespace {

std::vector<std::uint8_t> read_all(const char* name) {
  std::error_code error;
  std::ifstream in(name, std::ios::binary);
  if (!std::filesystem::is_regular_file(name, error) || !in) {
    std::fprintf(stderr, "stream_bound: cannot read %s\n", name);
    std::exit(1);
  }
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "Usage: stream_bound <oldfile> <newfile> [MODE ...]\n");
    return 1;
  }
  const std::vector<std::uint8_t> old = read_all(argv[1]);
  const std::vector<std::uint8_t> neu = read_all(argv[2]);
  std::vector<int> modes;
  for (int i = 3; i < argc; ++i) modes.push_back(std::atoi(argv[i]));
  if (modes.empty()) modes = {1, 2, 3, 4};
  for (const int mode : modes) {
    if (mode < 1 || mode > 4) {
      std::fprintf(stderr, "stream_bound: no MODE %d\n", mode);
      return 1;
    }
    const auto bound = vd::test::stream_lower_bound(mode, old, neu);
    if (!bound) {
      std::fprintf(stderr, "stream_bound: the files are too large to bound\n");
      return 1;
    }
    std::printf("MODE %d: at least %lld stream bytes\n", mode, static_cast<long long>(*bound));
  }
  return 0;
}
