#include "applier/read_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "core/run_state.h"
#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;

FILE* unnamed_file(const Bytes& bytes) {
  FILE* stream = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::rewind(stream);
  return stream;
}

std::unique_ptr<ReadWindow> window_on(FILE* stream, const char* name) {
  auto window = std::make_unique<ReadWindow>();
  window->attach(stream, name);
  return window;
}

std::unique_ptr<OutputSink> sink_on(FILE* output) {
  auto sink = std::make_unique<OutputSink>();
  sink->attach(output, "out");
  return sink;
}

// What the window put into the sink on `output`, once the sink wrote it.
Bytes written(OutputSink& sink, FILE* output) {
  sink.flush();
  std::fflush(output);
  std::rewind(output);
  Bytes bytes;
  for (int c; (c = std::fgetc(output)) != EOF;) bytes.push_back(static_cast<std::uint8_t>(c));
  return bytes;
}

// Matches near one another, far apart, across page ends, longer than all
// pages together, going backwards, and over pages that share a place (a
// multiple of all pages apart): every one copies exactly its bytes.
TEST(ReadWindow, CopiesEveryMatchExactly) {
  test::Rng rng(59);
  constexpr std::int64_t kAll = ReadWindow::kPageSize * ReadWindow::kPages;
  const Bytes file = rng.bytes(3 * kAll);
  FILE* stream = unnamed_file(file);
  FILE* output = std::tmpfile();
  auto sink = sink_on(output);
  const auto window = window_on(stream, "file");
  const std::vector<std::pair<std::int64_t, std::int64_t>> matches = {
      {100, 10},         {120, 3000},   {4000, 200},     {200000, 5},      {10, 70000},
      {3 * kAll - 10, 10}, {70000, 1},  {4095, 2},       {100 + kAll, 10}, {100, 10},
      {0, 3 * kAll},     {5000, kAll + 7}, {kAll - 4096, 8192}};
  Bytes expected;
  for (const auto& [position, length] : matches) {
    window->copy_to(position, length, *sink);
    expected.insert(expected.end(), file.begin() + position, file.begin() + position + length);
  }
  EXPECT_EQ(written(*sink, output), expected);
  std::fclose(stream);
  std::fclose(output);
}

// The patch stream goes on with its block stream from where it was.
TEST(ReadWindow, LeavesTheStreamWhereItWas) {
  const Bytes file = test::bytes_of("0123456789abcdefghij");
  FILE* stream = unnamed_file(file);
  std::fseek(stream, 7, SEEK_SET);
  FILE* output = std::tmpfile();
  auto sink = sink_on(output);
  window_on(stream, "patch")->copy_to(12, 5, *sink);
  EXPECT_EQ(std::ftell(stream), 7);
  EXPECT_EQ(std::fgetc(stream), '7');
  EXPECT_EQ(written(*sink, output), test::bytes_of("cdefg"));
  std::fclose(stream);
  std::fclose(output);
}

// An oldfile written through its stream just before (the copy a pass hands
// over) is read with those bytes, not with what the file held before.
TEST(ReadWindow, SeesBytesStillInTheStreamsBuffer) {
  FILE* stream = std::tmpfile();
  std::fputs("fresh bytes", stream);
  FILE* output = std::tmpfile();
  auto sink = sink_on(output);
  window_on(stream, "old")->copy_to(6, 5, *sink);
  EXPECT_EQ(written(*sink, output), test::bytes_of("bytes"));
  std::fclose(stream);
  std::fclose(output);
}

// The file ends inside the second match (the first one ends with it).
TEST(ReadWindow, AMatchPastTheEndOfTheFileEndsTheRun) {
  auto run = [] {
    // The message goes to the console; the death test sees standard error.
    dup2(STDERR_FILENO, STDOUT_FILENO);
    alloc_working_buffer();
    FILE* stream = unnamed_file(test::bytes_of("0123456789"));
    const auto sink = sink_on(std::tmpfile());
    const auto window = window_on(stream, "old");
    window->copy_to(8, 2, *sink);
    window->copy_to(8, 3, *sink);
    std::exit(0);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(15), "Error while reading old");
}

}  // namespace
}  // namespace vd
