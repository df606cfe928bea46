#include "core/run_state.h"

#include <sys/stat.h>

#include <cstdarg>
#include <cstdlib>
#include <utility>

#include "core/break_signal.h"
#include "core/temp_files.h"

namespace vd {

RunState& run_state() {
  static RunState state;
  return state;
}

bool alloc_working_buffer(std::uint32_t startSize) {
  WorkingBuffer& buffer = working_buffer();
  std::uint32_t size = startSize;
  while (buffer.data == nullptr && size >= 16) {
    size /= 2;
    buffer.data = static_cast<std::uint8_t*>(std::malloc(size));
  }
  if (buffer.data == nullptr) return false;
  buffer.size = size;
  return true;
}

static void dispose_partial_output(RunState& state) {
  const char* name = state.partialOutput.c_str();
  if (state.restoreOutput) {
    if (state.restoreOutput())
      std::printf("File %s restored to its state before this run.\n", name);
    else
      std::printf("File %s could not be restored.\n", name);
    return;
  }
  // Only a regular file is ours to delete: never a device, a FIFO or a
  // directory that the output name happens to denote.
  struct stat info;
  if (lstat(name, &info) != 0 || !S_ISREG(info.st_mode)) return;
  if (std::remove(name) == 0) std::printf("File %s deleted.\n", name);
}

static void release_run(RunState& state) {
  const std::function<void()> release = std::move(state.releaseRun);
  state.releaseRun = nullptr;
  if (release) release();
}

void fatal_exit(const char* message, int code, bool deleteOutput) {
  RunState& state = run_state();
  std::free(state.buffer.data);
  state.buffer = {};
  if (message != nullptr) std::puts(message);
  for (NamedStream* stream : state.streams) {
    if (stream == nullptr || stream->file == nullptr) continue;
    close_file(stream->file);
    stream->file = nullptr;
  }
  state.streams = {};
  if (deleteOutput && !state.partialOutput.empty())
    dispose_partial_output(state);
  else if (!state.createdOutput.empty())
    std::remove(state.createdOutput.c_str());
  close_all_temp_files();
  release_run(state);
  std::fflush(stdout);
  if (state.exitHook) state.exitHook(code);
  std::exit(code);
}

void fail_with(int code, bool deleteOutput, const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  std::vprintf(format, arguments);
  va_end(arguments);
  fatal_exit(nullptr, code, deleteOutput);
}

CopyFault copy_stream(FILE* source, FILE* destination, std::int64_t count) {
  const WorkingBuffer& buffer = working_buffer();
  while (count > 0) {
    check_break();
    const std::size_t n = count < buffer.size ? static_cast<std::size_t>(count) : buffer.size;
    if (std::fread(buffer.data, 1, n, source) != n) return CopyFault::Read;
    if (std::fwrite(buffer.data, 1, n, destination) != n) return CopyFault::Write;
    count -= static_cast<std::int64_t>(n);
  }
  // A break that came during the last piece is not left for later: nothing
  // may check again before the copy is put in place.
  check_break();
  return CopyFault::None;
}

void report_copy_fault(CopyFault fault, const char* sourceName, const char* destinationName) {
  const char* prefix = run_state().copyMessagePrefix;
  if (fault == CopyFault::Read) std::printf("%sError while reading %s\n", prefix, sourceName);
  if (fault == CopyFault::Write) std::printf("%sError while writing %s\n", prefix, destinationName);
}

void copy_bytes(FILE* source, FILE* destination, std::int64_t count,
                const char* sourceName, const char* destinationName,
                bool deleteOutput) {
  const CopyFault fault = copy_stream(source, destination, count);
  if (fault == CopyFault::None) return;
  report_copy_fault(fault, sourceName, destinationName);
  fatal_exit(nullptr, 15, deleteOutput);
}

int reposition(FILE* stream) {
  const long position = std::ftell(stream);
  std::fflush(stream);
  return std::fseek(stream, position, SEEK_SET);
}

}  // namespace vd
