#include "maker/optimal_candidates.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "support/maker_harness.h"
#include "support/test_support.h"

namespace vd {
namespace {

// Before the oldfile's lists are built, a path's near positions come from
// reading the oldfile around its running position: the same candidates, in
// the same order, as the chains give once the lists are built. Bytes of
// eight values put many keys near every running position, ahead and
// behind, up to both ends of the oldfile and beyond its end.
TEST(OptimalCandidates, NearPositionsReadFromTheOldfileAreThoseOfItsChains) {
  test::Rng rng(12);
  test::EncodeInput in;
  in.old = rng.bytes(60000, 0, 7);
  in.neu = in.old;
  for (std::size_t at = 50; at < in.neu.size(); at += 997) in.neu[at] ^= 0x10;
  in.alloc = test::refuse_3d();
  struct Query {
    std::int64_t p, running, dataLength;
  };
  std::vector<Query> queries;
  for (int i = 0; i < 200; ++i) {
    const auto p = static_cast<std::int64_t>(rng.below(in.neu.size()));
    const std::int64_t running = std::max<std::int64_t>(0, p - 20000 + static_cast<std::int64_t>(rng.below(60000)));
    queries.push_back({p, running, static_cast<std::int64_t>(rng.below(3))});
  }
  // The key of the oldfile's first and last positions, where the reading
  // has to reach the ends.
  const auto lastStart = static_cast<std::int64_t>(in.old.size()) - 2;
  for (const std::int64_t running : {1, 2, 3}) queries.push_back({0, running, 0});
  for (const std::int64_t running : {lastStart - 1, lastStart, lastStart + 1, lastStart + 5})
    queries.push_back({lastStart, running, 0});
  using Found = std::vector<std::pair<std::int64_t, std::int64_t>>;
  for (int mode = 1; mode <= 4; ++mode) {
    SCOPED_TRACE("MODE " + std::to_string(mode));
    test::run_coder(mode, in, [&](MakerSession& s, MatchIndex& index, EncodeResult&) {
      const auto near = [&](const Query& query) {
        OptimalCandidates candidates(s, index, mode);
        candidates.at(query.p, query.running);
        Found found;
        for (const OptimalCandidate& c : candidates.for_path(query.p, query.running, query.dataLength))
          found.emplace_back(c.position, c.length);
        return found;
      };
      std::vector<Found> read, chained;
      for (const Query& query : queries) read.push_back(near(query));
      ASSERT_EQ(index.old_lists_if_built(), nullptr);
      index.old_lists_as_searched();
      for (const Query& query : queries) chained.push_back(near(query));
      EXPECT_EQ(read, chained);
    });
  }
}

}  // namespace
}  // namespace vd
