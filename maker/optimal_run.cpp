// OPTIMAL's promise never to be larger than the greedy encoder of the same
// MODE at VARY 0: both streams are made, and the smaller one kept.
#include <cassert>
#include <utility>

#include "core/run_state.h"
#include "core/temp_files.h"
#include "maker/block_listing.h"
#include "maker/encoder.h"
#include "maker/optimal_encoder.h"

namespace vd {

void encode_optimal(int mode, MakerSession& session, MatchIndex& index, EncodeResult& result,
                    CarriedState& carried) {
  result.identical = carried.identical;
  EncodeResult greedy = result;
  greedy.out = open_temp(session.patchName);
  if (greedy.out == nullptr) fatal_exit("Cannot open temporary file.", 15, session.created);
  const std::int32_t minBlock = session.minBlock;
  session.minBlock = 3;
  index.reset_match_memo();
  // Only the greedy run moves the replace position on.
  encode_mode(mode, session, index, greedy, carried, true);
  session.minBlock = minBlock;

  const OptimalOutcome outcome = encode_exact(mode, session, index, result, session.blockListing);
  // The search counts every byte it means to write; a difference is a
  // pricing fault, which the tests check in every MODE.
  assert(outcome.price == outcome.written);
  static_cast<void>(outcome);
  if (greedy.patchsize < result.patchsize) std::swap(greedy, result);
  carried.identical = result.identical;
  close_file(greedy.out);
  if (session.blockListing) list_blocks(session, mode, result);
}

}  // namespace vd
