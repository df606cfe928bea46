#include "core/break_signal.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "core/crc32.h"
#include "core/run_state.h"

namespace vd {
namespace {

// A break ends the run the way a failure does: through fatal_exit, with
// exit code 20 and the partial output removed.
TEST(BreakSignal, EachSignalEndsTheRunAtTheNextCheckWithCode20) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    auto run = [signal] {
      install_break_handlers();
      std::raise(signal);
      check_break();
      std::exit(0);
    };
    EXPECT_EXIT(run(), testing::ExitedWithCode(20), "") << "signal " << signal;
  }
}

TEST(BreakSignal, NothingHappensWithoutASignal) {
  auto run = [] {
    install_break_handlers();
    check_break();
    std::exit(7);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(7), "");
}

// Checksumming a file of any size looks for a break before every chunk.
TEST(BreakSignal, ChecksummingAFileStopsForABreak) {
  auto run = [] {
    install_break_handlers();
    alloc_working_buffer(64);
    FILE* stream = std::tmpfile();
    std::fputs("some bytes to checksum", stream);
    std::rewind(stream);
    std::raise(SIGINT);
    crc32_stream(stream, false);
    std::exit(0);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(20), "");
}

// A break that comes while the last piece of a copy is written is honoured
// when the copy ends, before anything can put the copy in place. An empty
// copy, with the break already there, is that moment.
TEST(BreakSignal, ABreakDuringTheLastPieceOfACopyEndsTheRun) {
  auto run = [] {
    install_break_handlers();
    alloc_working_buffer(64);
    FILE* source = std::tmpfile();
    FILE* destination = std::tmpfile();
    std::raise(SIGINT);
    copy_stream(source, destination, 0);
    std::exit(0);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(20), "");
}

// While a hold stands, a break waits; it is honoured when the hold ends.
TEST(BreakSignal, AHoldDefersTheBreakUntilItEnds) {
  auto run = [] {
    install_break_handlers();
    {
      BreakHold hold;
      std::raise(SIGTERM);
      check_break();
      std::fprintf(stderr, "still running inside the hold\n");
    }
    std::exit(0);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(20), "still running inside the hold");
}

}  // namespace
}  // namespace vd
