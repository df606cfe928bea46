// Opening, locking and updating the patch file.
//
// The patch file is locked exclusively from before it is read until the run
// ends, so that two makers appending to it take turns. An existing patch
// file is not written in place where that can be avoided: its bytes and the
// new record go into a file beside it, which replaces it only when complete.
// Where that is impossible (several hard links, a folder the run cannot
// write) the record is appended in place under a rollback journal.
#pragma once

#include <cstdio>
#include <string>

#include "core/run_state.h"
#include "maker/session.h"

namespace vd {

// How the run updates its patch file, from opening it to the commit.
struct PatchUpdate {
  // Holds the lock until the process ends, whatever becomes of the stream.
  int lockFd = -1;
  // The path renamed onto, and the copy beside it while one is being made.
  std::string target;
  std::string beside;
  // The journal of an append in place, while one is under way.
  std::string journal;
};

// Opens the patch file for update, creating it when missing, and locks it;
// an append to it that a crash interrupted is rolled back first. Ends the run
// with exit 10 when the file cannot be opened or is no regular file.
FILE* open_patch_file(const char* name, PatchUpdate& update);

// Makes a failure give the existing patch file back exactly as it was; both
// must live until the run ends.
void protect_existing_patch_file(const MakerSession& session, const PatchUpdate& update);

// For an existing patch file: the bytes read go into the copy beside it,
// which then takes the place of `patch`'s stream, or the journal is written.
// From here on `session.patchPath` names the file the record is written to.
void begin_update(MakerSession& session, PatchUpdate& update, NamedStream& patch);

// Closes the patch stream, so that errors held back in it show, and opens
// the same file again for writing anywhere in it.
void reopen_for_update(const MakerSession& session, const PatchUpdate& update, NamedStream& patch);

// The checked file becomes the patch file: the copy beside it is renamed
// over it, or the file written in place is synced and its journal removed.
void commit_update(const MakerSession& session, PatchUpdate& update, NamedStream& patch);

}  // namespace vd
