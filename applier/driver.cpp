#include "applier/driver.h"

#include "applier/command_line.h"
#include "applier/passes.h"
#include "applier/patch_lock.h"
#include "applier/placement.h"
#include "applier/session.h"
#include "applier/waiting_copy.h"
#include "core/files.h"
#include "core/run_state.h"
#include "core/temp_files.h"

namespace vd {
namespace {

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
  const std::pair<FILE*, const char*> inputs[] = {{old_stream(), session.options.oldName},
                                                  {patch_stream(), session.options.patchName}};
  for (const auto& [stream, name] : inputs) {
    if (!names_same_file(output, stream)) continue;
    fail_with(15, false, "Error: %s is the same file as %s - it would be overwritten.\n", output, name);
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
  ApplierSession& session = applier_session();
  session.options = parse_applier_command_line(argc, argv);
  session.recursive = session.options.recursive;
  session.oldName = session.options.oldName;
  run_state().copyMessagePrefix = "\n";

  if (session.options.thirdName != nullptr)
    session.decodeTarget = session.options.thirdName;
  else
    reserve_output_name(session);
  if (!alloc_working_buffer()) fatal_exit("Not enough memory", 11, false);

  old_stream() = open_input(session.options.oldName);
  patch_stream() = open_input(session.options.patchName);
  lock_patch_for_reading(session.options.patchName, patch_stream());
  refuse_output_over_input(session);
  refuse_special_output(session);

  if (session.options.direct) finish_interrupted_rewrite(session);
  run_passes(session);
  place_result(session);
  fatal_exit(nullptr, 0, false);
}

}  // namespace vd
