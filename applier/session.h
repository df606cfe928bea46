// The applier's run state, owned by its driver and shared with the pass
// loop, the decoder and the placement of the result.
//
// The driver registers the three main streams with fatal_exit, which closes
// them on every way out.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "applier/command_line.h"
#include "core/patch_format.h"
#include "core/run_state.h"
#include "core/temp_files.h"

namespace vd {

struct ApplierSession {
  ApplierOptions options;
  // Starts as the RECURSIVE keyword; an identity record switches it off.
  bool recursive = false;
  // Where the passes decode to: the newfile, the intermediate temporary
  // file under DIRECT, or the backupfile under BACKUP.
  std::string decodeTarget;
  // DIRECT without a third argument decodes into a fresh temporary file; this
  // handle keeps its name registered, so that every way out removes it.
  FILE* outputReservation = nullptr;
  // The file each pass decodes from (the oldfile, or a temporary copy in a
  // later pass or in transformed form), the output (decodeTarget) and the
  // patch file.
  NamedStream old;
  NamedStream output;
  NamedStream patch;
  int pass = 1;
  // RECURSIVE: one flag per patch record that has been applied.
  std::unique_ptr<std::uint8_t[], FreeDeleter> visited;
  std::uint32_t visitedSize = 0;
  bool visitedTried = false;
};

// Opens a file the run reads (oldfile, patch file); one that is not a
// regular file or cannot be opened ends the run (exit 15).
FILE* open_input(const char* name);

void report_open_failure(const char* name);
// Reports that `name` could not be opened and ends the run (exit 15),
// deleting the partial output when `deleteOutput`.
[[noreturn]] void fail_open(const char* name, bool deleteOutput);
// Closes the stream and clears it; a failed close ends the run (exit 15)
// and deletes the partial output, whose last bytes may be lost.
void close_or_fail(NamedStream& stream);

// The size of a stream; the stream is left at its start.
std::int64_t stream_size(FILE* stream);

// The patch record one pass applies.
struct ChosenRecord {
  std::int64_t offset = 0;
  std::uint32_t number = 0;
  RecordFields fields;
  bool identity = false;
};

}  // namespace vd
