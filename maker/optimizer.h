// AUTO: codes the newfile once per candidate (MODE, minimal block size and
// whether the files go through the relocation transform) and keeps the
// shortest block stream.
#pragma once

#include "maker/match_index.h"
#include "maker/session.h"

namespace vd {

// Returns the best candidate, whose `out` holds its block stream. Both
// images are left in the transform state of the last combination tried.
// With `optimal` every candidate is coded by the exact-price encoder, and
// only at VARY 0.
EncodeResult run_optimizer(MakerSession& session, MatchIndex& index, bool deep, bool optimal = false);

}  // namespace vd
