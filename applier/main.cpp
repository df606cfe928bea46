#include "applier/driver.h"
#include "core/break_signal.h"

// The handlers come before anything else, so that no break finds the run
// without them.
int main(int argc, char** argv) {
  vd::install_break_handlers();
  vd::run_applier(argc, argv);
}
