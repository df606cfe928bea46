#include "fuzz/fuzz_support.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "core/crc32.h"
#include "core/patch_format.h"
#include "core/run_state.h"

namespace vd::fuzz {
namespace {

std::string& dir_storage() {
  static std::string dir;
  return dir;
}

void make_private_dir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                        "/vardelta-fuzz.XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) violated("cannot create the private directory");
  dir_storage() = pattern;
  setenv("TMPDIR", pattern.c_str(), 1);
}

// Best effort: the directory holds only what the last input left.
void remove_private_dir() {
  const std::string& dir = dir_storage();
  if (dir.empty()) return;
  for (const std::string& name : stray_files({})) std::remove((dir + "/" + name).c_str());
  rmdir(dir.c_str());
}

}  // namespace

void init_harness() {
  make_private_dir();
  std::atexit(remove_private_dir);
  // The programs print progress on stdout; libFuzzer reports on stderr.
  // VARDELTA_FUZZ_CONSOLE=1 keeps it, to see what a reproducer does.
  if (std::getenv("VARDELTA_FUZZ_CONSOLE") != nullptr) return reset_run_state();
  if (std::freopen("/dev/null", "w", stdout) == nullptr) violated("cannot silence stdout");
  reset_run_state();
}

const std::string& private_dir() { return dir_storage(); }

std::string private_path(const char* leaf) { return dir_storage() + "/" + leaf; }

void fresh_working_buffer(std::uint32_t startSize) {
  WorkingBuffer& buffer = working_buffer();
  std::free(buffer.data);
  buffer = {};
  if (!alloc_working_buffer(startSize)) violated("cannot allocate the working buffer");
}

void reset_run_state() {
  RunState& state = run_state();
  state.streams = {};
  state.releaseRun = nullptr;
  state.partialOutput.clear();
  state.restoreOutput = nullptr;
  state.exitHook = [](int code) { throw RunEnded{code}; };
  state.copyMessagePrefix = "";
}

void write_file(const std::string& path, const Bytes& content) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) violated("cannot write an input file");
  const bool complete = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  if (std::fclose(file) != 0 || !complete) violated("cannot write an input file");
}

Bytes read_file(const std::string& path) {
  Bytes content;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return content;
  std::uint8_t chunk[4096];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) content.insert(content.end(), chunk, chunk + n);
  std::fclose(file);
  return content;
}

bool file_exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

std::vector<std::string> stray_files(const std::vector<std::string>& allowed) {
  std::vector<std::string> found;
  DIR* dir = opendir(dir_storage().c_str());
  if (dir == nullptr) return found;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (std::find(allowed.begin(), allowed.end(), name) == allowed.end()) found.push_back(name);
  }
  closedir(dir);
  return found;
}

FILE* memory_stream(const Bytes& content) {
  // fmemopen wants a non-null buffer even for an empty range.
  static std::uint8_t empty = 0;
  void* data = content.empty() ? &empty : const_cast<std::uint8_t*>(content.data());
  FILE* stream = fmemopen(data, content.size(), "rb");
  if (stream == nullptr) violated("fmemopen failed");
  return stream;
}

FILE* unnamed_file_stream(const Bytes& content) {
  FILE* stream = std::tmpfile();
  if (stream == nullptr) violated("tmpfile failed");
  if (!content.empty() && std::fwrite(content.data(), 1, content.size(), stream) != content.size())
    violated("cannot fill an unnamed file");
  std::rewind(stream);
  return stream;
}

void violated(const char* what) {
  std::fprintf(stderr, "fuzz invariant violated: %s\n", what);
  std::abort();
}

void fix_crc_total(Bytes& patch) {
  if (patch.size() < 8) return;
  put_be(patch.data() + 4, crc32_of(patch.data() + 8, static_cast<std::int64_t>(patch.size() - 8)), 4);
}

std::vector<std::size_t> record_offsets(const Bytes& patch) {
  std::vector<std::size_t> offsets;
  if (patch.size() < kHeaderSize) return offsets;
  const std::uint32_t count = get_be(patch.data() + 8, 4);
  std::size_t offset = kHeaderSize;
  for (std::uint32_t i = 0; i < count && offset + kRecordFieldsSize <= patch.size(); ++i) {
    offsets.push_back(offset);
    const std::uint32_t patchsize = get_be(patch.data() + offset, 4);
    if (patchsize < kFixedFieldsAfterPatchsize) break;
    offset += 4 + std::size_t{patchsize};
  }
  return offsets;
}

}  // namespace vd::fuzz
