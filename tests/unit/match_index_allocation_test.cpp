#include "maker/match_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/faithful_walk.h"
#include "support/maker_harness.h"
#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;
using test::concat;
using test::header;
using test::Indexed;
using test::k1DBuckets;
using test::k2DBuckets;
using test::k3DBuckets;
using test::kSortOld;
using test::kSortPatch;

int count_requests(std::size_t count) {
  const auto& requests = test::alloc_requests();
  return static_cast<int>(std::count_if(requests.begin(), requests.end(),
                                        [&](const auto& request) { return request.first == count; }));
}

// ---- allocation and notes --------------------------------------------------

TEST(MatchIndexAllocation, EveryLevelAvailablePrintsOnlyTheSortingLines) {
  Indexed indexed(Bytes(100, 'a'), Bytes(10, 'a'), {}, 3, test::refuse_nothing());
  EXPECT_TRUE(indexed.hasLists);
  EXPECT_EQ(indexed.notes, kSortOld);
  const auto& requests = test::alloc_requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0], (std::pair<std::size_t, std::size_t>{100, 8}));
  EXPECT_EQ(requests[1], (std::pair<std::size_t, std::size_t>{k3DBuckets, 8}));
}

TEST(MatchIndexAllocation, OldfileFallsBackTo2DLists) {
  Indexed indexed(Bytes(100, 'a'), Bytes(10, 'a'), {}, 3, test::refuse_3d());
  EXPECT_TRUE(indexed.hasLists);
  EXPECT_EQ(indexed.notes, "Not enough memory for 3D lists - using 2D list search.\n" + kSortOld);
}

TEST(MatchIndexAllocation, Mem128NeverAsksForTheOldfile3DTable) {
  Indexed indexed(Bytes(100, 'a'), Bytes(10, 'a'), {}, 3, test::refuse_nothing(), true, false);
  EXPECT_EQ(indexed.notes, "mem128 - using 2D list search.\n" + kSortOld);
  EXPECT_EQ(count_requests(k3DBuckets), 0);
  EXPECT_EQ(count_requests(k2DBuckets), 1);
}

TEST(MatchIndexAllocation, OldfileFallsBackToSimpleLists) {
  Indexed indexed(Bytes(100, 'a'), Bytes(10, 'a'), {}, 3, test::refuse_3d_and_2d());
  EXPECT_TRUE(indexed.hasLists);
  EXPECT_EQ(indexed.notes, "Not enough memory for 2D lists - using simple list search.\n" + kSortOld);
}

TEST(MatchIndexAllocation, NoTableForTheOldfileMeansLinearSearch) {
  Indexed indexed(Bytes(100, 'a'), Bytes(10, 'a'), {}, 3, [](std::size_t count, std::size_t, int) {
    return count == k3DBuckets || count == k2DBuckets || count == k1DBuckets;
  });
  EXPECT_FALSE(indexed.hasLists);
  EXPECT_EQ(indexed.notes, "Not enough memory for lists - using mode 3 and linear search.\n");
}

TEST(MatchIndexAllocation, NoNodesForTheOldfileMeansNoTableIsTried) {
  Indexed indexed(Bytes(100, 'a'), Bytes(10, 'a'), {}, 3,
                  [](std::size_t count, std::size_t, int) { return count == 100; });
  EXPECT_FALSE(indexed.hasLists);
  EXPECT_EQ(indexed.notes, "Not enough memory for lists - using mode 3 and linear search.\n");
  EXPECT_EQ(count_requests(k3DBuckets) + count_requests(k2DBuckets) + count_requests(k1DBuckets), 0);
}

TEST(MatchIndexAllocation, EmptyOldfileGetsNoLevel) {
  Indexed indexed(Bytes{}, Bytes(10, 'a'), {}, 3, test::refuse_nothing());
  EXPECT_FALSE(indexed.hasLists);
  EXPECT_EQ(indexed.notes, "Not enough memory for lists - using mode 3 and linear search.\n");
}

TEST(MatchIndexAllocation, PatchFileNodesCountFromOffset12) {
  Indexed indexed(Bytes(100, 'a'), Bytes(10, 'a'), concat({header(), Bytes(50, 'p')}), 3, test::refuse_3d());
  EXPECT_EQ(count_requests(50), 1);
  EXPECT_EQ(count_requests(62), 0);
  // Both on 2D lists: the oldfile's note says it all.
  EXPECT_EQ(indexed.notes, "Not enough memory for 3D lists - using 2D list search.\n" + kSortOld + kSortPatch);
}

TEST(MatchIndexAllocation, NewPatchFileAsksForNoPatchLists) {
  Indexed indexed(Bytes(100, 'a'), Bytes(10, 'a'), {}, 3, test::refuse_3d());
  EXPECT_EQ(test::alloc_requests().size(), 3u);  // nodes, 3D, 2D
}

