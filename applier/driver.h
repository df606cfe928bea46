// The applier's run, from the command line to the placed result.
#pragma once

namespace vd {

// Never returns: every run ends through fatal_exit.
[[noreturn]] void run_applier(int argc, char** argv);

}  // namespace vd
