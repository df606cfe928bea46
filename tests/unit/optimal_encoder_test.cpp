#include "maker/optimal_encoder.h"

#include <gtest/gtest.h>

#include <string>

#include "core/block_forms.h"
#include "core/patch_format.h"
#include "core/temp_files.h"
#include "maker/optimal_greedy.h"
#include "support/edited_files.h"
#include "support/format_decoder.h"
#include "support/maker_harness.h"
#include "support/record_decoder.h"
#include "support/stream_bound.h"
#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;
using test::bytes_of;
using test::code_like;
using test::concat;
using test::edited;
using test::EncodeInput;
using test::EncodeOutput;
using test::Rng;
using test::runs_of_bytes;
using test::text_like;

EncodeInput input(Bytes old, Bytes neu, Bytes patch = {}) {
  EncodeInput in;
  in.old = std::move(old);
  in.neu = std::move(neu);
  in.patch = std::move(patch);
  // 2D lists: the same candidates in these small files, without the time
  // of a 128 MiB table per run.
  in.alloc = test::refuse_3d();
  return in;
}

struct ExactRun {
  EncodeOutput output;
  OptimalOutcome outcome;
};

ExactRun run_exact(int mode, const EncodeInput& in) {
  ExactRun run;
  run.output = test::run_coder(mode, in, [&](MakerSession& s, MatchIndex& index, EncodeResult& result) {
    run.outcome = encode_exact(mode, s, index, result, true);
  });
  return run;
}

EncodeOutput run_optimal(int mode, const EncodeInput& in) {
  return test::run_coder(mode, in, [mode](MakerSession& s, MatchIndex& index, EncodeResult& result) {
    CarriedState carried;
    encode_optimal(mode, s, index, result, carried);
  });
}

// What the search's greedy path costs when followed from the start to the
// end: the greedy encoder's stream, if it makes the same choices.
std::int64_t greedy_path_price(int mode, const EncodeInput& in) {
  std::int64_t price = -1;
  test::run_coder(mode, in, [&](MakerSession& s, MatchIndex& index, EncodeResult&) {
    const BlockPrices prices(mode, far_width(s.oldSize, s.recordStart));
    GreedyPath path(mode, s, index, prices);
    StreamState state;
    price = path.follow_price(0, state, path.settled_after(s.newSize));
  });
  return price;
}

// The stream rebuilds the newfile through both readers, in forms a writer
// may use, and costs what the search priced.
testing::AssertionResult sound(int mode, const EncodeInput& in, const ExactRun& run) {
  const EncodeOutput& out = run.output;
  const int farWidth = far_width(static_cast<std::int64_t>(in.old.size()), out.recordStart);
  const auto size = static_cast<std::int64_t>(out.stream.size());
  if (run.outcome.price != size || run.outcome.written != size || out.result.patchsize != 20 + size)
    return testing::AssertionFailure() << "priced " << run.outcome.price << ", wrote " << size;
  const test::StrictDecoding strict = test::decode_strictly(mode, farWidth, out.result.blocks, out.stream, in.old, in.patch);
  if (!strict.ok) return testing::AssertionFailure() << "strict reader: " << strict.error;
  if (strict.output != in.neu) return testing::AssertionFailure() << "strict reader rebuilt another file";
  const std::int64_t bound = static_cast<std::int64_t>(in.old.size() + in.patch.size());
  const test::DecodedRecord decoded =
      test::decode_stream(mode, farWidth, out.result.blocks, out.stream, in.old, in.patch, bound);
  if (!decoded.ok) return testing::AssertionFailure() << "parser: " << decoded.error;
  if (decoded.output != in.neu) return testing::AssertionFailure() << "parser rebuilt another file";
  return testing::AssertionSuccess();
}

// A patch file whose one record carries `literal` as data, so that a later
// record can copy from it.
Bytes patch_file_holding(const Bytes& literal) {
  Bytes stream;
  for (std::size_t at = 0; at < literal.size(); at += 127) {
    const std::size_t length = std::min<std::size_t>(127, literal.size() - at);
    stream.push_back(static_cast<std::uint8_t>(length));
    stream.insert(stream.end(), literal.begin() + static_cast<std::ptrdiff_t>(at),
                  literal.begin() + static_cast<std::ptrdiff_t>(at + length));
  }
  RecordFields fields;
  fields.patchsize = static_cast<std::uint32_t>(20 + stream.size());
  fields.typeWord = 1;
  fields.blocks = static_cast<std::uint32_t>((literal.size() + 126) / 127);
  return test::append_record({}, fields, stream);
}

struct Pair {
  std::string kind;
  EncodeInput in;
};

