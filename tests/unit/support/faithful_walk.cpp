#include "support/faithful_walk.h"

#include "maker/match_cost.h"

namespace vd::test {

Bytes header() { return {'V', 'L', 'M', '3', 1, 2, 3, 4, 0, 0, 0, 1}; }

Indexed::Indexed(Bytes old, Bytes neu, Bytes patch, int minBlock, AllocRule rule, bool mem128, bool mem256)
    : files(std::move(old), std::move(neu), std::move(patch), minBlock), index(files.session, &scripted_alloc) {
  set_alloc_rule(std::move(rule));
  testing::internal::CaptureStdout();
  hasLists = index.allocate(mem128, mem256);
  index.build_old_index("old");
  index.build_patch_index("patch");
  notes = testing::internal::GetCapturedStdout();
}

std::optional<MatchCandidate> reference_find_match(const SessionFiles& files, const SearchState& state,
                                                   int mode, std::int64_t p) {
  const MakerSession& s = files.session;
  if (s.newSize - p < 3) return std::nullopt;
  const std::int64_t limit = block_length_limit(mode);
  CostContext context;
  context.running = state.running;
  context.replacePosition = state.replacePosition;
  context.referenceSize = std::int64_t{s.oldSize} + s.patchDataSize;
  std::optional<MatchCandidate> best;
  const auto walk = [&](const std::uint8_t* data, std::int64_t size, std::int64_t first, std::int64_t base) {
    for (std::int64_t q = first; q < size; ++q) {
      std::int64_t length = 0;
      while (q + length < size && p + length < s.newSize && data[q + length] == s.newData[p + length] &&
             length < limit)
        ++length;
      if (length < 3) continue;
      MatchCandidate candidate;
      candidate.length = length;
      candidate.position = base + q;
      candidate.cost = base == 0 ? oldfile_match_cost(mode, length, base + q, context)
                                 : patchfile_match_cost(mode, length, base + q, context);
      if (!best || candidate.gain() > best->gain()) best = candidate;
      if (best->length == limit) break;
    }
  };
  walk(s.oldData, s.oldSize, 0, 0);
  if (s.patchDataSize > 0) walk(s.patchData, s.patchDataSize, 12, s.oldSize);
  if (!best || best->gain() < s.minBlock) return std::nullopt;
  return best;
}

testing::AssertionResult agrees_with_faithful_walk(Indexed& indexed, int mode, std::int64_t p) {
  indexed.index.reset_match_memo();
  const auto expected = reference_find_match(indexed.files, indexed.index.state, mode, p);
  const auto actual = indexed.index.find_match(mode, p);
  const auto shown = [](const std::optional<MatchCandidate>& match) {
    return match ? std::to_string(match->length) + " bytes at " + std::to_string(match->position) : "none";
  };
  if (actual.has_value() == expected.has_value() &&
      (!expected || (actual->position == expected->position && actual->length == expected->length &&
                     actual->cost == expected->cost)))
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << "MODE " << mode << " p " << p << ": " << shown(actual) << ", the faithful walk "
                                     << shown(expected);
}

}  // namespace vd::test
