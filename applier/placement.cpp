#include "applier/placement.h"

#include <string>

#include "core/break_signal.h"
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
  std::printf("The new version is kept in %s.\n", keeper.name.c_str());
  fatal_exit(nullptr, 15, false);
}

void report_copy_fault(CopyFault fault, const char* sourceName, const char* destinationName) {
  if (fault == CopyFault::Read) std::printf("\nError while reading %s\n", sourceName);
  if (fault == CopyFault::Write) std::printf("\nError while writing %s\n", destinationName);
}

// Buffered data that cannot be written shows up only when the file is closed.
CopyFault close_written(FILE* destination) {
  const bool flushed = std::fflush(destination) == 0;
  const bool closed = std::fclose(destination) == 0;
  return flushed && closed ? CopyFault::None : CopyFault::Write;
}

// Copies all of `source` into the file `name`, created or truncated. Any
// failure ends the run after securing the keeper; a failed open leaves the
// file untouched, so the keeper is needed then only when `keepOnOpenFailure`.
void copy_file_to(FILE* source, const char* sourceName, const char* name, const Keeper& keeper,
                  bool keepOnOpenFailure) {
  FILE* destination = std::fopen(name, "wb");
  if (destination == nullptr) {
    std::printf("Error while opening %s.\n", name);
    if (keepOnOpenFailure) fail_keeping(keeper);
    fatal_exit(nullptr, 15, false);
  }
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

// BACKUP: the new version moves from the backupfile name into a named
// temporary file, then the unchanged oldfile is saved under the backupfile
// name. Returns the temporary file, which now holds the new version.
FILE* save_backup(ApplierSession& session, Keeper& keeper) {
  const char* backupName = session.outputName.c_str();
  FILE* intermediate = open_temp(&keeper.name);
  if (intermediate == nullptr) fatal_exit("Cannot create temporary file.", 15, false);
  FILE*& output = output_stream();
  const CopyFault fault = copy_stream(output, intermediate, stream_size(output));
  if (fault != CopyFault::None || std::fflush(intermediate) != 0) {
    report_copy_fault(fault == CopyFault::Read ? fault : CopyFault::Write, backupName,
                      kTemporaryFileName);
    fatal_exit(nullptr, 15, false);
  }
  close_file(output);
  output = nullptr;

  // Until the backupfile is rewritten it still holds the new version, and
  // the temporary copy is removed on the way out.
  FILE* oldFile = std::fopen(session.options.oldName, "rb");
  if (oldFile == nullptr) {
    std::printf("Error while opening %s.\n", session.options.oldName);
    fatal_exit(nullptr, 15, false);
  }
  keeper.registered = intermediate;
  copy_file_to(oldFile, session.options.oldName, backupName, keeper, false);
  std::fclose(oldFile);
  return intermediate;
}

}  // namespace

CopyFault copy_stream(FILE* source, FILE* destination, std::int64_t count) {
  const WorkingBuffer& buffer = working_buffer();
  while (count > 0) {
    check_break();
    const std::size_t n = count < buffer.size ? static_cast<std::size_t>(count) : buffer.size;
    if (std::fread(buffer.data, 1, n, source) != n) return CopyFault::Read;
    if (std::fwrite(buffer.data, 1, n, destination) != n) return CopyFault::Write;
    count -= static_cast<std::int64_t>(n);
  }
  return CopyFault::None;
}

void place_result(ApplierSession& session) {
  if (!session.options.direct) return;
  // From here on the output is a finished, verified file: no failure may
  // delete it.
  run_state().partialOutput.clear();
  if (old_stream() != nullptr) close_file(old_stream());
  old_stream() = nullptr;

  const char* oldName = session.options.oldName;
  Keeper keeper{session.outputName, session.outputReservation};
  FILE* source = output_stream();
  if (session.options.backup) source = save_backup(session, keeper);
  copy_file_to(source, keeper.name.c_str(), oldName, keeper, true);
  if (!session.options.quiet) std::printf(" Original file %s replaced.\n", oldName);

  if (session.options.backup) {
    close_file(source);
    return;
  }
  close_file(output_stream());
  output_stream() = nullptr;
  if (session.outputReservation != nullptr) {
    close_file(session.outputReservation);
    session.outputReservation = nullptr;
    return;
  }
  if (std::remove(session.outputName.c_str()) == 0 && !session.options.quiet)
    std::printf(" %s removed.\n", session.outputName.c_str());
}

}  // namespace vd
