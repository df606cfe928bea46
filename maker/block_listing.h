// VERBOSE's block listing of a finished block stream, read back from the
// stream itself: one line per block, in the greedy encoders' words.
#pragma once

#include <cstdio>

#include "maker/session.h"

namespace vd {

// Lists the `result.blocks` blocks of MODE `mode` in result.out, which is
// left positioned at its end.
void list_blocks(const MakerSession& session, int mode, const EncodeResult& result);

}  // namespace vd
