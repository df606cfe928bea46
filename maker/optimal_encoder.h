// The exact-price encoder (OPTIMAL): a forward search over newfile
// positions that prices every block at the bytes it really takes and keeps,
// for each position, the cheapest way found to code the newfile up to it.
// It writes the same block stream format as the greedy encoders.
#pragma once

#include <cstdint>

#include "maker/match_index.h"
#include "maker/session.h"

namespace vd {

struct OptimalOutcome {
  std::int64_t price = 0;    // the stream bytes the search counted
  std::int64_t written = 0;  // the stream bytes it wrote; always the same
};

// Codes the whole of newData in MODE 1 to 4 into result.out, adding to
// result.patchsize and setting blocks (and identical in MODE 1). Prints the
// running percentage unless `quiet`, and never the block listing.
OptimalOutcome encode_exact(int mode, MakerSession& session, MatchIndex& index, EncodeResult& result, bool quiet);

// What OPTIMAL runs: the exact-price stream, never larger than the greedy
// one at VARY 0, in result.out. With the block listing on, lists it.
// Starts from `carried` and leaves in it what the greedy path hands on.
void encode_optimal(int mode, MakerSession& session, MatchIndex& index, EncodeResult& result,
                    CarriedState& carried);

}  // namespace vd
