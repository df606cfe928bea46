// Micro-benchmarks of the hot routines: CRC-32, the match search (through a
// whole MODE 3 encoder run) and the applier's block decoding. Run by hand:
//   cmake -S . -B build-bench/micro -DVARDELTA_BENCH=ON -DCMAKE_BUILD_TYPE=Release
//   cmake --build build-bench/micro --target micro_bench && build-bench/micro/bin/micro_bench
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <vector>

#include "applier/decoder.h"
#include "core/crc32.h"
#include "core/run_state.h"
#include "maker/encoder.h"
#include "maker/match_index.h"

namespace vd {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes random_bytes(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return bytes;
}

// A new version: bytes changed and inserted every few kilobytes.
Bytes edited(const Bytes& old, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes result;
  for (std::size_t at = 0; at < old.size();) {
    const std::size_t keep = 1000 + rng() % 8000;
    result.insert(result.end(), old.begin() + at, old.begin() + std::min(old.size(), at + keep));
    at += keep;
    for (int i = 0; i < 8; ++i) result.push_back(static_cast<std::uint8_t>(rng()));
  }
  return result;
}

// Runs of one byte of random lengths, as in sparse binaries.
Bytes runs(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes bytes;
  while (bytes.size() < size) bytes.insert(bytes.end(), 1 + rng() % 64, rng() % 4 == 0 ? 0 : rng());
  bytes.resize(size);
  return bytes;
}

void BM_Crc32(benchmark::State& state) {
  const Bytes data = random_bytes(1 << 20, 1);
  for (auto _ : state) benchmark::DoNotOptimize(crc32_of(data.data(), static_cast<std::int64_t>(data.size())));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}
BENCHMARK(BM_Crc32);

// One MODE 3 encoder run over the whole newfile: a search at every position
// of every data block, and one for every match.
void encode(benchmark::State& state, Bytes old, Bytes neu) {
  MakerSession session;
  session.oldData = old.data();
  session.oldSize = static_cast<std::int32_t>(old.size());
  session.newData = neu.data();
  session.newSize = static_cast<std::int32_t>(neu.size());
  session.blockListing = false;
  MatchIndex index(session);
  // The encoder shows its progress on stdout, where the results go too.
  std::fflush(stdout);
  const int console = dup(1);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  index.allocate(false, false);
  index.build_old_index("old");
  for (auto _ : state) {
    EncodeResult result;
    result.out = std::tmpfile();
    index.reset_match_memo();
    CarriedState carried;
    encode_mode(3, session, index, result, carried);
    std::fclose(result.out);
    benchmark::DoNotOptimize(result.patchsize);
  }
  std::fflush(stdout);
  dup2(console, 1);
  close(console);
  close(null);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(neu.size()));
}

void BM_FindMatchEdited(benchmark::State& state) {
  const Bytes old = random_bytes(1 << 20, 2);
  encode(state, old, edited(old, 3));
}
BENCHMARK(BM_FindMatchEdited)->Unit(benchmark::kMillisecond);

void BM_FindMatchRuns(benchmark::State& state) {
  const Bytes old = runs(1 << 19, 4);
  encode(state, old, edited(old, 5));
}
BENCHMARK(BM_FindMatchRuns)->Unit(benchmark::kMillisecond);

// Decoding a record of 1 MiB literal data and 1 MiB of matches into a file.
void BM_Decode(benchmark::State& state) {
  alloc_working_buffer();
  const Bytes old = random_bytes(1 << 20, 6);
  std::FILE* oldStream = std::tmpfile();
  std::fwrite(old.data(), 1, old.size(), oldStream);
  // MODE 1: 64 KiB matches walking through the oldfile, then data blocks.
  Bytes stream;
  std::uint32_t blocks = 0;
  for (std::uint32_t at = 0; at < old.size(); at += 65536, ++blocks) {
    const Bytes match = {0x80, 0xFF, 0x81, 0x00};  // 65,536 bytes at the running position
    stream.insert(stream.end(), match.begin(), match.end());
  }
  const Bytes literal = random_bytes(1 << 20, 7);
  for (std::size_t at = 0; at < literal.size(); at += 127, ++blocks) {
    const std::size_t n = std::min<std::size_t>(127, literal.size() - at);
    stream.push_back(static_cast<std::uint8_t>(n));
    stream.insert(stream.end(), literal.begin() + at, literal.begin() + at + n);
  }
  std::FILE* patchStream = std::tmpfile();
  std::fwrite(stream.data(), 1, stream.size(), patchStream);
  for (auto _ : state) {
    std::FILE* output = std::tmpfile();
    std::fseek(patchStream, 0, SEEK_SET);
    DecodeJob job;
    job.oldStream = oldStream;
    job.oldSize = static_cast<std::int64_t>(old.size());
    job.patchStream = patchStream;
    job.patchLength = static_cast<std::int64_t>(stream.size()) + 1000;
    job.recordOffset = 12;
    job.fields.typeWord = 1;
    job.fields.blocks = blocks;
    job.fields.filesize = static_cast<std::int32_t>(old.size());
    job.fields.patchsize = 20;
    job.output = output;
    execute_block_stream(job);
    std::fclose(output);
  }
  state.SetBytesProcessed(state.iterations() * (2 << 20));
}
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vd

BENCHMARK_MAIN();
