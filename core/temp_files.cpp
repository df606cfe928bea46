#include "core/temp_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <list>

#include "core/crc32.h"

namespace vd {
namespace {

struct TempNode {
  FILE* stream;
  std::string name;
};

// Process-wide rather than in a run record: fatal_exit must remove every
// temporary file on every way out, including a break noticed deep inside a
// copy loop, where no record is at hand.
std::list<TempNode>& registry() {
  static std::list<TempNode> nodes;
  return nodes;
}

const char*& programName() {
  static const char* name = "Vardelta";
  return name;
}

// Names are tried one after another until one can be created; the bound only
// keeps a directory full of our names from turning into an endless loop.
constexpr int kNameAttempts = 100000;

}  // namespace

std::string temp_directory() {
  const char* dir = std::getenv("TMPDIR");
  return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

void set_program_name(const char* name) { programName() = name; }

std::string partial_tag() { return std::string(programName()) + "-partial"; }

std::string leaf_of(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string fitted_leaf(const std::string& leaf, std::size_t extra) {
  constexpr std::size_t kChecksumLength = 9;  // "~" and eight hexadecimal digits
  if (leaf.size() + extra <= kMaxLeafName) return leaf;
  const std::size_t room = kMaxLeafName > extra + kChecksumLength ? kMaxLeafName - extra - kChecksumLength : 0;
  char checksum[16];
  std::snprintf(checksum, sizeof checksum, "~%08lx",
                static_cast<unsigned long>(crc32_of(reinterpret_cast<const std::uint8_t*>(leaf.data()),
                                                    static_cast<std::int64_t>(leaf.size()))));
  return leaf.substr(0, room) + checksum;
}

FILE* create_numbered_file(const std::string& prefix, bool append, std::string& name) {
  static int counter = 0;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, "%ld_%d", static_cast<long>(getpid()), counter++);
    const std::string candidate = prefix + suffix;
    const int fd = open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | (append ? O_APPEND : 0), 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    FILE* stream = fdopen(fd, append ? "a+b" : "w+b");
    if (stream == nullptr) {
      close(fd);
      std::remove(candidate.c_str());
      return nullptr;
    }
    name = candidate;
    return stream;
  }
  return nullptr;
}

FILE* open_temp(const std::string& owner, std::string* nameOut) {
  const std::string tag = "." + partial_tag() + ".";
  const std::string leaf = fitted_leaf(leaf_of(owner), tag.size() + kNumberRoom);
  std::string name;
  FILE* stream = create_numbered_file(temp_directory() + "/" + leaf + tag, true, name);
  if (stream == nullptr) return nullptr;
  if (nameOut != nullptr) *nameOut = name;
  registry().push_front({stream, std::move(name)});
  return stream;
}

void register_temp_file(FILE* stream, const std::string& name) {
  registry().push_front({stream, name});
}

FILE* open_scratch() {
  const std::string dir = temp_directory();
  int fd = open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    // File systems without nameless files: a private name, removed at once.
    std::string name = dir + "/scratchXXXXXX";
    fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return nullptr;
    unlink(name.c_str());
  }
  FILE* stream = fdopen(fd, "w+b");
  if (stream == nullptr) close(fd);
  return stream;
}

int close_file(FILE* stream) {
  auto& nodes = registry();
  const int result = std::fclose(stream);
  for (auto node = nodes.begin(); node != nodes.end(); ++node) {
    if (node->stream == stream) {
      std::remove(node->name.c_str());
      nodes.erase(node);
      break;
    }
  }
  return result;
}

int close_keeping_file(FILE* stream) {
  auto& nodes = registry();
  for (auto node = nodes.begin(); node != nodes.end(); ++node) {
    if (node->stream == stream) {
      nodes.erase(node);
      break;
    }
  }
  return std::fclose(stream);
}

void close_all_temp_files() {
  auto& nodes = registry();
  while (!nodes.empty()) close_file(nodes.front().stream);
}

}  // namespace vd
