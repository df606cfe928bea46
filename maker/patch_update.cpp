#include "maker/patch_update.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "core/file_lock.h"
#include "core/files.h"
#include "core/patch_journal.h"
#include "core/run_state.h"
#include "core/temp_files.h"
#include "maker/file_failures.h"

namespace vd {
namespace {

// Opening is never allowed to block (a FIFO): the file is refused instead.
int open_or_create(const char* name, bool& created) {
  created = false;
  int fd = open(name, O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0 || errno != ENOENT) return fd;
  fd = open(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  created = fd >= 0;
  // Taken meanwhile by another run, or a symbolic link to a file yet to come.
  if (fd < 0 && errno == EEXIST) fd = open(name, O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
  return fd;
}

void refuse_irregular(int fd, const char* name) {
  struct stat info;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) return;
  close(fd);
  fail_with(15, false, "\n%s\n\n", not_regular_file_message(name).c_str());
}

// A run that waited may find its file replaced by the other run's copy, or
// removed after a failure: only a lock on what the name denotes counts.
int open_locked(const char* name, bool& created) {
  for (;;) {
    const int fd = open_or_create(name, created);
    if (fd < 0) fail_open(name, 10, false);
    refuse_irregular(fd, name);
    if (!wait_for_lock(fd, true, name)) {
      close(fd);
      fail_open(name, 10, false);
    }
    if (name_denotes(name, fd)) return fd;
    close(fd);
  }
}

bool is_empty(int fd) {
  struct stat info;
  return fstat(fd, &info) == 0 && info.st_size == 0;
}

// Puts back the bytes a file had, writing only the stretches that differ:
// appending adds bytes at the end and changes only the header, so restoring
// needs no more room than the file had (a full disk may be why it failed).
bool rewrite_differences(const char* path, const std::uint8_t* original, std::int64_t size) {
  const int fd = open(path, O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  bool restored = ftruncate(fd, size) == 0;
  std::uint8_t chunk[1 << 16];
  for (std::int64_t offset = 0; restored && offset < size; offset += sizeof chunk) {
    const auto n = static_cast<std::size_t>(std::min<std::int64_t>(sizeof chunk, size - offset));
    if (pread(fd, chunk, n, offset) == static_cast<ssize_t>(n) && std::memcmp(chunk, original + offset, n) == 0)
      continue;
    restored = pwrite(fd, original + offset, n, offset) == static_cast<ssize_t>(n);
  }
  restored = restored && fsync(fd) == 0;
  return close(fd) == 0 && restored;
}

// The patch file existed before the run: a failure leaves it with exactly
// the bytes it had, instead of deleting it with the records it held.
bool restore_patch_file(const MakerSession& session, const PatchUpdate& u) {
  if (!u.beside.empty()) return unlink(u.beside.c_str()) == 0 || errno == ENOENT;
  if (!rewrite_differences(session.patchName, session.patchData, session.patchDataSize)) return false;
  // Only a file known to be whole again may lose its journal.
  if (!u.journal.empty()) end_journal(u.journal);
  return true;
}

bool copy_beside(const MakerSession& session, PatchUpdate& u, NamedStream& patch) {
  u.target = replacement_target(session.patchName);
  FILE* beside = u.target.empty() ? nullptr : create_beside(u.target, u.beside);
  if (beside == nullptr) return false;
  // Every way out removes the copy until it has replaced the patch file.
  register_temp_file(beside, u.beside);
  const auto size = static_cast<std::size_t>(session.patchDataSize);
  if (std::fwrite(session.patchData, 1, size, beside) != size) {
    close_file(beside);
    u.beside.clear();
    return false;
  }
  close_file(patch.file);
  patch.file = beside;
  return true;
}

}  // namespace

FILE* open_patch_file(const char* name, PatchUpdate& u) {
  bool created = false;
  u.lockFd = open_locked(name, created);
  if (recover_patch_file(name, u.lockFd, true) != Recovery::Clean) fatal_exit(nullptr, 15, false);
  RunState& state = run_state();
  state.partialOutput = name;
  // A run that lost the race for the lock to another finds the file filled.
  if (created && is_empty(u.lockFd)) state.createdOutput = name;
  fcntl(u.lockFd, F_SETFL, fcntl(u.lockFd, F_GETFL) & ~O_NONBLOCK);
  const int streamFd = dup(u.lockFd);
  FILE* stream = streamFd < 0 ? nullptr : fdopen(streamFd, "a+b");
  if (stream == nullptr) fail_open(name, 10, false);
  return stream;
}

void protect_existing_patch_file(const MakerSession& session, const PatchUpdate& update) {
  run_state().restoreOutput = [&session, &update] { return restore_patch_file(session, update); };
}

void begin_update(MakerSession& session, PatchUpdate& u, NamedStream& patch) {
  if (copy_beside(session, u, patch)) {
    session.patchPath = u.beside;
    return;
  }
  if (!begin_journal(session.patchName, u.lockFd, u.journal))
    fail_with(15, false, "\nCannot create a journal for %s.\n\n", session.patchName);
}

void reopen_for_update(const MakerSession& session, const PatchUpdate& u, NamedStream& patch) {
  close_or_fail(patch.file, patch.name, u.beside.empty() ? close_file : close_keeping_file);
  patch.file = std::fopen(session.patchPath.c_str(), "r+b");
  if (patch.file == nullptr) fail_open(patch.name, 15, true);
  if (!u.beside.empty()) register_temp_file(patch.file, u.beside);
}

void commit_update(const MakerSession& session, PatchUpdate& u, NamedStream& patch) {
  if (!u.beside.empty()) {
    FILE* finished = patch.file;
    patch.file = nullptr;
    if (!commit_beside(finished, u.beside, u.target)) fail_write(session.patchName);
    u.beside.clear();
  } else if (!u.journal.empty()) {
    // A journal left behind would take the record away again.
    if (fsync(u.lockFd) != 0 || !end_journal(u.journal)) fail_write(session.patchName);
    u.journal.clear();
  }
  run_state().createdOutput.clear();
}

}  // namespace vd
