#include "maker/optimal_candidates.h"

#include <gtest/gtest.h>

#include <optional>
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
  // Several paths at one position, running close together or far apart,
  // as the arrivals of the exact-price search are.
  struct Query {
    std::int64_t p, running, dataLength;
  };
  std::vector<Query> queries;
  for (int i = 0; i < 200; ++i) {
    const auto p = static_cast<std::int64_t>(rng.below(in.neu.size()));
    const std::int64_t running = std::max<std::int64_t>(0, p - 20000 + static_cast<std::int64_t>(rng.below(60000)));
    const std::uint64_t spread = i % 2 == 0 ? 40 : 40000;
    for (int path = 0; path < 3; ++path) {
      const std::int64_t near = running - static_cast<std::int64_t>(spread / 2 + rng.below(spread));
      queries.push_back({p, std::max<std::int64_t>(0, near), static_cast<std::int64_t>(rng.below(3))});
    }
  }
  // A path at the start of the oldfile after one a little further on.
  for (int i = 0; i < 50; ++i) {
    const auto p = static_cast<std::int64_t>(rng.below(in.neu.size()));
    queries.push_back({p, static_cast<std::int64_t>(rng.below(2000)), 0});
    queries.push_back({p, 0, 0});
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
      // Each position's paths from one instance, the first path's running
      // position the cheapest arrival's.
      const auto near = [&]() {
        std::vector<Found> all;
        std::optional<OptimalCandidates> candidates;
        for (std::size_t i = 0; i < queries.size(); ++i) {
          const Query& query = queries[i];
          if (i == 0 || query.p != queries[i - 1].p) {
            candidates.emplace(s, index, mode);
            candidates->at(query.p, query.running);
          }
          Found& found = all.emplace_back();
          for (const OptimalCandidate& c : candidates->for_path(query.p, query.running, query.dataLength))
            found.emplace_back(c.position, c.length);
        }
        return all;
      };
      const std::vector<Found> read = near();
      ASSERT_EQ(index.old_lists_if_built(), nullptr);
      index.old_lists_as_searched();
      EXPECT_EQ(read, near());
    });
  }
}

}  // namespace
}  // namespace vd
