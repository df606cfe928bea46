// Registered temporary files: each is removed when it is closed, and at the
// latest when the run ends.
#pragma once

#include <cstdio>
#include <string>

namespace vd {

// The directory for temporary files: $TMPDIR when set and not empty, else /tmp.
std::string temp_directory();

// Creates prefix + "t%08lx_%d" (process id, a counter of this process)
// exclusively with mode 0600, moving on to the next counter value while a
// name is taken, so that no existing file is ever opened through it. Opened
// "a+b" when `append`, else "w+b"; null on failure. Not registered.
FILE* create_numbered_file(const std::string& prefix, bool append, std::string& name);

// Creates a fresh temporary file exclusively (mode 0600) named t%08lx_%d after
// the process id and a per-process counter, skipping names that are taken.
// Returns the open stream ("a+b"), or null on failure. When `nameOut` is given
// it receives the file's path.
FILE* open_temp(std::string* nameOut = nullptr);

// Registers a file this run created elsewhere, so that it is removed like a
// temporary file unless it is closed with close_keeping_file first.
void register_temp_file(FILE* stream, const std::string& name);

// An anonymous scratch file in the temporary directory, open for reading and
// writing anywhere in it; it has no name and vanishes when it is closed.
FILE* open_scratch();

// Closes any stream; a registered temporary file is removed as well.
int close_file(FILE* stream);

// Closes a registered temporary file but keeps it on disk, for a file that
// has become the only complete copy of something the user needs.
int close_keeping_file(FILE* stream);

// Closes and removes every temporary file still open.
void close_all_temp_files();

}  // namespace vd