std::vector<Pair> generated_pairs() {
  std::vector<Pair> pairs;
  for (std::uint64_t seed = 1; seed <= 3; ++seed) {
    Rng rng(seed);
    const Bytes code = code_like(rng, 2000 * seed);
    pairs.push_back({"code", input(code, edited(rng, code))});
    const Bytes text = text_like(rng, 3000);
    pairs.push_back({"text", input(text, edited(rng, text))});
    const Bytes runs = runs_of_bytes(rng, 60);
    pairs.push_back({"runs", input(runs, edited(rng, runs))});
    // An appended record: the newfile also holds what only the patch file has.
    const Bytes fresh = code_like(rng, 500);
    const Bytes neu = edited(rng, concat({code, fresh}));
    pairs.push_back({"appended", input(code, neu, patch_file_holding(edited(rng, fresh)))});
  }
  // Nothing to copy: data runs split at every MODE's limit.
  Rng rng(9);
  pairs.push_back({"unmatched", input(bytes_of("0123456789"), rng.bytes(40000, 0x80, 0xFF))});
  pairs.push_back({"empty", input(bytes_of("0123456789"), {})});
  return pairs;
}

TEST(OptimalEncoderProperty, SoundPricedAndNeverLargerThanGreedy) {
  const std::vector<Pair> pairs = generated_pairs();
  for (int mode = 1; mode <= 4; ++mode) {
    for (const Pair& pair : pairs) {
      SCOPED_TRACE("MODE " + std::to_string(mode) + ", " + pair.kind);
      const ExactRun exact = run_exact(mode, pair.in);
      EXPECT_TRUE(sound(mode, pair.in, exact));
      const EncodeOutput greedy = test::run_encoder(mode, pair.in);
      EXPECT_LE(exact.output.result.patchsize, greedy.result.patchsize);
      EXPECT_EQ(greedy_path_price(mode, pair.in), greedy.result.patchsize - 20);
      EXPECT_EQ(run_optimal(mode, pair.in).stream, exact.output.stream);
      // Same inputs, same bytes.
      EXPECT_EQ(run_exact(mode, pair.in).output.stream, exact.output.stream);
    }
  }
}

// No stream goes below the bound of its MODE, and the exact-price
// encoder's comes close to it. Small pairs: the bound's program takes time
// and memory by the product of the two sizes.
TEST(OptimalEncoderProperty, ComesCloseToTheLowerBoundAndNeverBelowIt) {
  Rng rng(41);
  const auto often_edited = [&](const Bytes& file) { return edited(rng, edited(rng, edited(rng, file))); };
  const Bytes code = code_like(rng, 200);
  const Bytes text = text_like(rng, 150);
  const Bytes runs = runs_of_bytes(rng, 4);
  const Pair pairs[] = {{"code", input(code, often_edited(code))},
                        {"text", input(text, often_edited(text))},
                        {"runs", input(runs, often_edited(runs))}};
  for (int mode = 1; mode <= 4; ++mode) {
    for (const Pair& pair : pairs) {
      SCOPED_TRACE("MODE " + std::to_string(mode) + ", " + pair.kind);
      const std::optional<std::int64_t> bound = test::stream_lower_bound(mode, pair.in.old, pair.in.neu);
      ASSERT_TRUE(bound);
      const auto exact = static_cast<std::int64_t>(run_exact(mode, pair.in).output.stream.size());
      EXPECT_LE(*bound, exact);
      EXPECT_LE(exact, *bound + *bound / 8);
    }
  }
}

// The streams of AUTO's passes, as the optimizer runs them one after
// another over one index, with the index remembering its searches or not.
std::vector<Bytes> auto_passes(const EncodeInput& in, bool remembered) {
  std::vector<Bytes> streams;
  test::run_coder(1, in, [&](MakerSession& s, MatchIndex& index, EncodeResult&) {
    index.limit_unsorted_work(0);
    if (remembered) index.remember_searches();
    CarriedState carried;
    for (const int mode : {1, 2, 3, 4, 3}) {
      EncodeResult result;
      result.out = std::tmpfile();
      index.start_pass(mode);
      encode_optimal(mode, s, index, result, carried);
      streams.push_back(test::read_whole_stream(result.out));
      close_file(result.out);
    }
  });
  return streams;
}

// A pass takes the longest matches the pass before it found, where it
// searched the same position, instead of searching again: the same bytes.
TEST(OptimalEncoderProperty, PassesWriteTheSameWhetherTheSearchesAreRememberedOrNot) {
  std::vector<Pair> pairs = generated_pairs();
  // Matches longer than some MODEs' blocks may be.
  Rng rng(5);
  const Bytes old = code_like(rng, 12000);
  Bytes neu = old;
  for (std::size_t at = 100; at < neu.size(); at += 12000) neu[at] ^= 0x33;
  pairs.push_back({"long matches", input(old, neu)});
  for (const Pair& pair : pairs) {
    SCOPED_TRACE(pair.kind);
    EXPECT_EQ(auto_passes(pair.in, true), auto_passes(pair.in, false));
  }
}

