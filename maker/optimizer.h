// AUTO: codes the newfile once per candidate (MODE, minimal block size and
// whether the files go through the relocation transform) and keeps the
// shortest block stream.
#pragma once

#include "maker/match_index.h"
#include "maker/session.h"

namespace vd {

// Returns the best candidate, whose `out` holds its block stream. Both
// images are left in the transform state of the last combination tried.
EncodeResult run_optimizer(MakerSession& session, MatchIndex& index, bool deep);

}  // namespace vd
