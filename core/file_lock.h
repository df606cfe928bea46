// Advisory whole-file locks between runs of the two programs: a maker
// updating a patch file holds it exclusively, an applier reading one holds it
// shared, so that no run ever sees another's half-written record.
#pragma once

namespace vd {

// Waits until the lock on the open file `fd` is held. The wait polls, so that
// a break ends it (exit 20) without racing a blocked call; only while it has
// to wait does a status line say so, naming `name`. A file system without
// such locks counts as locked: the run goes on as it would without them.
// False on any other failure.
bool wait_for_lock(int fd, bool exclusive, const char* name);

// Gives the lock up, for a run that must take another kind of lock.
void release_lock(int fd);

}  // namespace vd
