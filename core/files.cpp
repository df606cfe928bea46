#include "core/files.h"

#include <sys/stat.h>

namespace vd {

FILE* open_input_file(const char* name) {
  FILE* stream = std::fopen(name, "rb");
  struct stat info;
  if (stream != nullptr && (fstat(fileno(stream), &info) != 0 || S_ISDIR(info.st_mode))) {
    std::fclose(stream);
    return nullptr;
  }
  return stream;
}

bool names_same_file(const char* name, FILE* stream) {
  struct stat named;
  struct stat open;
  if (stat(name, &named) != 0 || fstat(fileno(stream), &open) != 0) return false;
  return named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

}  // namespace vd
