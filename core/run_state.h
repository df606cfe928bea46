// The run state that both programs tear down on their one way out.
//
// Neither program unwinds on failure: every error, and the maker's normal end,
// goes through fatal_exit, which releases what the run holds, prints the
// message, deals with the partial output and ends the process.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace vd {

// The one chunk buffer through which every bulk read, copy and checksum goes.
struct WorkingBuffer {
  std::uint8_t* data = nullptr;
  std::uint32_t size = 0;
};

// Frees a heap block of the run that a unique_ptr holds.
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// A main stream of a run and the name its messages give it.
struct NamedStream {
  FILE* file = nullptr;
  const char* name = "";
};

// What fatal_exit tears down. The programs' run records are their drivers'
// own; a driver registers its record's streams and its release here. This
// state itself stays process-wide: a break is noticed deep inside any loop
// (check_break), and the failure helpers end the run from anywhere, without
// the record passed down to them.
struct RunState {
  // The run record's main streams (oldfile, newfile or output, patch file);
  // fatal_exit closes those that are open.
  std::array<NamedStream*, 3> streams{};
  // Frees the heap blocks of the run record. Called last, once the partial
  // output has been dealt with: restoring an existing patch file reads the
  // run's image of it.
  std::function<void()> releaseRun;
  // The output that a failure with the delete flag set must not leave behind.
  std::string partialOutput;
  // When set, a failure restores the partial output instead of deleting it,
  // because the file held the user's data before the run. Returns success.
  std::function<bool()> restoreOutput;
  // A file this run created that must not outlive a failure: removed even
  // when the delete flag is clear, silently then, since the user never had
  // it. Cleared once the run has succeeded.
  std::string createdOutput;
  // When set, called with the exit code instead of ending the process, after
  // everything else fatal_exit does; it must not return. Lets a harness that
  // runs the programs' routines in process get control back.
  std::function<void(int code)> exitHook;
  // "" for the maker, "\n" for the applier: its copy messages start a new line.
  const char* copyMessagePrefix = "";
  WorkingBuffer buffer;
};

RunState& run_state();

inline WorkingBuffer& working_buffer() { return run_state().buffer; }

// Halves from `startSize` until an allocation succeeds; false when even
// 12 bytes could not be had.
bool alloc_working_buffer(std::uint32_t startSize = 819200);

[[noreturn]] void fatal_exit(const char* message, int code, bool deleteOutput);

// Prints the message, formatted as printf does and with no newline added,
// then ends the run as fatal_exit does.
[[noreturn]] void fail_with(int code, bool deleteOutput, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

enum class CopyFault { None, Read, Write };

// Copies `count` bytes from the source's position through the working
// buffer and reports which side failed instead of ending the run, for the
// steps where the caller must first secure what would otherwise be lost.
CopyFault copy_stream(FILE* source, FILE* destination, std::int64_t count);

// Prints the message of a failed copy, naming the side that failed.
void report_copy_fault(CopyFault fault, const char* sourceName, const char* destinationName);

// Copies `count` bytes from the current position of `source` to `destination`
// through the working buffer; a short read or write ends the run with exit 15.
void copy_bytes(FILE* source, FILE* destination, std::int64_t count,
                const char* sourceName, const char* destinationName,
                bool deleteOutput);

// Makes a read legal after a write on an update-mode stream.
int reposition(FILE* stream);

}  // namespace vd
