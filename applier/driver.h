// The applier's run, from the command line to the placed result.
#pragma once

#include <cstdio>

namespace vd {

// True when the file `name` exists and is the very file behind `stream`
// (same device and inode, whatever the spelling of the name).
bool names_same_file(const char* name, FILE* stream);

// Never returns: every run ends through fatal_exit.
[[noreturn]] void run_applier(int argc, char** argv);

}  // namespace vd
