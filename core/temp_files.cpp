#include "core/temp_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <list>

namespace vd {
namespace {

struct TempNode {
  FILE* stream;
  std::string name;
};

std::list<TempNode>& registry() {
  static std::list<TempNode> nodes;
  return nodes;
}

// Names are tried one after another until one can be created; the bound only
// keeps a directory full of our names from turning into an endless loop.
constexpr int kNameAttempts = 100000;

}  // namespace

std::string temp_directory() {
  const char* dir = std::getenv("TMPDIR");
  return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

FILE* create_numbered_file(const std::string& prefix, bool append, std::string& name) {
  static int counter = 0;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, "t%08lx_%d", static_cast<unsigned long>(getpid()), counter++);
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

FILE* open_temp(std::string* nameOut) {
  std::string name;
  FILE* stream = create_numbered_file(temp_directory() + "/", true, name);
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
