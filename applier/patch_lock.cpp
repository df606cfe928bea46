#include "applier/patch_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include "applier/session.h"
#include "core/file_lock.h"
#include "core/files.h"
#include "core/patch_journal.h"
#include "core/run_state.h"

namespace vd {
namespace {

void lock_or_fail(int fd, bool exclusive, const char* name) {
  if (!wait_for_lock(fd, exclusive, name)) fail_open(name, false);
}

// The file was opened read-only; a rollback needs it writable. Journals that
// need no rollback (incomplete or stale) are dealt with either way.
void recover_with_write_access(const char* name, int readFd) {
  const int writeFd = open(name, O_RDWR | O_NONBLOCK | O_CLOEXEC);
  const int fd = writeFd >= 0 ? writeFd : readFd;
  lock_or_fail(fd, true, name);
  const Recovery outcome = recover_patch_file(name, fd, writeFd >= 0);
  if (writeFd >= 0) close(writeFd);
  release_lock(readFd);
  if (outcome == Recovery::NeedsWriteAccess)
    std::printf("Patchfile %s holds an interrupted append: undoing it needs write access.\n", name);
  if (outcome != Recovery::Clean) fatal_exit(nullptr, 15, false);
}

}  // namespace

void lock_patch_for_reading(const char* name, FILE*& stream) {
  bool recovered = false;
  for (;;) {
    const int fd = fileno(stream);
    lock_or_fail(fd, false, name);
    if (!name_denotes(name, fd)) {
      std::fclose(stream);
      stream = open_input(name);
      continue;
    }
    if (recovered || !journal_exists(name, fd)) return;
    release_lock(fd);
    recover_with_write_access(name, fd);
    recovered = true;
  }
}

}  // namespace vd
