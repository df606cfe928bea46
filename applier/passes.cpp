#include "applier/passes.h"

#include <fcntl.h>

#include "applier/console.h"
#include "applier/decoder.h"
#include "applier/record_table.h"
#include "core/crc32.h"
#include "core/files.h"
#include "core/reloc.h"
#include "core/run_state.h"
#include "core/temp_files.h"
#include "core/version.h"

namespace vd {
namespace {

void prepare_visited_table(ApplierSession& session, std::uint32_t fileCount,
                           std::int64_t patchLength) {
  if (!session.recursive || session.visitedTried) return;
  session.visitedTried = true;
  const std::uint32_t size = visited_table_size(fileCount, patchLength);
  session.visited.reset(static_cast<std::uint8_t*>(std::calloc(size, 1)));
  if (session.visited) session.visitedSize = size;
}

// Without a visited table a chain longer than the file count must have
// applied some record twice, so the pass number stands in for the table.
bool already_applied(const ApplierSession& session, const ChosenRecord& record,
                     std::uint32_t fileCount) {
  if (session.visited)
    return record.number < session.visitedSize && session.visited[record.number] != 0;
  return session.visitedTried && static_cast<std::uint32_t>(session.pass) > fileCount;
}

void print_new_file_line(const ApplierSession& session, const char* leading, const char* columns) {
  if (session.options.quiet) return;
  show_new_file_version(leading, columns, find_version_in_file(session.output.file, session.options.noVersion));
}

void print_chain_complete(const ApplierSession& session) {
  const char* columns = session.pass > 9 ? "19" : session.pass > 2 ? "18" : "9";
  print_new_file_line(session, "\n", columns);
}

void print_progress(const ApplierSession& session, const ChosenRecord& record) {
  if (session.options.quiet) return;
  if (record.identity && session.pass > 1) {
    end_line();
    return;
  }
  const int shownPass = session.recursive && session.pass > 1 ? session.pass : 0;
  show_applying(shownPass, find_version_in_file(session.old.file, session.options.noVersion));
}

// A record made from a transformed oldfile refers to the transformed bytes:
// decode from a scratch copy in that form, never touching the oldfile.
void transform_old_copy(ApplierSession& session, std::int64_t oldSize) {
  FILE* copy = open_scratch();
  if (copy == nullptr) fatal_exit("Cannot create temporary file.", 15, true);
  NamedStream& old = session.old;
  std::fseek(old.file, 0, SEEK_SET);
  copy_bytes(old.file, copy, oldSize, old.name, kTemporaryFileName, true);
  close_file(old.file);
  old = {copy, kTemporaryFileName};
  reloc_transform_file(copy, RelocDirection::Difference);
}

void open_output(ApplierSession& session) {
  NamedStream& output = session.output;
  const char* name = output.name;
  if (output.file != nullptr) close_or_fail(output);
  // Not truncated here but after decoding: a file system may hold up the
  // emptying of a file just closed until its last content is on the disk,
  // once per pass of a RECURSIVE run.
  OpenFailure failure = OpenFailure::None;
  output.file = open_regular_file(name, O_WRONLY | O_CREAT, "wb", failure);
  // Put there since the run began: not ours to delete.
  if (failure == OpenFailure::NotRegularFile) fatal_exit(not_regular_file_message(name).c_str(), 15, false);
  if (output.file == nullptr) fail_open(name, true);
  // Only from here on is the output ours to delete when a pass fails.
  run_state().partialOutput = session.decodeTarget;
}

// The result of this pass becomes the old file of the next one.
void hand_over(ApplierSession& session) {
  ++session.pass;
  FILE* copy = open_temp(session.options.oldName);
  if (copy == nullptr) fatal_exit("Cannot open temporary file.", 15, true);
  FILE* output = session.output.file;
  copy_bytes(output, copy, stream_size(output), kTemporaryFileName, kTemporaryFileName, true);
  close_file(session.old.file);
  session.old = {copy, kTemporaryFileName};
  if (!session.options.quiet) step_back_a_line();
}

// No record can be for a file of 2 GiB or more: sizes are 32-bit. Its CRC
// would take long to compute for nothing.
bool beyond_every_record(const ApplierSession& session, std::int64_t oldSize) {
  if (oldSize <= kMaxFileSize) return false;
  if (session.pass == 1)
    fail_with(11, false, "File %s is too large: files of 2 GiB or more are not supported.\n", session.old.name);
  return true;
}

// One pass; false when no record matched and the chain is complete.
bool run_pass(ApplierSession& session, RecordTable& table) {
  const std::int64_t oldSize = stream_size(session.old.file);
  const CheckedPatchFile& patch = table.check();
  prepare_visited_table(session, patch.fileCount, patch.length);
  std::uint32_t oldCrc = 0;
  std::optional<ChosenRecord> record;
  if (!beyond_every_record(session, oldSize)) {
    std::fseek(session.old.file, 0, SEEK_SET);
    oldCrc = crc32_stream_mapped(session.old.file, true);
    record = table.choose(oldSize, oldCrc);
  }
  if (!record) {
    if (!session.recursive || session.pass == 1) fatal_exit("No matching patches.", 11, false);
    print_chain_complete(session);
    return false;
  }
  if (already_applied(session, *record, patch.fileCount))
    fatal_exit("\nCircular reference. Patch aborted.", 15, false);
  if (session.visited && record->number < session.visitedSize) session.visited[record->number] = 1;

  if (std::fseek(session.patch.file, record->offset + kRecordFieldsSize, SEEK_SET) != 0)
    fatal_exit(kUnexpectedEnd, 15, false);
  record->identity = record->fields.crcNew == oldCrc && record->fields.blocks == 1;
  if (record->identity) session.recursive = false;
  print_progress(session, *record);
  if (record->fields.old_reloc() != 0) transform_old_copy(session, oldSize);
  open_output(session);
  decode_record(session, *record, oldSize, patch.length);
  return true;
}

}  // namespace

std::uint32_t visited_table_size(std::uint32_t fileCount, std::int64_t patchLength) {
  return records_that_fit(fileCount, patchLength) + 1;
}

void run_passes(ApplierSession& session, RecordTable& table) {
  while (run_pass(session, table)) {
    if (!session.recursive) {
      print_new_file_line(session, "", "9");
      return;
    }
    hand_over(session);
  }
}

}  // namespace vd
