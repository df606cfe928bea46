// A match index over in-memory files, and the match search done the slow
// way, position by position, against which the index's search is checked.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "maker/match_index.h"
#include "support/maker_harness.h"

namespace vd::test {

// A patch file header (magic, CRC total, file count); its bytes are never
// indexed.
Bytes header();

// Files, an index over them, and the notes that allocating it printed.
struct Indexed {
  SessionFiles files;
  MatchIndex index;
  std::string notes;
  bool hasLists = false;

  Indexed(Bytes old, Bytes neu, Bytes patch = {}, int minBlock = 3, AllocRule rule = refuse_3d(),
          bool mem128 = false, bool mem256 = false);
};

// Every position of the oldfile, then of the patch file from offset 12, in
// ascending order.
std::optional<MatchCandidate> reference_find_match(const SessionFiles& files, const SearchState& state, int mode,
                                                   std::int64_t p);

// The search at p agrees with the faithful walk, with the index's running
// and replace positions as they are.
testing::AssertionResult agrees_with_faithful_walk(Indexed& indexed, int mode, std::int64_t p);

}  // namespace vd::test
