#include "core/patch_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/crc32.h"
#include "core/files.h"
#include "core/temp_files.h"

namespace vd {
namespace {

constexpr char kMagic[8] = {'V', 'L', 'M', '3', 'j', 'r', 'n', 'l'};
constexpr std::size_t kHeaderBytes = 12;
constexpr std::size_t kChecked = sizeof kMagic + 8 + kHeaderBytes;
constexpr std::size_t kJournalSize = kChecked + 4;
constexpr char kSuffix[] = ".append-journal";

struct Entry {
  std::int64_t oldSize = 0;
  std::uint8_t header[kHeaderBytes] = {};
};

void put_be(std::uint8_t* at, std::uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i, value >>= 8) at[i] = static_cast<std::uint8_t>(value);
}

std::uint64_t get_be(const std::uint8_t* at, int bytes) {
  std::uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value = value << 8 | at[i];
  return value;
}

std::string resolved(const char* name) {
  char* path = realpath(name, nullptr);
  if (path == nullptr) return name;
  std::string result = path;
  std::free(path);
  return result;
}

// Beside the patch file first, then in the temporary folder.
std::string place(const char* name, int fd, int which) {
  const std::string path = resolved(name);
  if (which == 0) return path + kSuffix;
  struct stat info;
  if (fstat(fd, &info) != 0) return {};
  char ids[48];
  std::snprintf(ids, sizeof ids, ".%llx-%llx", static_cast<unsigned long long>(info.st_dev),
                static_cast<unsigned long long>(info.st_ino));
  return temp_directory() + "/" + path.substr(path.rfind('/') + 1) + ids + kSuffix;
}

bool write_all(int fd, const std::uint8_t* bytes, std::size_t size) {
  return write(fd, bytes, size) == static_cast<ssize_t>(size);
}

bool write_journal_at(const std::string& path, const std::uint8_t* bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool written = write_all(fd, bytes, kJournalSize) && fsync(fd) == 0;
  if (close(fd) == 0 && written && sync_directory_of(path)) return true;
  unlink(path.c_str());
  return false;
}

enum class Found { Absent, Foreign, Incomplete, Complete };

Found read_journal(const std::string& path, Entry& entry) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? Found::Absent : Found::Foreign;
  std::uint8_t bytes[kJournalSize + 1];
  struct stat info;
  const ssize_t got = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? read(fd, bytes, sizeof bytes) : -1;
  close(fd);
  if (got < 0) return Found::Foreign;
  const auto size = static_cast<std::size_t>(got);
  // A journal is written whole before the patch file changes; a run that died
  // while writing it leaves a start of one, which tells nothing is to undo.
  if (std::memcmp(bytes, kMagic, std::min(size, sizeof kMagic)) != 0 || size > kJournalSize) return Found::Foreign;
  if (size < kJournalSize || get_be(bytes + kChecked, 4) != crc32_of(bytes, kChecked)) return Found::Incomplete;
  entry.oldSize = static_cast<std::int64_t>(get_be(bytes + sizeof kMagic, 8));
  std::memcpy(entry.header, bytes + sizeof kMagic + 8, kHeaderBytes);
  return Found::Complete;
}

// The bytes an append leaves alone still sum to the CRC total the journal
// kept: the journal describes this file.
bool journal_fits(int fd, const Entry& entry) {
  struct stat info;
  if (fstat(fd, &info) != 0 || entry.oldSize < static_cast<std::int64_t>(kHeaderBytes) ||
      info.st_size < entry.oldSize)
    return false;
  std::uint32_t crc = crc32_update(kCrcStart, entry.header + 8, 4);
  std::uint8_t chunk[1 << 16];
  for (std::int64_t at = kHeaderBytes; at < entry.oldSize;) {
    const auto n = static_cast<std::size_t>(std::min<std::int64_t>(sizeof chunk, entry.oldSize - at));
    if (pread(fd, chunk, n, at) != static_cast<ssize_t>(n)) return false;
    crc = crc32_update(crc, chunk, static_cast<std::int64_t>(n));
    at += static_cast<std::int64_t>(n);
  }
  return ~crc == get_be(entry.header + 4, 4);
}

bool roll_back(int fd, const Entry& entry) {
  return ftruncate(fd, entry.oldSize) == 0 &&
         pwrite(fd, entry.header, kHeaderBytes, 0) == static_cast<ssize_t>(kHeaderBytes) && fsync(fd) == 0;
}

Recovery recover_one(const char* name, int fd, bool writable, const std::string& path) {
  Entry entry;
  const Found found = read_journal(path, entry);
  if (found == Found::Absent || found == Found::Foreign) return Recovery::Clean;
  if (found == Found::Complete && !journal_fits(fd, entry)) {
    std::printf("Journal %s does not fit %s, which changed since: file left as it is, journal removed.\n",
                path.c_str(), name);
  } else if (found == Found::Complete) {
    if (!writable) return Recovery::NeedsWriteAccess;
    if (!roll_back(fd, entry)) {
      std::printf("File %s could not be restored.\n", name);
      return Recovery::Failed;
    }
    std::printf("File %s restored to its state before an interrupted append.\n", name);
  }
  end_journal(path);
  return Recovery::Clean;
}

}  // namespace

bool begin_journal(const char* name, int fd, std::string& path) {
  struct stat info;
  std::uint8_t bytes[kJournalSize];
  std::memcpy(bytes, kMagic, sizeof kMagic);
  if (fstat(fd, &info) != 0 || pread(fd, bytes + 16, kHeaderBytes, 0) != static_cast<ssize_t>(kHeaderBytes))
    return false;
  put_be(bytes + sizeof kMagic, static_cast<std::uint64_t>(info.st_size), 8);
  put_be(bytes + kChecked, crc32_of(bytes, kChecked), 4);
  for (int which = 0; which < 2; ++which) {
    path = place(name, fd, which);
    if (!path.empty() && write_journal_at(path, bytes)) return true;
  }
  path.clear();
  return false;
}

bool end_journal(const std::string& path) {
  return (unlink(path.c_str()) == 0 || errno == ENOENT) && sync_directory_of(path);
}

bool journal_exists(const char* name, int fd) {
  struct stat info;
  for (int which = 0; which < 2; ++which)
    if (const std::string path = place(name, fd, which); !path.empty() && lstat(path.c_str(), &info) == 0)
      return true;
  return false;
}

Recovery recover_patch_file(const char* name, int fd, bool writable) {
  for (int which = 0; which < 2; ++which) {
    const std::string path = place(name, fd, which);
    if (path.empty()) continue;
    if (const Recovery outcome = recover_one(name, fd, writable, path); outcome != Recovery::Clean) return outcome;
  }
  return Recovery::Clean;
}

}  // namespace vd