// The oldfile's suffixes cost a sort that a newfile with a few changed
// bytes does without: the chains find what they need. A newfile changed
// all over has them sorted, though the greedy path's searches never would.
// Its lists too wait for a search that needs them; the few changed bytes
// never do, in MODE 3, where the greedy path's searches go without them as
// well. The stream is the one written with the lists built at once.
TEST(OptimalEncoderProperty, SortsTheOldfilesSuffixesOnlyWhereManyPositionsAskForThem) {
  Rng rng(21);
  const Bytes old = code_like(rng, 60000);
  Bytes fewChanges = old;
  for (const std::size_t at : {1000u, 120001u, 200003u}) fewChanges[at] ^= 0x5A;
  for (const auto& [neu, sorts] : {std::pair{fewChanges, false}, std::pair{edited(rng, old), true}}) {
    const EncodeInput in = input(old, neu);
    ExactRun run;
    bool listed = false;
    bool sorted = false;
    run.output = test::run_coder(3, in, [&](MakerSession& s, MatchIndex& index, EncodeResult& result) {
      index.limit_unsorted_work(std::int64_t{1} << 40);
      run.outcome = encode_exact(3, s, index, result, true);
      listed = index.old_lists_if_built() != nullptr;
      sorted = index.old_lists_as_searched().suffixes() != nullptr;
    });
    EXPECT_EQ(listed, sorts);
    EXPECT_EQ(sorted, sorts);
    const auto listed_at_once = [&](MakerSession& s, MatchIndex& index, EncodeResult& result) {
      index.limit_unsorted_work(std::int64_t{1} << 40);
      index.old_lists_as_searched();
      encode_exact(3, s, index, result, true);
    };
    EXPECT_EQ(test::run_coder(3, in, listed_at_once).stream, run.output.stream);
    EXPECT_TRUE(sound(3, in, run));
    EXPECT_LE(run.output.result.patchsize, test::run_encoder(3, in).result.patchsize);
  }
}

// Cases whose best stream can be worked out by hand.
TEST(OptimalEncoderExamples, Mode1WorkedExample) {
  const ExactRun run = run_exact(1, input(bytes_of("ABCDEFGH"), bytes_of("ABCxyzFGH")));
  EXPECT_EQ(test::hex(run.output.stream), test::hex(Bytes{0x83, 0x00, 0x03, 'x', 'y', 'z', 0x83, 0x02}));
  EXPECT_EQ(run.output.result.blocks, 3u);
}

// Two changed bytes with three equal ones between: each change is replace
// data, and the three bytes a continuation without position bytes, which
// the greedy encoder sends as data.
TEST(OptimalEncoderExamples, Mode3ShortContinuationsBetweenChanges) {
  const Bytes old = bytes_of("0123456789abcdefghijklmnopqrstuvwxyzABCD");
  Bytes neu = old;
  neu[10] = 'X';
  neu[14] = 'Y';
  const ExactRun run = run_exact(3, input(old, neu));
  EXPECT_EQ(test::hex(run.output.stream), test::hex(Bytes{0xC9, 0x00, 0x40, 'X', 0xC2, 0x40, 'Y', 0xD8}));
  EXPECT_EQ(run.output.result.blocks, 5u);
  EXPECT_GT(test::run_encoder(3, input(old, neu)).result.patchsize, run.output.result.patchsize);
}

// 8,230 bytes of data are a full block and one of 6; the match after them
// continues 6 bytes (the last block's length) past the running position.
TEST(OptimalEncoderExamples, Mode3ReplaceAfterSplitDataCountsTheLastBlock) {
  const Bytes tail = bytes_of("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ!?");
  Rng rng(4);
  const Bytes literal = rng.bytes(8230, 0x80, 0xFF);
  const ExactRun run = run_exact(3, input(concat({bytes_of("######"), tail}), concat({literal, tail})));
  const Bytes expected = concat({Bytes{0xBF, 0xFF}, Bytes(literal.begin(), literal.begin() + 8224), Bytes{0x45},
                                 Bytes(literal.begin() + 8224, literal.end()), Bytes{0xE0, 0x1F}});
  EXPECT_EQ(run.output.stream, expected);
  EXPECT_EQ(run.output.result.blocks, 3u);
}

