// OPTIMAL as the driver and the optimizer run it.
#include <cassert>

#include "maker/block_listing.h"
#include "maker/optimal_encoder.h"

namespace vd {

void encode_optimal(int mode, MakerSession& session, MatchIndex& index, EncodeResult& result,
                    CarriedState& carried) {
  result.identical = carried.identical;
  // The greedy path the search follows is the one of VARY 0, from the
  // replace position the previous run left; only that path moves it on.
  const std::int32_t minBlock = session.minBlock;
  session.minBlock = 3;
  index.reset_match_memo();
  index.state.replacePosition = carried.replacePosition;
  const OptimalOutcome outcome = encode_exact(mode, session, index, result, session.blockListing);
  session.minBlock = minBlock;
  // The search counts every byte it means to write; a difference is a
  // pricing fault, which the tests check in every MODE.
  assert(outcome.price == outcome.written);
  static_cast<void>(outcome);
  carried = CarriedState{.replacePosition = index.state.replacePosition, .identical = result.identical};
  if (session.blockListing) list_blocks(session, mode, result);
}

}  // namespace vd
