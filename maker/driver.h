// The maker's run, from the command line to the finished patch file.
#pragma once

namespace vd {

// Never returns: every run ends through fatal_exit.
[[noreturn]] void run_maker(int argc, char** argv);

}  // namespace vd
