#include "core/file_lock.h"

#include <sys/file.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "core/break_signal.h"
#include "core/keywords.h"

namespace vd {
namespace {

enum class Attempt { Locked, Busy, Failed };

Attempt try_lock(int fd, bool exclusive) {
  if (flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) return Attempt::Locked;
  if (errno == EWOULDBLOCK || errno == EINTR) return Attempt::Busy;
  // No locks on this file system (some network mounts): nothing to wait for.
  if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL) return Attempt::Locked;
  return Attempt::Failed;
}

void pause_briefly() {
  const timespec interval = {0, 20 * 1000 * 1000};
  nanosleep(&interval, nullptr);
}

}  // namespace

bool wait_for_lock(int fd, bool exclusive, const char* name) {
  Attempt attempt = try_lock(fd, exclusive);
  if (attempt != Attempt::Busy) return attempt == Attempt::Locked;
  std::printf(" Waiting for %s: another run is using it...\n", name);
  std::fflush(stdout);
  while (attempt == Attempt::Busy) {
    check_break();
    pause_briefly();
    attempt = try_lock(fd, exclusive);
  }
  std::printf("%s", kEraseLastLine);
  return attempt == Attempt::Locked;
}

void release_lock(int fd) { flock(fd, LOCK_UN); }

}  // namespace vd
