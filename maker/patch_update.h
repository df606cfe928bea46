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

#include "maker/session.h"

namespace vd {

// Opens the patch file for update, creating it when missing, and locks it;
// an append to it that a crash interrupted is rolled back first. Ends the run
// with exit 10 when the file cannot be opened or is no regular file.
FILE* open_patch_file(const char* name);

// Makes a failure give the existing patch file back exactly as it was.
void protect_existing_patch_file(MakerSession& session);

// For an existing patch file: the bytes read go into the copy beside it, or
// the journal is written. From here on `session.patchPath` names the file the
// record is written to.
void begin_update(MakerSession& session);

// Closes the patch stream, so that errors held back in it show, and opens
// the same file again for writing anywhere in it.
FILE* reopen_for_update(const MakerSession& session);

// The checked file becomes the patch file: the copy beside it is renamed
// over it, or the file written in place is synced and its journal removed.
void commit_update(const MakerSession& session);

}  // namespace vd
