#include "core/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "core/temp_files.h"

namespace vd {

static OpenFailure classify(const struct stat& info) {
  if (S_ISREG(info.st_mode)) return OpenFailure::None;
  return S_ISDIR(info.st_mode) ? OpenFailure::CannotOpen : OpenFailure::NotRegularFile;
}

// O_NONBLOCK makes opening a FIFO return at once, whether or not anyone holds
// its other end (for writing without a reader it fails with ENXIO, as opening
// a device that is not there does). Regular files ignore the flag, but it is
// cleared all the same before the stream is made.
static int open_without_waiting(const char* name, int flags, OpenFailure& failure) {
  const int fd = open(name, flags | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) {
    failure = errno == ENXIO ? OpenFailure::NotRegularFile : OpenFailure::CannotOpen;
    return -1;
  }
  struct stat info;
  failure = fstat(fd, &info) == 0 ? classify(info) : OpenFailure::CannotOpen;
  const int status = fcntl(fd, F_GETFL);
  if (failure == OpenFailure::None && (status < 0 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0))
    failure = OpenFailure::CannotOpen;
  if (failure == OpenFailure::None) return fd;
  close(fd);
  return -1;
}

FILE* open_regular_file(const char* name, int flags, const char* mode, OpenFailure& failure) {
  const int fd = open_without_waiting(name, flags, failure);
  if (fd < 0) return nullptr;
  FILE* stream = fdopen(fd, mode);
  if (stream == nullptr) {
    close(fd);
    failure = OpenFailure::CannotOpen;
  }
  return stream;
}

bool names_special_file(const char* name) {
  struct stat info;
  return stat(name, &info) == 0 && classify(info) == OpenFailure::NotRegularFile;
}

std::string not_regular_file_message(const char* name) {
  return std::string("File ") + name +
         " is not a regular file: pipes, sockets and devices are not supported.";
}

bool name_denotes(const char* name, int fd) {
  struct stat named;
  struct stat open;
  if (stat(name, &named) != 0 || fstat(fd, &open) != 0) return false;
  return named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

bool names_same_file(const char* name, FILE* stream) { return name_denotes(name, fileno(stream)); }

std::string path_beside(const std::string& target, const std::string& tag, std::size_t extra) {
  const std::string leaf = leaf_of(target);
  const std::string dir = target.substr(0, target.size() - leaf.size());
  return dir + fitted_leaf(leaf, tag.size() + 1 + extra) + "." + tag;
}

FILE* create_beside(const std::string& target, std::string& name) {
  return create_numbered_file(path_beside(target, partial_tag(), kNumberRoom + 1) + ".", false, name);
}

std::string resolved_path(const char* name) {
  char* resolved = realpath(name, nullptr);
  if (resolved == nullptr) return {};
  std::string path = resolved;
  std::free(resolved);
  return path;
}

bool flush_to_disk(FILE* file) { return std::fflush(file) == 0 && fsync(fileno(file)) == 0; }

std::string replacement_target(const char* name) {
  const std::string target = resolved_path(name);
  if (target.empty()) return {};
  struct stat info;
  if (stat(target.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1) return {};
  return target;
}

bool sync_directory_of(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0;
  close(fd);
  return synced;
}

bool commit_beside(FILE* file, const std::string& name, const std::string& target) {
  struct stat info;
  bool ready = std::fflush(file) == 0 && stat(target.c_str(), &info) == 0;
  if (ready) {
    // The owner can only be kept by a privileged run; the bits always.
    [[maybe_unused]] const int owned = fchown(fileno(file), info.st_uid, info.st_gid);
    ready = fchmod(fileno(file), info.st_mode & 07777) == 0 && fsync(fileno(file)) == 0;
  }
  ready = close_keeping_file(file) == 0 && ready;
  if (!ready || rename(name.c_str(), target.c_str()) != 0) return false;
  // The rename itself must reach the disk before anything is said to be done.
  sync_directory_of(target);
  return true;
}

std::int64_t stream_length(FILE* stream) {
  const long position = std::ftell(stream);
  std::fseek(stream, 0, SEEK_END);
  const long length = std::ftell(stream);
  std::fseek(stream, position, SEEK_SET);
  return length;
}

}  // namespace vd
