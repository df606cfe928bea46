// The break: SIGINT, SIGTERM and SIGHUP end either program the way a failure
// does (temporary files removed, a partial output of this run removed, an
// existing patch file left as it was), with exit code 20.
//
// The handler only notes the signal; the run ends at the next check, where
// every structure is consistent and fatal_exit can do its ordinary work.
// Checks stand in every loop whose length depends on the size of a file.
#pragma once

namespace vd {

// The first thing each program does: no break may find the run without them.
// The break signals are also unblocked, and SIGPIPE is ignored.
void install_break_handlers();

// Ends the run through fatal_exit when a break signal has arrived.
void check_break();

// While one exists, a break waits: for steps that must not stop half-way,
// such as rewriting a file in place. The destructor honours a waiting break.
// Once a run's job is done for good (the oldfile holds the new version, or
// is being rewritten with it), a break can no longer undo anything: from the
// call on, breaks are ignored and the run finishes as a successful one does.
void hold_breaks_until_exit();

class BreakHold {
 public:
  BreakHold();
  ~BreakHold();
  BreakHold(const BreakHold&) = delete;
  BreakHold& operator=(const BreakHold&) = delete;
};

}  // namespace vd
