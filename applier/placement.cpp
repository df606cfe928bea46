#include "applier/placement.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "applier/waiting_copy.h"
#include "core/break_signal.h"
#include "core/files.h"
#include "core/run_state.h"
#include "core/temp_files.h"

namespace vd {
namespace {

// A file that holds the only complete copy of the new version.
struct Keeper {
  std::string name;
  // Set when the file is a registered temporary file that would otherwise be
  // removed on the way out.
  FILE* registered = nullptr;
};

[[noreturn]] void fail_keeping(const Keeper& keeper) {
  if (keeper.registered != nullptr) close_keeping_file(keeper.registered);
  fail_with(15, false, "The new version is kept in %s.\n", keeper.name.c_str());
}

// What was written must be on the disk before the next step relies on it.
CopyFault close_written(FILE* destination) {
  const bool synced = flush_to_disk(destination);
  const bool closed = std::fclose(destination) == 0;
  return synced && closed ? CopyFault::None : CopyFault::Write;
}

// A write-protected oldfile is refused, as opening it for writing would be.
void require_writable(const char* oldName, const Keeper& keeper) {
  const int fd = open(oldName, O_WRONLY | O_CLOEXEC);
  if (fd >= 0) {
    close(fd);
    return;
  }
  report_open_failure(oldName);
  fail_keeping(keeper);
}

// Copies all of `source` into the file `name`, created or truncated. Any
// failure ends the run after securing the keeper; a failed open leaves the
// file untouched, so the keeper is needed then only when `keepOnOpenFailure`.
void copy_file_to(FILE* source, const char* sourceName, const char* name, const Keeper& keeper,
                  bool keepOnOpenFailure) {
  FILE* destination = std::fopen(name, "wb");
  if (destination == nullptr) {
    if (!keepOnOpenFailure) fail_open(name, false);
    report_open_failure(name);
    fail_keeping(keeper);
  }
  std::fseek(source, 0, SEEK_SET);
  CopyFault fault = copy_stream(source, destination, stream_size(source));
  if (fault == CopyFault::None) {
    fault = close_written(destination);
  } else {
    std::fclose(destination);
  }
  if (fault == CopyFault::None) return;
  report_copy_fault(fault, sourceName, name);
  fail_keeping(keeper);
}

// The new version, copied into a file beside the oldfile, ready to be renamed
// over it. None when no such file can be made (then the oldfile is rewritten
// in place).
struct Beside {
  FILE* file = nullptr;
  std::string name;
  std::string target;
};

Beside copy_beside_oldfile(FILE* source, const char* sourceName, const char* oldName,
                           const Keeper& keeper) {
  Beside beside;
  beside.target = replacement_target(oldName);
  if (beside.target.empty()) return {};
  beside.file = create_beside(beside.target, beside.name);
  if (beside.file == nullptr) return {};
  // Until it replaces the oldfile, the copy is ours to remove on any way out.
  register_temp_file(beside.file, beside.name);
  std::fseek(source, 0, SEEK_SET);
  const CopyFault fault = copy_stream(source, beside.file, stream_size(source));
  if (fault == CopyFault::None && std::fflush(beside.file) == 0) return beside;
  close_file(beside.file);
  report_copy_fault(fault == CopyFault::Read ? fault : CopyFault::Write, sourceName, beside.name.c_str());
  fail_keeping(keeper);
}

// Without a file beside the oldfile, the new version moves out of the
// backupfile into a named temporary file before the backupfile is rewritten.
FILE* move_out_of_backupfile(const ApplierSession& session, Keeper& keeper) {
  const char* backupName = session.output.name;
  FILE* intermediate = open_temp(session.options.oldName, &keeper.name);
  if (intermediate == nullptr) fatal_exit("Cannot create temporary file.", 15, false);
  FILE* output = session.output.file;
  std::fseek(output, 0, SEEK_SET);
  const CopyFault fault = copy_stream(output, intermediate, stream_size(output));
  if (fault != CopyFault::None || std::fflush(intermediate) != 0) {
    report_copy_fault(fault == CopyFault::Read ? fault : CopyFault::Write, backupName, kTemporaryFileName);
    fatal_exit(nullptr, 15, false);
  }
  keeper.registered = intermediate;
  return intermediate;
}

// BACKUP: the unchanged oldfile is saved under the backupfile name, which
// held the new version until then; the keeper holds it from here on.
void save_backup(ApplierSession& session, const Keeper& keeper) {
  // A backupfile half old and half new would hold neither version.
  BreakHold hold;
  // Until now the backupfile held this run's output, which a break removes;
  // from here on it is the user's copy of the oldfile.
  run_state().partialOutput.clear();
  const char* backupName = session.output.name;
  close_file(session.output.file);
  session.output.file = nullptr;
  FILE* oldFile = std::fopen(session.options.oldName, "rb");
  if (oldFile == nullptr) {
    report_open_failure(session.options.oldName);
    fail_keeping(keeper);
  }
  copy_file_to(oldFile, session.options.oldName, backupName, keeper, true);
  std::fclose(oldFile);
}

// Without a file beside it the oldfile is rewritten in place, and from the
// first byte written until the last is on the disk it holds neither version:
// the waiting copy holds the new one meanwhile, and a break can only wait
// for the end, after which the run has succeeded.
void rewrite_in_place(FILE* source, const char* oldName, const Keeper& keeper) {
  const std::string waiting = write_waiting_copy(source, resolved_path(oldName));
  if (waiting.empty()) {
    std::puts("Cannot create temporary file.");
    fail_keeping(keeper);
  }
  hold_breaks_until_exit();
  copy_file_to(source, keeper.name.c_str(), oldName, Keeper{waiting, nullptr}, true);
  discard_waiting_copy(waiting);
}

void replace_oldfile(Beside& beside, FILE* source, const char* oldName, const Keeper& keeper) {
  if (beside.file == nullptr) return rewrite_in_place(source, oldName, keeper);
  FILE* finished = beside.file;
  beside.file = nullptr;
  if (!commit_beside(finished, beside.name, beside.target)) {
    std::printf("Error while writing %s.\n", oldName);
    fail_keeping(Keeper{beside.name, nullptr});
  }
  hold_breaks_until_exit();
}

void remove_intermediate(ApplierSession& session) {
  close_file(session.output.file);
  session.output.file = nullptr;
  if (session.outputReservation != nullptr) {
    close_file(session.outputReservation);
    session.outputReservation = nullptr;
    return;
  }
  if (std::remove(session.decodeTarget.c_str()) == 0 && !session.options.quiet)
    std::printf(" %s removed.\n", session.decodeTarget.c_str());
}

}  // namespace

void place_result(ApplierSession& session) {
  if (!session.options.direct) return;
  // From here on the output is a finished, verified file that no failure may
  // delete; only a break before the backup is saved removes the backupfile,
  // which then holds nothing but this run's output.
  if (!session.options.backup) run_state().partialOutput.clear();
  if (session.old.file != nullptr) close_file(session.old.file);
  session.old.file = nullptr;

  const char* oldName = session.options.oldName;
  Keeper keeper{session.decodeTarget, session.outputReservation};
  require_writable(oldName, keeper);
  FILE* source = session.output.file;
  Beside beside = copy_beside_oldfile(source, keeper.name.c_str(), oldName, keeper);
  if (!session.options.backup) {
    replace_oldfile(beside, source, oldName, keeper);
    if (!session.options.quiet) std::printf(" Original file %s replaced.\n", oldName);
    remove_intermediate(session);
    return;
  }
  FILE* movedOut = nullptr;
  if (beside.file != nullptr)
    keeper = Keeper{beside.name, beside.file};
  else
    source = movedOut = move_out_of_backupfile(session, keeper);
  save_backup(session, keeper);
  replace_oldfile(beside, source, oldName, keeper);
  if (!session.options.quiet) std::printf(" Original file %s replaced.\n", oldName);
  if (movedOut != nullptr) close_file(movedOut);
}

}  // namespace vd