// Far positions above 8,388,606 take MODE 2's 7-byte escape, and are priced
// so: the newfile copies the last 90 bytes of a large oldfile.
TEST(OptimalEncoderExamples, Mode2FarPositionAboveTheThreeByteForm) {
  Bytes old(8388700);
  Rng(36).fill(old.data(), old.size());
  const EncodeInput in = input(old, Bytes(old.begin() + 8388610, old.end()));
  const ExactRun run = run_exact(2, in);
  EXPECT_EQ(test::hex(run.output.stream), test::hex(Bytes{0xC0, 0x5A, 0xFF, 0xFF, 0xFF, 0x00, 0x80, 0x00, 0x02}));
  EXPECT_TRUE(sound(2, in, run));
}

TEST(OptimalEncoderExamples, Mode1IdenticalFilesAreOneMatch) {
  const Bytes file = bytes_of("identical files code as one match block");
  const ExactRun run = run_exact(1, input(file, file));
  EXPECT_EQ(test::hex(run.output.stream), test::hex(Bytes{0x80 + 39, 0x00}));
  EXPECT_TRUE(run.output.result.identical);
  EXPECT_FALSE(run_exact(1, input(file, concat({file, bytes_of("!")}))).output.result.identical);
}

// Where the fewest bytes can be counted by hand, the bound is that count:
// the format's worked examples, identical files, an empty newfile.
TEST(OptimalEncoderExamples, LowerBoundOfCasesCountedByHand) {
  const auto bound = [](int mode, const char* old, const char* neu) {
    return test::stream_lower_bound(mode, bytes_of(old), bytes_of(neu)).value_or(-1);
  };
  EXPECT_EQ(bound(1, "ABCDEFGH", "ABCxyzFGH"), 8);
  EXPECT_EQ(bound(2, "ABCDEFGH", "ABCxyzFGH"), 10);
  EXPECT_EQ(bound(3, "ABCDEFGHIJ", "ABCxyFGHIJ"), 6);
  EXPECT_EQ(bound(3, "ABCDEFGHIJ", "ABCxyDEFGHIJ"), 6);
  EXPECT_EQ(bound(3, "ABCDEFGHIJ", "ABCDEFGHIJFGH"), 6);
  EXPECT_EQ(bound(4, "ABCDEFGHIJ", "ABCxyFGHIJ"), 6);
  EXPECT_EQ(bound(1, "identical files code as one match block", "identical files code as one match block"), 2);
  EXPECT_EQ(bound(2, "0123456789", ""), 0);
}

TEST(OptimalEncoderExamples, BlockListingDescribesTheKeptStream) {
  const Bytes old = bytes_of("0123456789abcdefghijklmnopqrstuvwxyzABCD");
  Bytes neu = old;
  neu[10] = 'X';
  neu[14] = 'Y';
  EncodeInput in = input(old, neu);
  in.blockListing = true;
  EXPECT_EQ(run_optimal(3, in).console,
            "       0 match:       10 bytes from position        0 in old\n"
            "      10 data:         1 byte \n"
            "      11 match:        3 bytes from position       11 in old\n"
            "      14 data:         1 byte \n"
            "      15 match:       25 bytes from position       15 in old\n");
}

}  // namespace
}  // namespace vd

namespace vd {
namespace {

// The second reader must refuse what a writer may not produce, or the
// checks above could not fail.
TEST(StrictReader, RefusesWhatNoWriterProduces) {
  const Bytes old = bytes_of("ABCDEFGH");
  const Bytes patch = test::append_record({}, RecordFields{}, {});
  const auto refused = [&](int mode, std::uint32_t blocks, const Bytes& stream) {
    return !test::decode_strictly(mode, 2, blocks, stream, old, patch).ok;
  };
  EXPECT_FALSE(refused(1, 1, Bytes{0x83, 0x00}));
  EXPECT_TRUE(refused(1, 1, Bytes{0x83, 0xFD, 0x40, 0x00}));              // position 0 in 3 bytes
  EXPECT_TRUE(refused(1, 1, Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));  // data of length 0
  EXPECT_TRUE(refused(1, 1, Bytes{0x82, 0x0C}));                          // the patch file's header
  EXPECT_FALSE(refused(1, 1, Bytes{0x82, 0x14}));                         // the bytes after it
  EXPECT_TRUE(refused(1, 1, Bytes{0x82, 0xFE, 0x00, 0x00, 0x14}));        // far where a near byte fits
  EXPECT_TRUE(refused(2, 1, Bytes{0x43, 0x80, 'x', 'y', 'z'}));           // 3 bytes in the long form
  EXPECT_TRUE(refused(3, 1, Bytes{0x00, 'x'}));                           // insert data at the end
  EXPECT_TRUE(refused(3, 2, Bytes{0x00, 'x', 0x80, 'y'}));                // ... not followed by its match
  EXPECT_FALSE(refused(3, 2, Bytes{0x00, 'x', 0xC1}));
  EXPECT_TRUE(refused(3, 1, Bytes{0xC1, 0x7F, 0x00, 0x02}));              // far where a near byte fits
}

}  // namespace
}  // namespace vd
