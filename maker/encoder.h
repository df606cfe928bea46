// The block encoders: one greedy pass over the newfile that writes a match
// block wherever the search reports a match and gathers the bytes in between
// into data blocks.
#pragma once

#include "maker/match_index.h"
#include "maker/session.h"

namespace vd {

// Each codes the whole of newData into result.out and adds what it writes to
// result.patchsize (which the caller has set to 20). Each starts from
// `carried` and leaves in it what the next run starts from.
//
// The encoder of MODE 1 to 4; a quiet run prints neither the percentage
// nor the block listing.
void encode_mode(int mode, MakerSession& session, MatchIndex& index, EncodeResult& result, CarriedState& carried,
                 bool quiet = false);
// MODE 3 with the linear search, for an oldfile that got no lists.
void encode_mode3_linear(MakerSession& session, MatchIndex& index, EncodeResult& result, CarriedState& carried);

}  // namespace vd
