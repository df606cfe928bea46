// Registered temporary files: each is removed when it is closed, and at the
// latest when the run ends.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace vd {

// The directory for temporary files: $TMPDIR when set and not empty, else /tmp.
std::string temp_directory();

// A file a run leaves behind only when it is killed must say what it is and
// whose it is: "<file>.<program>-partial.<process id>_<counter>", where
// <file> is the name of the file it belongs to (the patch file, the oldfile)
// and <program> the program that made it; such a file is always unfinished
// work of that run, which the run removes itself.

// The program whose files these are ("Vardelta", "Varmend"); set once at
// the start of a run.
void set_program_name(const char* name);

// "<program>-partial", the tag of every numbered file of this run.
std::string partial_tag();

// The longest file name (one path component) the names made here may have.
inline constexpr std::size_t kMaxLeafName = 255;

// How messages name a temporary file.
inline constexpr char kTemporaryFileName[] = "temporary file";

// Room a numbered name needs after its prefix: "<process id>_<counter>".
inline constexpr std::size_t kNumberRoom = 24;

// `leaf` shortened so that `extra` more characters still fit in a file name:
// a long leaf keeps its start and gets a checksum of the whole in place of
// its end, so that the result is the same for the same leaf every time.
std::string fitted_leaf(const std::string& leaf, std::size_t extra);

// The last component of a path.
std::string leaf_of(const std::string& path);

// Creates prefix + "<process id>_<counter>" exclusively with mode 0600,
// moving on to the next counter value while a name is taken, so that no
// existing file is ever opened through it. Opened "a+b" when `append`, else
// "w+b"; null on failure. Not registered.
FILE* create_numbered_file(const std::string& prefix, bool append, std::string& name);

// Creates a fresh temporary file exclusively (mode 0600) in the temporary
// directory for work on the file `owner`, named
// "<leaf of owner>.<program>-partial.<process id>_<counter>" (for instance
// "patch.Vardelta-partial.4711_0"), skipping names that are taken. Returns
// the open stream ("a+b"), or null on failure. When `nameOut` is given it
// receives the file's path.
FILE* open_temp(const std::string& owner, std::string* nameOut = nullptr);

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
