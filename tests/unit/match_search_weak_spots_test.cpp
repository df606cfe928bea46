// Inputs aimed at the weak spot of each shortcut of the match search, each
// checked against the faithful walk: many candidates of equal gain, long
// stretches of one price, near-periodic code, runs broken every few bytes,
// and candidates of full length that are not the strongest.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "maker/match_cost.h"
#include "support/faithful_walk.h"
#include "support/maker_harness.h"

namespace vd {
namespace {

using test::Bytes;
using test::concat;

const test::AllocRule kLevels[] = {test::refuse_nothing(), test::refuse_3d(), test::refuse_3d_and_2d()};
// The oldfile's suffixes sorted at the first search, part of the way
// through, or never.
constexpr std::int64_t kUnsortedWork[] = {0, 300, INT64_MAX};
// The oldfile's lists built at the first search, or only for the first
// search that the samplings of the oldfile cannot serve.
constexpr std::int64_t kUnlistedWork[] = {0, INT64_MAX};

// Searches at `samples` positions chosen by `pick`, in every MODE, at every
// list level, with running positions up to `farthest`: far beyond the files
// every candidate stands in one stretch of one price.
template <typename Pick>
void expect_faithful(const Bytes& old, const Bytes& neu, const Bytes& patch, int samples, std::int64_t farthest,
                     Pick pick) {
  test::Rng rng(static_cast<std::uint64_t>(old.size() + neu.size()));
  for (int mode = 1; mode <= 4; ++mode) {
    for (const int minBlock : {0, 3, 5}) {
      test::Indexed indexed(old, neu, patch, minBlock, kLevels[(mode + minBlock) % 3]);
      indexed.index.limit_unsorted_work(kUnsortedWork[(mode + minBlock / 3) % 3]);
      indexed.index.limit_unlisted_work(kUnlistedWork[(mode + minBlock) % 2]);
      for (int sample = 0; sample < samples; ++sample) {
        const std::int64_t p = pick(rng);
        indexed.index.state.running = static_cast<std::int64_t>(rng.below(static_cast<std::uint64_t>(farthest)));
        indexed.index.state.replacePosition = static_cast<std::int64_t>(rng.below(old.size()));
        ASSERT_TRUE(test::agrees_with_faithful_walk(indexed, mode, p));
      }
    }
  }
}

// Hundreds of copies of one word, some cut short at every length: every
// copy gains the same, and the first must win, against every price.
TEST(FindMatchWeakSpots, ManyCandidatesOfEqualGain) {
  test::Rng rng(101);
  const Bytes word = rng.bytes(48);
  Bytes old;
  for (int copy = 0; copy < 400; ++copy) {
    const std::size_t kept = copy % 3 == 0 ? 3 + rng.below(word.size() - 3) : word.size();
    old.insert(old.end(), word.begin(), word.begin() + static_cast<long>(kept));
    const Bytes gap = rng.bytes(1 + rng.below(30));
    old.insert(old.end(), gap.begin(), gap.end());
  }
  const Bytes neu = concat({rng.bytes(100), word, rng.bytes(50), word, rng.bytes(10)});
  const Bytes patch = concat({test::header(), word, rng.bytes(200), word});
  const auto pick = [&](test::Rng& r) { return static_cast<std::int64_t>(r.below(neu.size())); };
  expect_faithful(old, neu, patch, 60, static_cast<std::int64_t>(old.size()) * 3, pick);
}

// Runs of zeros 1 to 6 bytes long, each broken by one of three bytes, as in
// tables and padding: the newfile's run is often exactly as long as the key,
// and the chain of a key of zeros holds every position of every run.
TEST(FindMatchWeakSpots, RunsBrokenEveryFewBytes) {
  test::Rng rng(103);
  const auto broken_runs = [&](std::size_t size) {
    Bytes data;
    while (data.size() < size) {
      data.insert(data.end(), 1 + rng.below(6), 0);
      data.push_back(static_cast<std::uint8_t>(1 + rng.below(3)));
    }
    data.resize(size);
    return data;
  };
  const Bytes old = broken_runs(30000);
  const Bytes neu = broken_runs(8000);
  const Bytes patch = concat({test::header(), broken_runs(3000)});
  const auto pick = [&](test::Rng& r) { return static_cast<std::int64_t>(r.below(neu.size())); };
  expect_faithful(old, neu, patch, 80, 200000, pick);
}

// Long runs of zeros with a byte changed here and there, as in zeroed tables
// and images: before the suffixes are sorted, the walk visits the runs one
// by one until the run index pays, then goes from long run to long run. The
// changed bytes take two values, so the byte after a run often agrees.
TEST(FindMatchWeakSpots, LongRunsWithScatteredChanges) {
  test::Rng rng(137);
  const auto scattered = [&](std::size_t size, int changes) {
    Bytes data(size, 0);
    for (int i = 0; i < changes; ++i) data[rng.below(size)] = static_cast<std::uint8_t>(1 + rng.below(2));
    return data;
  };
  const Bytes old = scattered(20000, 40);
  const Bytes neu = scattered(6000, 12);
  const auto pick = [&](test::Rng& r) { return static_cast<std::int64_t>(r.below(neu.size())); };
  expect_faithful(old, neu, {}, 30, 60000, pick);
}

// A pattern of 4 to 8 bytes repeated, with a byte changed every 8 to 60
// bytes: repeats mostly shorter than the walk's pattern shortcut takes, so
// its chains are long and its candidates agree for nearly equal lengths.
TEST(FindMatchWeakSpots, NearPeriodicCode) {
  test::Rng rng(107);
  const auto near_periodic = [&](std::size_t size, std::size_t period) {
    const Bytes unit = rng.bytes(period);
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = unit[i % period];
    for (std::size_t i = rng.below(8); i < size; i += 8 + rng.below(53))
      data[i] = static_cast<std::uint8_t>(rng.below(4));
    return data;
  };
  for (const std::size_t period : {4u, 8u}) {
    const Bytes old = near_periodic(20000, period);
    const Bytes neu = near_periodic(6000, period);
    const auto pick = [&](test::Rng& r) { return static_cast<std::int64_t>(r.below(neu.size())); };
    expect_faithful(old, neu, {}, 50, 100000, pick);
  }
}

// Stretches of one pattern thousands of bytes long, each broken by a byte
// or two, in the oldfile and the patch file: every search visits the same
// stretches, whose ends the walks remember after the first visit.
TEST(FindMatchWeakSpots, LongPatternedStretches) {
  test::Rng rng(139);
  const Bytes unit = rng.bytes(8);
  const auto stretches = [&](std::size_t size, std::size_t period) {
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = unit[i % period];
    for (std::size_t i = rng.below(3000); i < size; i += 900 + rng.below(4000))
      data[i] = static_cast<std::uint8_t>(rng.below(4));
    return data;
  };
  for (const std::size_t period : {1u, 4u, 7u}) {
    const Bytes old = stretches(20000, period);
    const Bytes neu = stretches(6000, period);
    const Bytes patch = concat({test::header(), stretches(8000, period)});
    const auto pick = [&](test::Rng& r) { return static_cast<std::int64_t>(r.below(neu.size())); };
    expect_faithful(old, neu, patch, 10, 60000, pick);
  }
}

// A block longer than the MODE 3 and MODE 2 length limits, twice in the
// oldfile, starting with a key that a hundred other places share. With the
// running position just before the second copy, the second is cheaper; the
// walk still ends at the first, which reaches the length limit first.
TEST(FindMatchWeakSpots, AFullLengthCandidateEndsTheWalkBeforeACheaperOne) {
  test::Rng rng(109);
  const Bytes block = concat({Bytes{7, 7, 9}, rng.bytes(17000)});
  Bytes old;
  for (int i = 0; i < 100; ++i) old = concat({old, Bytes{7, 7, 9}, rng.bytes(40)});
  const std::int64_t second = static_cast<std::int64_t>(old.size() + block.size() + 500);
  old = concat({old, block, rng.bytes(500), block, rng.bytes(100)});
  const Bytes neu = concat({rng.bytes(20), block});
  for (const int mode : {2, 3}) {
    test::Indexed indexed(old, neu, {}, 3, test::refuse_nothing());
    for (const std::int64_t running : {second - 5, second, std::int64_t{0}}) {
      indexed.index.state.running = running;
      ASSERT_TRUE(test::agrees_with_faithful_walk(indexed, mode, 20));
      const auto found = indexed.index.find_match(mode, 20);
      ASSERT_TRUE(found.has_value());
      EXPECT_EQ(found->length, block_length_limit(mode));
      EXPECT_EQ(found->position, second - static_cast<std::int64_t>(block.size()) - 500);
    }
  }
}

// The patch file's header is never a candidate, even where it would be the
// file's strongest: the newfile starts with it, and a hundred records of the
// patch file start with its first bytes.
TEST(FindMatchWeakSpots, ThePatchFileHeaderNeverCounts) {
  test::Rng rng(113);
  const Bytes header = test::header();
  Bytes patch = header;
  for (int record = 0; record < 100; ++record) {
    const Bytes cut(header.begin(), header.begin() + 4 + record % 6);
    patch = concat({patch, cut, rng.bytes(30)});
  }
  const Bytes neu = concat({header, rng.bytes(40)});
  const Bytes old = rng.bytes(3000);
  const auto pick = [](test::Rng& r) { return static_cast<std::int64_t>(r.below(4)); };
  expect_faithful(old, neu, patch, 20, 10000, pick);
}

// A new build of a program: the oldfile with a few bytes changed every few
// hundred, as moved addresses do, and a byte or two inserted or dropped now
// and then, with an existing patch file that holds part of the oldfile.
test::EncodeInput rebuild_pair() {
  test::Rng rng(127);
  Bytes old;
  while (old.size() < 60000) {
    const Bytes word = rng.below(8) == 0 ? Bytes(4 + rng.below(40), 0) : rng.bytes(1 + rng.below(6), 0, 15);
    old.insert(old.end(), word.begin(), word.end());
  }
  Bytes neu;
  for (std::size_t at = 0; at < old.size();) {
    const std::size_t kept = std::min<std::size_t>(40 + rng.below(3000), old.size() - at);
    neu.insert(neu.end(), old.begin() + static_cast<long>(at), old.begin() + static_cast<long>(at + kept));
    at += kept;
    const Bytes changed = rng.bytes(1 + rng.below(4));
    neu.insert(neu.end(), changed.begin(), changed.end());
    at += changed.size() + rng.below(3) - 1;
  }
  test::EncodeInput input;
  input.old = old;
  input.neu = neu;
  input.patch = concat({test::header(), Bytes(old.begin() + 1000, old.begin() + 9000)});
  return input;
}

// The encoder's running positions then lead the search most of the time,
// and the oldfile's suffixes are not needed; every MODE must code the same
// stream whether they are sorted at once, part of the way through, or never.
TEST(FindMatchWeakSpots, ASearchWithoutTheSuffixesCodesWhatOneWithThemCodes) {
  const test::EncodeInput input = rebuild_pair();
  for (int mode = 1; mode <= 4; ++mode) {
    std::vector<Bytes> streams;
    for (const std::int64_t work : kUnsortedWork) {
      const auto coded = test::run_coder(mode, input, [&](MakerSession& s, MatchIndex& index, EncodeResult& r) {
        index.limit_unsorted_work(work);
        CarriedState carried;
        encode_mode(mode, s, index, r, carried, true);
      });
      streams.push_back(coded.stream);
    }
    EXPECT_EQ(streams[1], streams[0]) << "MODE " << mode;
    EXPECT_EQ(streams[2], streams[0]) << "MODE " << mode;
  }
}

// Before the lists are built, the positions of the cheapest price near the
// running position are measured one by one and the rest found by the
// samplings of the oldfile, which see only long agreements: candidates too
// short for them, at either end of that stretch and just beyond it.
TEST(FindMatchWeakSpots, ShortCandidatesAtTheEdgesOfTheNearStretchBeforeTheLists) {
  test::Rng rng(139);
  const Bytes old = rng.bytes(20000);
  Bytes neu;
  std::vector<std::pair<std::int64_t, std::int64_t>> probes;  // newfile position, running position
  for (const std::int64_t ahead : {-1, 0, 1, 2, 125, 126, 127, 128, 200}) {
    for (const std::size_t length : {4, 5, 6, 9, 12}) {
      const std::size_t at = 1000 + rng.below(15000);
      probes.emplace_back(static_cast<std::int64_t>(neu.size()), static_cast<std::int64_t>(at) - ahead);
      neu.insert(neu.end(), old.begin() + static_cast<long>(at), old.begin() + static_cast<long>(at + length));
      neu.push_back(static_cast<std::uint8_t>(old[at + length] ^ 0x80));
      const Bytes gap = rng.bytes(20);
      neu.insert(neu.end(), gap.begin(), gap.end());
    }
  }
  for (int mode = 1; mode <= 4; ++mode) {
    for (const int minBlock : {0, 3}) {
      test::Indexed indexed(old, neu, {}, minBlock, test::refuse_nothing());
      indexed.index.limit_unlisted_work(INT64_MAX);
      for (const auto& [p, running] : probes) {
        indexed.index.state.running = running;
        indexed.index.state.replacePosition = static_cast<std::int64_t>(rng.below(old.size()));
        ASSERT_TRUE(test::agrees_with_faithful_walk(indexed, mode, p)) << "MODE " << mode << " at " << p;
      }
    }
  }
}

// A new build of a large program: long stretches unchanged, so that MODE 3
// blocks reach their longest, between them padding, runs of zeros and
// copied functions, and a few bytes changed, inserted or dropped. Every
// MODE must code the same stream whether the oldfile's lists are built at
// the first search, after the work allowed by default, or only when a
// search needs them.
TEST(FindMatchWeakSpots, SearchesBeforeTheListsCodeWhatSearchesOverThemCode) {
  test::Rng rng(137);
  const Bytes padding = rng.bytes(16);
  test::EncodeInput input;
  while (input.old.size() < 120000) {
    const Bytes function = rng.bytes(20 + rng.below(600), 0, 63);
    for (int copy = 0; copy < (rng.below(5) == 0 ? 2 : 1); ++copy)
      input.old.insert(input.old.end(), function.begin(), function.end());
    for (std::uint64_t i = rng.below(5); i > 0; --i) input.old.insert(input.old.end(), padding.begin(), padding.end());
    if (rng.below(6) == 0) input.old.insert(input.old.end(), rng.below(400), 0);
  }
  for (std::size_t at = 0; at < input.old.size();) {
    const std::size_t kept = std::min<std::size_t>(2000 + rng.below(20000), input.old.size() - at);
    input.neu.insert(input.neu.end(), input.old.begin() + static_cast<long>(at),
                     input.old.begin() + static_cast<long>(at + kept));
    at += kept;
    const Bytes changed = rng.bytes(1 + rng.below(8));
    input.neu.insert(input.neu.end(), changed.begin(), changed.end());
    at += changed.size() + rng.below(3) - 1;
  }
  for (int mode = 1; mode <= 4; ++mode) {
    for (const int minBlock : {0, 3}) {
      std::vector<Bytes> streams;
      for (const std::int64_t work : {std::int64_t{0}, std::int64_t{-1}, INT64_MAX}) {
        const auto coded = test::run_coder(mode, input, [&](MakerSession& s, MatchIndex& index, EncodeResult& r) {
          if (work >= 0) index.limit_unlisted_work(work);
          s.minBlock = minBlock;
          CarriedState carried;
          encode_mode(mode, s, index, r, carried, true);
        });
        streams.push_back(coded.stream);
      }
      EXPECT_EQ(streams[1], streams[0]) << "MODE " << mode << ", minimal block " << minBlock;
      EXPECT_EQ(streams[2], streams[0]) << "MODE " << mode << ", minimal block " << minBlock;
    }
  }
}

// The passes of AUTO DEEP, each MODE at three minimal blocks, with the
// oldfile's bytes changed between two passes of one MODE: what
// each pass takes from the one before must leave every stream as a search
// from scratch codes it. A minimal block lower than the one before is
// among them: the searches before it left out what it may take. Streams of minimal blocks that differ part ways and
// meet again, so that a pass searches some positions from the same state as
// the pass before and others from another.
TEST(FindMatchWeakSpots, PassesThatReuseThePassBeforeCodeWhatFreshSearchesCode) {
  test::Rng rng(131);
  std::vector<Bytes> words;
  for (int i = 0; i < 300; ++i) words.push_back(rng.bytes(2 + rng.below(5), 'a', 'z'));
  test::EncodeInput input;
  while (input.old.size() < 40000) {
    const Bytes& word = words[rng.below(words.size())];
    input.old.insert(input.old.end(), word.begin(), word.end());
  }
  for (std::size_t at = 0; at + 200 < input.old.size(); at += 200) {
    const std::size_t from = rng.below(2) == 0 ? at : rng.below(input.old.size() - 200);
    input.neu.insert(input.neu.end(), input.old.begin() + static_cast<long>(from), input.old.begin() + static_cast<long>(from + 150));
    const Bytes& word = words[rng.below(words.size())];
    input.neu.insert(input.neu.end(), word.begin(), word.end());
  }
  const auto all_passes = [&](bool reusing) {
    return test::run_coder(3, input, [&](MakerSession& s, MatchIndex& index, EncodeResult& r) {
      if (reusing) index.remember_searches();
      CarriedState carried;
      for (int mode = 1; mode <= 4; ++mode) {
        for (const int minBlock : {3, 2, 4}) {
          if (mode == 3 && minBlock == 4) {
            for (std::int64_t at = 0; at < s.oldSize; at += 97) s.oldData[at] ^= 0x5a;
            index.build_old_index(s.oldName);
          }
          s.minBlock = minBlock;
          index.start_pass(mode);
          encode_mode(mode, s, index, r, carried, true);
        }
      }
    });
  };
  const Bytes reused = all_passes(true).stream;
  const Bytes fresh = all_passes(false).stream;
  EXPECT_TRUE(reused == fresh) << reused.size() << " bytes against " << fresh.size();
}

}  // namespace
}  // namespace vd
