#include "applier/command_line.h"

#include "core/keywords.h"

namespace vd {

const char kApplierUsage[] =
    "Usage:\nVarmend <oldfile> <patchfile> [<newfile> | DIRECT [BACKUP <backupfile>]] "
    "[RECURSIVE] [NOVERSION | QUIET]";

bool is_accepted_combination(const ApplierOptions& options) {
  if (options.oldName == nullptr || options.patchName == nullptr) return false;
  const bool third = options.thirdName != nullptr;
  if (options.backup) return options.direct && third;
  return third || options.direct;
}

ApplierOptions parse_applier_command_line(int argc, char** argv) {
  CommandLine line(argc, argv);
  if (line.help_requested()) print_help(kApplierVersion, kApplierUsage, nullptr);

  // Every word is consumed once, so the order of these lookups is part of
  // the command line's meaning.
  ApplierOptions options;
  line.take_switches({{"recursive", options.recursive},
                      {"direct", options.direct},
                      {"backup", options.backup},
                      {"quiet", options.quiet},
                      {"noversion", options.noVersion}});
  const auto [oldName, patchName, thirdName] = line.take_positionals<3>();
  options.oldName = oldName;
  options.patchName = patchName;
  options.thirdName = thirdName;
  if (!is_accepted_combination(options)) fail_missing_arguments("Varmend", kApplierUsage);
  return options;
}

}  // namespace vd
