// The applier's command line:
// Varmend <oldfile> <patchfile> [<newfile> | DIRECT [BACKUP <backupfile>]]
//         [RECURSIVE] [NOVERSION | QUIET]
#pragma once

namespace vd {

inline constexpr char kApplierVersion[] = "$VER: Varmend 3.0 (18.8.2002)";

extern const char kApplierUsage[];

struct ApplierOptions {
  const char* oldName = nullptr;
  const char* patchName = nullptr;
  // The newfile; with DIRECT the intermediate file; with BACKUP the backupfile.
  const char* thirdName = nullptr;
  bool recursive = false;
  bool direct = false;
  bool backup = false;
  bool quiet = false;
  bool noVersion = false;
};

// True for the combinations of third argument, DIRECT and BACKUP that make
// sense: a newfile, DIRECT alone, DIRECT through a named intermediate file,
// and DIRECT with a backupfile.
bool is_accepted_combination(const ApplierOptions& options);

// Reads the whole command line. Help and missing arguments end the run here.
ApplierOptions parse_applier_command_line(int argc, char** argv);

}  // namespace vd