TEST(MatchIndexAllocation, PatchFileFallsBackTo2DListsAlone) {
  Indexed indexed(Bytes(100, 'a'), Bytes(10, 'a'), concat({header(), Bytes(50, 'p')}), 3,
                  [](std::size_t count, std::size_t, int earlier) { return count == k3DBuckets && earlier == 1; });
  EXPECT_EQ(indexed.notes, "Not enough memory for 3D lists - using 2D list search for patchfile.\n" + kSortOld + kSortPatch);
}

TEST(MatchIndexAllocation, Mem256KeepsThePatchFileFrom3DLists) {
  Indexed indexed(Bytes(100, 'a'), Bytes(10, 'a'), concat({header(), Bytes(50, 'p')}), 3, test::refuse_nothing(),
                  false, true);
  EXPECT_EQ(count_requests(k3DBuckets), 1);
  EXPECT_EQ(indexed.notes, "mem256 - using 2D list search for patchfile.\n" + kSortOld + kSortPatch);
}

TEST(MatchIndexAllocation, Mem128DoesNotKeepThePatchFileFrom3DLists) {
  Indexed indexed(Bytes(100, 'a'), Bytes(10, 'a'), concat({header(), Bytes(50, 'p')}), 3, test::refuse_nothing(),
                  true, false);
  EXPECT_EQ(count_requests(k3DBuckets), 1);
  const auto& requests = test::alloc_requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back().first, k3DBuckets);  // asked for the patch file, after its nodes
  EXPECT_EQ(indexed.notes, "mem128 - using 2D list search.\n" + kSortOld + kSortPatch);
}

TEST(MatchIndexAllocation, BothKeywordsBothOn2DListsOneNote) {
  Indexed indexed(Bytes(100, 'a'), Bytes(10, 'a'), concat({header(), Bytes(50, 'p')}), 3, test::refuse_nothing(),
                  true, true);
  EXPECT_EQ(count_requests(k3DBuckets), 0);
  EXPECT_EQ(indexed.notes, "mem128 - using 2D list search.\n" + kSortOld + kSortPatch);
}

TEST(MatchIndexAllocation, PatchFileOnSimpleListsWhileTheOldfileHas2D) {
  // The oldfile is refused 3D; the patch file is refused 3D and 2D.
  Indexed indexed(Bytes(100, 'a'), Bytes(10, 'a'), concat({header(), Bytes(50, 'p')}), 3,
                  [](std::size_t count, std::size_t, int earlier) {
                    return count == k3DBuckets || (count == k2DBuckets && earlier == 1);
                  });
  EXPECT_EQ(indexed.notes, "Not enough memory for 3D lists - using 2D list search.\n"
                           "Not enough memory for patchfile 2D lists - using\nsimple list search.\n" +
                               kSortOld + kSortPatch);
}

TEST(MatchIndexAllocation, BothOnSimpleListsOneNote) {
  Indexed indexed(Bytes(100, 'a'), Bytes(10, 'a'), concat({header(), Bytes(50, 'p')}), 3, test::refuse_3d_and_2d());
  EXPECT_EQ(indexed.notes, "Not enough memory for 2D lists - using simple list search.\n" + kSortOld + kSortPatch);
}

TEST(MatchIndexAllocation, PatchFileWithoutListsWhileTheOldfileHasThem) {
  Indexed indexed(Bytes(100, 'a'), Bytes(10, 'a'), concat({header(), Bytes(50, 'p')}), 3,
                  [](std::size_t count, std::size_t, int) { return count == 50 || count == k3DBuckets; });
  EXPECT_EQ(indexed.notes, "Not enough memory for 3D lists - using 2D list search.\n"
                           "Not enough memory for patchfile lists - searching only in oldfile.\n" + kSortOld);
}

TEST(MatchIndexAllocation, PatchFileOfTwelveBytesGetsNoLists) {
  Indexed indexed(Bytes(100, 'a'), Bytes(10, 'a'), header(), 3, test::refuse_3d());
  EXPECT_EQ(indexed.notes, "Not enough memory for 3D lists - using 2D list search.\n"
                           "Not enough memory for patchfile lists - searching only in oldfile.\n" + kSortOld);
}

TEST(MatchIndexAllocation, NeitherFileWithListsOneNote) {
  Indexed indexed(Bytes{}, Bytes(10, 'a'), header(), 3, test::refuse_3d());
  EXPECT_FALSE(indexed.hasLists);
  EXPECT_EQ(indexed.notes, "Not enough memory for lists - using mode 3 and linear search.\n");
}

}  // namespace
}  // namespace vd
