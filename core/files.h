// Opening the files a run reads, and telling whether two names are one file.
#pragma once

#include <cstdio>

namespace vd {

// Opens a file for reading; null when it cannot be opened or is a directory
// (which would open, but not read).
FILE* open_input_file(const char* name);

// True when `name` denotes the file open as `stream` (same device and inode,
// whatever the spelling, links included).
bool names_same_file(const char* name, FILE* stream);

}  // namespace vd
