#include "applier/driver.h"

#include <optional>

#include "applier/command_line.h"
#include "applier/passes.h"
#include "applier/patch_lock.h"
#include "applier/placement.h"
#include "applier/record_table.h"
#include "applier/session.h"
#include "applier/waiting_copy.h"
#include "core/files.h"
#include "core/run_state.h"
#include "core/temp_files.h"

namespace vd {
namespace {

// Everything the run holds: owned by run_applier, registered with
// fatal_exit, which closes its streams and then releases it, on every way out.
struct ApplierRun {
  ApplierSession session;
  RecordTable records{session.patch};
};

// The run never returns from run_applier, so the record lives until
// fatal_exit releases it.
void register_with_fatal_exit(std::optional<ApplierRun>& record) {
  RunState& state = run_state();
  ApplierSession& session = record->session;
  state.streams = {&session.old, &session.output, &session.patch};
  state.releaseRun = [&record] { record.reset(); };
}

// The output is written and then read back to be verified: a pipe or a
// device under its name would lose the result or wait for ever, and a
// failure would then remove it. It is refused before anything is decoded.
void refuse_special_output(const ApplierSession& session) {
  if (session.outputReservation != nullptr || !names_special_file(session.decodeTarget.c_str())) return;
  fatal_exit(not_regular_file_message(session.decodeTarget.c_str()).c_str(), 15, false);
}

// The output is opened with truncation before decoding starts; were it the
// oldfile or the patch file, the input would be destroyed before it is read.
void refuse_output_over_input(const ApplierSession& session) {
  if (session.outputReservation != nullptr) return;
  const char* output = session.decodeTarget.c_str();
  for (const NamedStream* input : {&session.old, &session.patch}) {
    if (!names_same_file(output, input->file)) continue;
    fail_with(15, false, "Error: %s is the same file as %s - it would be overwritten.\n", output, input->name);
  }
}

// DIRECT without a third argument decodes into a fresh temporary file,
// created exclusively so that no other file can be clobbered through it.
void reserve_output_name(ApplierSession& session) {
  session.outputReservation = open_temp(session.options.oldName, &session.decodeTarget);
  if (session.outputReservation == nullptr) fatal_exit("Cannot create temporary file.", 15, false);
}

}  // namespace

void run_applier(int argc, char** argv) {
  set_program_name("Varmend");
  std::optional<ApplierRun> record;
  ApplierRun& run = record.emplace();
  register_with_fatal_exit(record);
  ApplierSession& session = run.session;
  session.options = parse_applier_command_line(argc, argv);
  session.recursive = session.options.recursive;
  session.old.name = session.options.oldName;
  session.patch.name = session.options.patchName;
  run_state().copyMessagePrefix = "\n";

  if (session.options.thirdName != nullptr)
    session.decodeTarget = session.options.thirdName;
  else
    reserve_output_name(session);
  session.output.name = session.decodeTarget.c_str();
  if (!alloc_working_buffer()) fatal_exit("Not enough memory", 11, false);

  session.old.file = open_input(session.old.name);
  session.patch.file = open_input(session.patch.name);
  lock_patch_for_reading(session.patch.name, session.patch.file);
  refuse_output_over_input(session);
  refuse_special_output(session);

  if (session.options.direct) finish_interrupted_rewrite(session);
  run_passes(session, run.records);
  place_result(session);
  fatal_exit(nullptr, 0, false);
}

}  // namespace vd
