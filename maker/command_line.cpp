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
  line.take_switches({{"deep", options.deep},
                      {"verbose", options.verbose},
                      {"mem128", options.mem128},
                      {"mem256", options.mem256},
                      {"optimal", options.optimal}});
  const auto [oldName, newName, patchName] = line.take_positionals<3>();
  if (oldName == nullptr || newName == nullptr || patchName == nullptr || line.missing_value())
    fail_missing_arguments("Vardelta", kMakerUsage);
  options.oldName = oldName;
  options.newName = newName;
  options.patchName = patchName;
  return options;
}

}  // namespace vd
