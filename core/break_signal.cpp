#include "core/break_signal.h"

#include <csignal>

#include "core/run_state.h"

namespace vd {
namespace {

// A plain process-wide flag: the signal handler can reach nothing else, and
// may do no more than set it.
volatile std::sig_atomic_t breakSignal = 0;
int holds = 0;

extern "C" void note_break(int signal) { breakSignal = signal; }

}  // namespace

void install_break_handlers() {
  struct sigaction action = {};
  action.sa_handler = note_break;
  sigemptyset(&action.sa_mask);
  // Interrupted reads and writes resume; the run stops at the next check.
  action.sa_flags = SA_RESTART;
  sigset_t breaks;
  sigemptyset(&breaks);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal the run was started to ignore (nohup, a background job) stays
    // ignored: whoever started it asked for that.
    struct sigaction inherited = {};
    if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
    sigaddset(&breaks, signal);
  }
  // A console that goes away (the reader of a pipe quits early) must not
  // kill the run half-way through writing its files: the output is lost,
  // the run goes on and ends as it would have.
  signal(SIGPIPE, SIG_IGN);
  // A run started with the break signals blocked could not be broken at all;
  // one that arrived before the handlers existed, and waited, counts now.
  sigprocmask(SIG_UNBLOCK, &breaks, nullptr);
}

void hold_breaks_until_exit() { ++holds; }

BreakHold::BreakHold() { ++holds; }

BreakHold::~BreakHold() {
  --holds;
  check_break();
}

void check_break() {
  if (breakSignal == 0 || holds > 0) return;
  breakSignal = 0;
  fatal_exit("\n***Break", 20, true);
}

}  // namespace vd
