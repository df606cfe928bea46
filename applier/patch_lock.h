// The applier reads a patch file only under a shared lock, so that a maker
// appending to it is never seen half-way, and only after an append that a
// crash interrupted has been rolled back.
#pragma once

#include <cstdio>

namespace vd {

// Locks the patch file open as `stream`, opening the name again when the
// file was replaced while the run waited. Ends the run with exit 15 when a
// needed rollback cannot be done (no write access).
void lock_patch_for_reading(const char* name, FILE*& stream);

}  // namespace vd
