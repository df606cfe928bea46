#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/run_state.h"
#include "support/test_support.h"

namespace vd {
namespace {

// The partial output of a run that ends through fail_with.
std::string partial_output(const char* leaf) {
  const std::string path = testing::TempDir() + leaf;
  test::write_file(path, test::bytes_of("half written"));
  return path;
}

[[noreturn]] void fail_on_console(const std::string& partial, bool deleteOutput) {
  // The message goes to the console; the death test sees standard error.
  dup2(STDERR_FILENO, STDOUT_FILENO);
  run_state().partialOutput = partial;
  fail_with(12, deleteOutput, "Bad %s (%d of %s)\n", "record", 7, partial.c_str());
}

TEST(FailWith, PrintsTheFormattedMessageThenDeletesThePartialOutput) {
  const std::string partial = partial_output("fail_with_deleted");
  EXPECT_EXIT(fail_on_console(partial, true), testing::ExitedWithCode(12),
              "^Bad record \\(7 of [^\n]*fail_with_deleted\\)\nFile [^\n]*fail_with_deleted deleted\\.\n$");
  EXPECT_NE(access(partial.c_str(), F_OK), 0);
}

TEST(FailWith, KeepsThePartialOutputWithoutTheDeleteFlag) {
  const std::string partial = partial_output("fail_with_kept");
  EXPECT_EXIT(fail_on_console(partial, false), testing::ExitedWithCode(12),
              "^Bad record \\(7 of [^\n]*fail_with_kept\\)\n$");
  EXPECT_EQ(test::read_file(partial), test::bytes_of("half written"));
  std::remove(partial.c_str());
}

}  // namespace
}  // namespace vd
