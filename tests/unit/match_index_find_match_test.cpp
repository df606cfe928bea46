#include "maker/match_index.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "maker/match_cost.h"
#include "support/faithful_walk.h"
#include "support/maker_harness.h"
#include "support/test_support.h"

namespace vd {
namespace {

using test::AllocRule;
using test::Bytes;
using test::bytes_of;
using test::concat;
using test::header;
using test::Indexed;
using test::kSortOld;

// ---- find_match ------------------------------------------------------------

const AllocRule kLevels[] = {test::refuse_nothing(), test::refuse_3d(), test::refuse_3d_and_2d()};

TEST(FindMatch, EqualGainLowestOldfilePositionWins) {
  for (const AllocRule& level : kLevels) {
    Indexed indexed(bytes_of("ABCDEFG0123ABCDEFG9"), bytes_of("ABCDEFG"), {}, 3, level);
    const auto match = indexed.index.find_match(1, 0);
    ASSERT_TRUE(match.has_value());
    EXPECT_EQ(match->position, 0);
    EXPECT_EQ(match->length, 7);
    EXPECT_EQ(match->cost, 2);
  }
}

TEST(FindMatch, ALongerLaterCandidateWins) {
  for (const AllocRule& level : kLevels) {
    Indexed indexed(bytes_of("ABCDEF01ABCDEFG9"), bytes_of("ABCDEFG"), {}, 3, level);
    const auto match = indexed.index.find_match(1, 0);
    ASSERT_TRUE(match.has_value());
    EXPECT_EQ(match->position, 8);
    EXPECT_EQ(match->length, 7);
  }
}

TEST(FindMatch, OldfileBeatsAnEquallyGoodPatchFileCandidate) {
  // MODE 1 at R = 0: the oldfile candidate costs 1 + 1, the patch file one
  // 7 - 1 - 2 - 2.
  Indexed equal(bytes_of("ABCDEFGxxxxx"), bytes_of("ABCDEFG"), concat({header(), bytes_of("ABCDEFGyy")}));
  auto match = equal.index.find_match(1, 0);
  ASSERT_TRUE(match.has_value());
  EXPECT_EQ(match->position, 0);

  Indexed longer(bytes_of("ABCDEFGxxxxx"), bytes_of("ABCDEFGH"), concat({header(), bytes_of("ABCDEFGHyy")}));
  match = longer.index.find_match(1, 0);
  ASSERT_TRUE(match.has_value());
  EXPECT_EQ(match->position, 12 + 12);  // oldSize + offset 12
  EXPECT_EQ(match->length, 8);
  EXPECT_EQ(match->cost, 2);
}

TEST(FindMatch, PatchFileHeaderIsNeverIndexedAndMatchesEndWithTheFile) {
  Indexed inHeader(bytes_of("qqqq"), bytes_of("VLM3xyz"), concat({bytes_of("VLM3xyz"), Bytes(5, 0), bytes_of("zz")}),
                   0);
  EXPECT_FALSE(inHeader.index.find_match(1, 0).has_value());

  Indexed atEnd(bytes_of("qqqq"), bytes_of("ABCDEFGH"), concat({header(), bytes_of("ABCDE")}), 0);
  const auto match = atEnd.index.find_match(1, 0);
  ASSERT_TRUE(match.has_value());
  EXPECT_EQ(match->position, 4 + 12);
  EXPECT_EQ(match->length, 5);
}

TEST(FindMatch, OldfileCandidatesEndWithTheOldfile) {
  Indexed indexed(bytes_of("xxABCDE"), bytes_of("ABCDEFGH"), concat({header(), bytes_of("FGH")}), 0);
  const auto match = indexed.index.find_match(1, 0);
  ASSERT_TRUE(match.has_value());
  EXPECT_EQ(match->position, 2);
  EXPECT_EQ(match->length, 5);
}

TEST(FindMatch, LengthLimitOfEachMode) {
  const Bytes data = test::Rng(11).bytes(20000);
  const std::int64_t expected[] = {0, 20000, 16383, 8224, 20000};
  for (int mode = 1; mode <= 4; ++mode) {
    Indexed indexed(data, data);
    const auto match = indexed.index.find_match(mode, 0);
    ASSERT_TRUE(match.has_value());
    EXPECT_EQ(match->length, expected[mode]) << "MODE " << mode;
    EXPECT_EQ(match->position, 0);
  }
}

TEST(FindMatch, ChainStopsAtTheLengthLimitButThePatchFileIsStillSearched) {
  test::Rng rng(12);
  const Bytes block = rng.bytes(8300);
  const Bytes old = concat({block, rng.bytes(2000), block});
  // The first candidate reaches the limit of MODE 3, so the cheaper one at
  // the running position is not examined.
  Indexed oldOnly(old, block);
  oldOnly.index.state.running = 10300;
  auto match = oldOnly.index.find_match(3, 0);
  ASSERT_TRUE(match.has_value());
  EXPECT_EQ(match->position, 0);
  EXPECT_EQ(match->length, 8224);
  EXPECT_EQ(match->cost, 2 + 5 + 3);

  // A patch file candidate at the running position is still examined and wins.
  Indexed withPatch(old, block, concat({header(), block}));
  withPatch.index.state.running = static_cast<std::int64_t>(old.size()) + 12;
  match = withPatch.index.find_match(3, 0);
  ASSERT_TRUE(match.has_value());
  EXPECT_EQ(match->position, static_cast<std::int64_t>(old.size()) + 12);
  EXPECT_EQ(match->cost, 3);
}

TEST(FindMatch, GainMustReachMinBlock) {
  const Bytes old = bytes_of("ABCDEFGHIJ");
  // MODE 1 at R: cost 2, so 3 and 4 bytes fall short of minBlock 3.
  EXPECT_FALSE(Indexed(old, bytes_of("ABCxxxx")).index.find_match(1, 0).has_value());
  EXPECT_FALSE(Indexed(old, bytes_of("ABCDxxx")).index.find_match(1, 0).has_value());
  EXPECT_TRUE(Indexed(old, bytes_of("ABCDExx")).index.find_match(1, 0).has_value());
  EXPECT_TRUE(Indexed(old, bytes_of("ABCxxxx"), {}, 0).index.find_match(1, 0).has_value());
  EXPECT_TRUE(Indexed(old, bytes_of("ABCDxxx"), {}, 2).index.find_match(1, 0).has_value());
  EXPECT_FALSE(Indexed(old, bytes_of("ABCDExx"), {}, 4).index.find_match(1, 0).has_value());
}

TEST(FindMatch, MemoReturnsTheRememberedMatchAfterTheRunningPositionMoved) {
  Indexed indexed(bytes_of("ABCDEFGHIJ"), bytes_of("ABCDEFGHzz"));
  const auto first = indexed.index.find_match(1, 0);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->cost, 2);
  // Searches that report nothing leave the memo alone.
  EXPECT_FALSE(indexed.index.find_match(1, 8).has_value());
  EXPECT_FALSE(indexed.index.find_match(1, 5).has_value());  // "FGH": gain 1
  indexed.index.state.running = 5000;
  indexed.index.state.replacePosition = 77;
  const auto again = indexed.index.find_match(1, 0);
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(again->position, first->position);
  EXPECT_EQ(again->length, first->length);
  EXPECT_EQ(again->cost, 2);
  // Searched afresh, the same candidate is estimated from the new running position.
  indexed.index.reset_match_memo();
  const auto fresh = indexed.index.find_match(1, 0);
  ASSERT_TRUE(fresh.has_value());
  EXPECT_EQ(fresh->cost, 4);
}

TEST(FindMatch, AMatchAtAnotherPositionReplacesTheMemo) {
  Indexed indexed(bytes_of("ABCDEFGHIJ"), bytes_of("ABCDEFGHzz"), {}, 0);
  ASSERT_TRUE(indexed.index.find_match(1, 0).has_value());
  ASSERT_TRUE(indexed.index.find_match(1, 1).has_value());
  indexed.index.state.running = 5000;
  const auto again = indexed.index.find_match(1, 0);
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(again->cost, 4);
}

TEST(FindMatch, FewerThanThreeBytesLeftNeverMatch) {
  for (const AllocRule& level : kLevels) {
    Indexed indexed(bytes_of("ABCDE"), bytes_of("ABCDE"), {}, 0, level);
    const auto match = indexed.index.find_match(1, 2);
    ASSERT_TRUE(match.has_value());
    EXPECT_EQ(match->length, 3);
    EXPECT_FALSE(indexed.index.find_match(1, 3).has_value());
    EXPECT_FALSE(indexed.index.find_match(1, 4).has_value());
    EXPECT_FALSE(indexed.index.find_match(1, 5).has_value());
  }
}

TEST(FindMatch, NoAgreeingBytesNeverGiveAnEmptyMatch) {
  for (const AllocRule& level : kLevels) {
    for (int mode = 1; mode <= 4; ++mode) {
      Indexed disjoint(bytes_of("abcabcabc"), bytes_of("XYZXYZXYZ"), {}, 0, level);
      Indexed shortRuns(bytes_of("ABxABxACx"), bytes_of("ABzABzACz"), {}, 0, level);
      for (std::int64_t p = 0; p < 9; ++p) {
        EXPECT_FALSE(disjoint.index.find_match(mode, p).has_value());
        EXPECT_FALSE(shortRuns.index.find_match(mode, p).has_value());
      }
    }
  }
}

TEST(FindMatch, OldfileOfOneOrTwoBytesHasNoIndexedPositions) {
  for (const AllocRule& level : kLevels) {
    Indexed two(bytes_of("AB"), bytes_of("ABABAB"), {}, 0, level);
    Indexed one(bytes_of("A"), bytes_of("AAAAAA"), {}, 0, level);
    for (std::int64_t p = 0; p < 6; ++p) {
      EXPECT_FALSE(two.index.find_match(1, p).has_value());
      EXPECT_FALSE(one.index.find_match(3, p).has_value());
    }
  }
}

using test::agrees_with_faithful_walk;

TEST(FindMatch, AgreesWithAnExhaustiveSearchAtEveryLevel) {
  test::Rng rng(13);
  for (int round = 0; round < 3; ++round) {
    // A small alphabet gives many candidates per key.
    const Bytes old = rng.bytes(1000, 'a', 'd');
    Bytes neu = rng.bytes(400, 'a', 'd');
    std::copy(old.begin() + 200, old.begin() + 300, neu.begin() + 50);
    const Bytes patch = concat({header(), rng.bytes(300, 'a', 'd')});
    for (const AllocRule& level : kLevels) {
      for (int mode = 1; mode <= 4; ++mode) {
        Indexed indexed(old, neu, patch, 3, level);
        for (std::int64_t p = 0; p <= static_cast<std::int64_t>(neu.size()); ++p) {
          indexed.index.state.running = static_cast<std::int64_t>(rng.below(1500));
          indexed.index.state.replacePosition = static_cast<std::int64_t>(rng.below(1500));
          ASSERT_TRUE(agrees_with_faithful_walk(indexed, mode, p));
        }
      }
    }
  }
}

// Inputs where the search's shortcuts matter: long runs of one byte (chains
// of thousands of equal keys, matches up to the length limit in the oldfile
// and in the patch file), a short period, and text; several minimal block
// sizes, so that best candidates of low and negative gain occur; all three
// list levels; running and replace positions anywhere, so that candidates
// fall in every price tier.
TEST(FindMatch, AgreesWithTheFaithfulWalkOnRunsPeriodsAndText) {
  test::Rng rng(29);
  const auto with_runs = [&](std::size_t size) {
    Bytes data(size, 0);
    for (std::size_t i = 0; i < size / 500; ++i) data[rng.below(size)] = static_cast<std::uint8_t>(rng.next());
    return data;
  };
  const auto periodic = [&](std::size_t size) {
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>("\x12\x34\x56\x78"[i % 4]);
    for (int i = 0; i < 20; ++i) data[rng.below(size)] = static_cast<std::uint8_t>(rng.next());
    return data;
  };
  const auto text = [&](std::size_t size) { return rng.bytes(size, 'a', 'e'); };
  for (const auto& make : {std::function<Bytes(std::size_t)>(with_runs), std::function<Bytes(std::size_t)>(periodic),
                           std::function<Bytes(std::size_t)>(text)}) {
    const Bytes old = make(20000);
    const Bytes neu = make(18000);
    const Bytes patch = concat({header(), make(17000)});
    for (int minBlock : {0, 3, 5}) {
      for (int mode = 1; mode <= 4; ++mode) {
        Indexed indexed(old, neu, patch, minBlock, kLevels[(minBlock + mode) % 3]);
        for (int sample = 0; sample < 40; ++sample) {
          const auto p = static_cast<std::int64_t>(rng.below(neu.size() + 1));
          indexed.index.state.running = static_cast<std::int64_t>(rng.below(40000));
          indexed.index.state.replacePosition = static_cast<std::int64_t>(rng.below(40000));
          ASSERT_TRUE(agrees_with_faithful_walk(indexed, mode, p));
        }
      }
    }
  }
}

// Files built like machine code: a few hundred short byte sequences of very
// unequal frequency, with padding runs, so that common keys have chains of
// thousands of positions, split by every price change, where only a few
// positions, or very many, agree for the length a candidate needs. The
// newfile is the oldfile with blocks moved, changed and inserted.
Bytes code_like(test::Rng& rng, std::size_t size) {
  std::vector<Bytes> words;
  for (int i = 0; i < 300; ++i) words.push_back(rng.bytes(2 + rng.below(5)));
  Bytes data;
  while (data.size() < size) {
    const std::uint64_t pick = rng.below(1000);
    if (pick < 10) {
      data.insert(data.end(), 8 + rng.below(60), 0);
      continue;
    }
    // Squaring makes the first words far more common than the last.
    const Bytes& word = words[static_cast<std::size_t>(pick * pick / 1000 * words.size() / 1000)];
    data.insert(data.end(), word.begin(), word.end());
  }
  data.resize(size);
  return data;
}

Bytes edited(test::Rng& rng, const Bytes& old) {
  Bytes neu;
  while (neu.size() < old.size()) {
    const std::size_t from = rng.below(old.size() - 2000);
    const std::size_t length = 200 + rng.below(1800);
    neu.insert(neu.end(), old.begin() + static_cast<long>(from), old.begin() + static_cast<long>(from + length));
    const Bytes fresh = rng.bytes(rng.below(40));
    neu.insert(neu.end(), fresh.begin(), fresh.end());
  }
  return neu;
}

TEST(FindMatch, AgreesWithTheFaithfulWalkOnCodeLikeFiles) {
  test::Rng rng(47);
  const Bytes old = code_like(rng, 120000);
  const Bytes neu = edited(rng, old);
  const Bytes patch = concat({header(), edited(rng, old)});
  for (int mode = 1; mode <= 4; ++mode) {
    for (const int minBlock : {0, 4}) {
      Indexed indexed(old, neu, patch, minBlock, kLevels[(minBlock + mode) % 3]);
      for (int sample = 0; sample < 60; ++sample) {
        const auto p = static_cast<std::int64_t>(rng.below(neu.size() + 1));
        // Running positions near the candidates as often as far from them.
        indexed.index.state.running = static_cast<std::int64_t>(rng.below(sample % 2 ? 130000 : 300000));
        indexed.index.state.replacePosition = static_cast<std::int64_t>(rng.below(130000));
        ASSERT_TRUE(agrees_with_faithful_walk(indexed, mode, p));
      }
    }
  }
}

// Runs of a few byte values, 1 to 12 bytes long, each followed by one of a
// few other bytes, as padding and tables are in executables; the search
// starts where the newfile has a run of 3 bytes or more, so that chains of
// runs are walked through the run index, and runs exactly as long as the
// newfile's, or as the length needed, are common.
TEST(FindMatch, AgreesWithTheFaithfulWalkOnManyShortRuns) {
  test::Rng rng(67);
  const auto runs = [&](std::size_t size) {
    Bytes data;
    while (data.size() < size) {
      data.insert(data.end(), 1 + rng.below(12), static_cast<std::uint8_t>("\x00\xff\x90"[rng.below(3)]));
      data.push_back(static_cast<std::uint8_t>(1 + rng.below(3)));
    }
    data.resize(size);
    return data;
  };
  const Bytes old = runs(40000);
  const Bytes neu = runs(20000);
  const Bytes patch = concat({header(), runs(5000)});
  for (int mode = 1; mode <= 4; ++mode) {
    for (const int minBlock : {0, 6}) {
      Indexed indexed(old, neu, patch, minBlock, kLevels[(minBlock + mode) % 3]);
      for (int sample = 0; sample < 150; ++sample) {
        auto p = static_cast<std::int64_t>(rng.below(neu.size() - 3));
        while (p + 3 < static_cast<std::int64_t>(neu.size()) && !(neu[p] == neu[p + 1] && neu[p] == neu[p + 2])) ++p;
        indexed.index.state.running = static_cast<std::int64_t>(rng.below(sample % 2 ? 45000 : 100000));
        indexed.index.state.replacePosition = static_cast<std::int64_t>(rng.below(45000));
        ASSERT_TRUE(agrees_with_faithful_walk(indexed, mode, p));
      }
    }
  }
}

// A newfile that ends in a short pattern repeated fewer than 64 times: the
// search looks at no byte past the newfile's end (the sanitized build checks
// that), and still finds what the faithful walk finds.
TEST(FindMatch, APatternThatRunsToTheEndOfTheNewfileIsReadNoFurther) {
  test::Rng rng(61);
  Bytes pattern;
  for (int i = 0; i < 20; ++i) pattern.insert(pattern.end(), {0x12, 0x34, 0x56});
  const Bytes old = concat({rng.bytes(500), pattern, pattern, rng.bytes(100)});
  const Bytes neu = concat({rng.bytes(300), pattern});
  for (int mode = 1; mode <= 4; ++mode) {
    Indexed indexed(old, neu, {}, 0, test::refuse_nothing());
    for (std::int64_t p = 300; p <= static_cast<std::int64_t>(neu.size()); ++p) {
      ASSERT_TRUE(agrees_with_faithful_walk(indexed, mode, p));
    }
  }
}

// A run in the oldfile longer than the newfile's: its candidates are as long
// as the newfile's run until the oldfile's run has fewer bytes left, then one
// shorter each. Where that crosses the end of a length tier, a shorter, later
// candidate gains more (MODE 1: 127 bytes gain 2 more than 128; MODE 4: 63
// bytes more than 64), so it, not the first, is the best.
TEST(FindMatch, InsideARunAShorterCandidateBelowALengthTierWins) {
  test::Rng rng(37);
  const Bytes old = concat({Bytes(300, 0), rng.bytes(200, 1, 255)});
  for (int mode = 1; mode <= 4; ++mode) {
    for (std::size_t targetRun = 20; targetRun <= 140; ++targetRun) {
      const Bytes neu = concat({Bytes(targetRun, 0), bytes_of("X"), rng.bytes(50, 1, 255)});
      Indexed indexed(old, neu, {}, 0, test::refuse_nothing());
      const auto expected = reference_find_match(indexed.files, indexed.index.state, mode, 0);
      const auto actual = indexed.index.find_match(mode, 0);
      ASSERT_TRUE(expected.has_value());
      ASSERT_TRUE(actual.has_value());
      ASSERT_EQ(actual->position, expected->position) << "MODE " << mode << " run " << targetRun;
      ASSERT_EQ(actual->length, expected->length) << "MODE " << mode << " run " << targetRun;
    }
  }
  // The case worked by hand: MODE 1, 128 zeros; positions 0 to 252 all cost
  // 1 for the position. Position 0 gives 128 bytes for 3 + 1; position 173,
  // the first with 127 zeros left, gives 127 bytes for 1 + 1.
  const Bytes neu = concat({Bytes(128, 0), bytes_of("X")});
  Indexed indexed(old, neu, {}, 0, test::refuse_nothing());
  const auto match = indexed.index.find_match(1, 0);
  ASSERT_TRUE(match.has_value());
  EXPECT_EQ(match->position, 173);
  EXPECT_EQ(match->length, 127);
}

// The oldfile gives a match of the full MODE 3 length far away; the patch
// file's walk then ends after its first candidate (5 bytes), even though a
// later one of full length lies right at the running position and would
// code cheaper.
TEST(FindMatch, AFullLengthBestEndsThePatchWalkAfterItsFirstCandidate) {
  test::Rng rng(31);
  const Bytes wanted = rng.bytes(9000);
  const Bytes old = concat({rng.bytes(40000, 'a', 'z'), wanted});
  const Bytes patch = concat({header(), Bytes(wanted.begin(), wanted.begin() + 5), bytes_of("zzz"), wanted});
  Indexed indexed(old, wanted, patch, 3, test::refuse_nothing());
  indexed.index.state.running = static_cast<std::int64_t>(old.size()) + 12 + 8;
  const auto expected = reference_find_match(indexed.files, indexed.index.state, 3, 0);
  const auto actual = indexed.index.find_match(3, 0);
  ASSERT_TRUE(expected.has_value());
  ASSERT_TRUE(actual.has_value());
  EXPECT_EQ(expected->position, 40000);
  EXPECT_EQ(actual->position, 40000);
  EXPECT_EQ(actual->length, 8224);
}

TEST(FindMatch, RebuildingTheOldIndexFollowsChangedBytes) {
  Indexed indexed(bytes_of("xxxxxxxxxx"), bytes_of("ABCDEFGH"), {}, 3);
  EXPECT_FALSE(indexed.index.find_match(1, 0).has_value());
  std::copy_n("ABCDEFGH", 8, indexed.files.session.oldData + 2);
  testing::internal::CaptureStdout();
  indexed.index.build_old_index("old");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), kSortOld);
  const auto match = indexed.index.find_match(1, 0);
  ASSERT_TRUE(match.has_value());
  EXPECT_EQ(match->position, 2);
  EXPECT_EQ(match->length, 8);
}

// The optimizer transforms the oldfile and may restore it before any search:
// each state announces its lists, and the search sees the bytes as they are
// when it runs, whichever states came between.
TEST(FindMatch, TheSearchFollowsTheLastAnnouncedBytes) {
  Indexed indexed(bytes_of("xxABCDEFGHxx"), bytes_of("ABCDEFGH"), {}, 3);
  testing::internal::CaptureStdout();
  std::copy_n("QRSTUVWX", 8, indexed.files.session.oldData + 2);
  indexed.index.build_old_index("old");
  std::copy_n("ABCDEFGH", 8, indexed.files.session.oldData + 4);
  indexed.index.build_old_index("old");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), kSortOld + kSortOld);
  const auto match = indexed.index.find_match(1, 0);
  ASSERT_TRUE(match.has_value());
  EXPECT_EQ(match->position, 4);
  EXPECT_EQ(match->length, 8);
}

}  // namespace
}  // namespace vd
