// How the maker ends a run on a file it cannot open, write or close: each
// message framed by blank lines, as all the maker's file errors are.
#pragma once

#include <cstdio>

namespace vd {

// Exit 10 for the files the run starts with, 15 for one reopened later.
[[noreturn]] void fail_open(const char* name, int code, bool deleteOutput);
// The patch file's new record is incomplete: exit 15, the partial output
// dealt with.
[[noreturn]] void fail_write(const char* name);
// Closes the stream with `close` (close_file, or close_keeping_file for one
// that must outlive the run) and clears it; a failed close ends the run as
// a failed write does.
void close_or_fail(FILE*& stream, const char* name, int (*close)(FILE*));

}  // namespace vd
