// The maker's command line: Vardelta <oldfile> <newfile> <patchfile> plus
// keywords anywhere on the line.
#pragma once

#include "maker/session.h"

namespace vd {

inline constexpr char kMakerVersion[] = "$VER: Vardelta 3.0 (6.9.2002)";

extern const char kMakerUsage[];
extern const char kMakerHelp[];

// Reads the whole command line. Help, a MODE out of range and missing
// arguments end the run here, with their messages and exit codes.
MakerOptions parse_maker_command_line(int argc, char** argv);

}  // namespace vd
