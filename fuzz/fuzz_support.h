// What every harness needs to run the programs' routines in process: control
// back from fatal_exit, a private directory for the files of one input, and
// a quiet console.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vd::fuzz {

using Bytes = std::vector<std::uint8_t>;

// Thrown by the exit hook: the routine under test ended the run.
struct RunEnded {
  int code;
};

// Once per process: routes fatal_exit to RunEnded, sends the programs'
// console output to /dev/null (unless VARDELTA_FUZZ_CONSOLE is set) and
// points TMPDIR at a private directory.
void init_harness();

// The private directory, and a path in it.
const std::string& private_dir();
std::string private_path(const char* leaf);

// Frees and re-allocates the working buffer: fatal_exit frees it, and some
// harnesses want a small one. alloc_working_buffer halves `startSize` first.
void fresh_working_buffer(std::uint32_t startSize = 819200);

// Resets the core's run state to what a driver starts from.
void reset_run_state();

void write_file(const std::string& path, const Bytes& content);
Bytes read_file(const std::string& path);
bool file_exists(const std::string& path);

// Names in the private directory other than `allowed` (temporary files that a
// run failed to remove).
std::vector<std::string> stray_files(const std::vector<std::string>& allowed);

// A read-only stream over memory (an empty range is allowed).
FILE* memory_stream(const Bytes& content);
// The content in a file without a name, for readers that need a file.
FILE* unnamed_file_stream(const Bytes& content);

// Stops the process with a message on stderr, which libFuzzer reports as a
// crash with the input that caused it.
[[noreturn]] void violated(const char* what);

// Offsets of the records a reader would visit, as far as their fixed fields
// lie inside the file.
std::vector<std::size_t> record_offsets(const Bytes& patch);

// The CRC total over bytes 8 to the end, written at offset 4, for files of at
// least 8 bytes: lets mutated patch files get past the header check.
void fix_crc_total(Bytes& patch);

}  // namespace vd::fuzz
