#include "maker/command_line.h"

#include <cstdio>

#include "core/keywords.h"
#include "core/run_state.h"

namespace vd {

const char kMakerUsage[] =
    "Usage:\nVardelta <oldfile> <newfile> <patchfile> [MODE <n> [VARY <n>] | AUTO [DEEP]]\n"
    "\x1b[41C[VERBOSE] [mem128 | mem256]";

const char kMakerHelp[] =
    "Vardelta compares oldfile and newfile and stores the changes in the patchfile.\n"
    "Later Varmend can build the new file using this patchfile.\n"
    "MODE <n> (n=1...4) selects one of the different coding algorithms,\n"
    "VARY changes the minimal block size (default is 0),\n"
    "AUTO starts the optimizer and additional\n"
    "DEEP checks different minimum block sizes.\n"
    "(AUTO DEEP produces the shortest possible patchfile.)\n"
    "VERBOSE tells you in the auto mode the results of the different\n"
    "modes and in any other mode detailed information about\n"
    "the patchfile.\n"
    "The patchfile can contain patches for any number of files.";

namespace {

constexpr long kHighestMode = 4;
constexpr long kLowestVary = -3;
// Keeps 3 + VARY inside the signed 32-bit minimal block size; any VARY this
// large already rules out every match.
constexpr long kHighestVary = 0x7FFFFFFF - 3;

long clamp_vary(long vary) {
  if (vary < kLowestVary) return kLowestVary;
  return vary > kHighestVary ? kHighestVary : vary;
}

}  // namespace

MakerOptions parse_maker_command_line(int argc, char** argv) {
  CommandLine line(argc, argv);
  if (line.help_requested()) print_help(kMakerVersion, kMakerUsage, kMakerHelp);

  MakerOptions options;
  if (line.find_value("vary", options.vary)) options.vary = clamp_vary(options.vary);
  long mode = static_cast<long>(options.mode);
  if (line.find_value("mode", mode)) {
    if (mode < 1 || mode > kHighestMode) {
      std::printf("Mode %ld not available: use 1 to %ld.\n", mode, kHighestMode);
      fatal_exit(kMakerUsage, 5, false);
    }
    options.mode = static_cast<MakerMode>(mode);
  }
  if (line.find_arg("auto")) options.mode = MakerMode::Auto;
  options.deep = line.find_arg("deep") != 0;
  options.verbose = line.find_arg("verbose") != 0;
  options.mem128 = line.find_arg("mem128") != 0;
  options.mem256 = line.find_arg("mem256") != 0;
  options.optimal = line.find_arg("optimal") != 0;

  const int oldIndex = line.find_arg(nullptr);
  const int newIndex = line.find_arg(nullptr);
  const int patchIndex = line.find_arg(nullptr);
  if (oldIndex == 0 || newIndex == 0 || patchIndex == 0 || line.missing_value())
    fail_missing_arguments("Vardelta", kMakerUsage);
  options.oldName = line.arg(oldIndex);
  options.newName = line.arg(newIndex);
  options.patchName = line.arg(patchIndex);
  return options;
}

}  // namespace vd
