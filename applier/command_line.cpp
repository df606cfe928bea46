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
  options.recursive = line.find_arg("recursive") != 0;
  options.direct = line.find_arg("direct") != 0;
  options.backup = line.find_arg("backup") != 0;
  options.quiet = line.find_arg("quiet") != 0;
  options.noVersion = line.find_arg("noversion") != 0;

  const int oldIndex = line.find_arg(nullptr);
  const int patchIndex = line.find_arg(nullptr);
  const int thirdIndex = line.find_arg(nullptr);
  if (oldIndex != 0) options.oldName = line.arg(oldIndex);
  if (patchIndex != 0) options.patchName = line.arg(patchIndex);
  if (thirdIndex != 0) options.thirdName = line.arg(thirdIndex);
  if (!is_accepted_combination(options)) fail_missing_arguments("Varmend", kApplierUsage);
  return options;
}

}  // namespace vd
