// Every encoder's stream, decoded with the core's parser against the oldfile
// and the patch file, must give back the newfile exactly.
#include <gtest/gtest.h>

#include <string>

#include "core/crc32.h"
#include "core/patch_format.h"
#include "maker/encoder.h"
#include "support/maker_harness.h"
#include "support/record_decoder.h"
#include "support/test_support.h"

namespace vd {
namespace {

using test::Bytes;
using test::concat;
using test::EncodeInput;
using test::EncodeOutput;

std::uint32_t crc_of(const Bytes& bytes) { return crc32_of(bytes.data(), static_cast<std::int64_t>(bytes.size())); }

struct Appended {
  Bytes file;
  std::int64_t offset = 0;
  EncodeOutput encoded;
};

// Encodes newfile against oldfile (and the existing patch file, if any),
// appends the record and decodes it again.
Appended encode_and_append(int mode, const Bytes& old, const Bytes& neu, const Bytes& patch, int minBlock,
                           const test::AllocRule& level) {
  EncodeInput in;
  in.old = old;
  in.neu = neu;
  in.patch = patch;
  in.minBlock = minBlock;
  in.alloc = level;
  Appended appended;
  appended.encoded = test::run_encoder(mode, in);
  const EncodeOutput& out = appended.encoded;
  RecordFields fields;
  fields.patchsize = static_cast<std::uint32_t>(out.result.patchsize);
  fields.filesize = static_cast<std::int32_t>(old.size());
  fields.crcOld = crc_of(old);
  fields.crcNew = crc_of(neu);
  fields.typeWord = make_type_word(out.result.mode, 0, 0);
  fields.blocks = out.result.blocks;
  appended.file = test::append_record(patch, fields, out.stream, &appended.offset);
  return appended;
}

// Checks one round trip; returns the decoding for further checks.
test::DecodedRecord check_round_trip(int mode, const Bytes& old, const Bytes& neu, const Bytes& patch, int minBlock,
                                     const test::AllocRule& level, const std::string& what) {
  const Appended appended = encode_and_append(mode, old, neu, patch, minBlock, level);
  const EncodeOutput& out = appended.encoded;
  EXPECT_EQ(out.result.patchsize, 20 + static_cast<std::int64_t>(out.stream.size())) << what;
  const test::DecodedRecord decoded = test::decode_record(old, appended.file, appended.offset);
  EXPECT_TRUE(decoded.ok) << what << ": " << decoded.error << "\nstream " << test::hex(out.stream);
  if (decoded.ok) {
    EXPECT_TRUE(decoded.output == neu) << what;
  }
  EXPECT_EQ(decoded.matchesInOld + decoded.matchesInPatch + decoded.dataBlocks, out.result.blocks) << what;
  EXPECT_TRUE(test::patch_file_is_valid(appended.file)) << what;
  return decoded;
}

// Copies of a file with bytes changed, inserted, deleted and blocks moved.
std::vector<std::pair<std::string, Bytes>> mutations(const Bytes& base, test::Rng& rng) {
  std::vector<std::pair<std::string, Bytes>> result;
  Bytes changed = base;
  for (int i = 0; i < 20 && !changed.empty(); ++i) changed[rng.below(changed.size())] ^= static_cast<std::uint8_t>(1 + rng.below(255));
  result.emplace_back("changed", changed);
  Bytes inserted = base;
  for (int i = 0; i < 8; ++i) {
    const Bytes piece = rng.bytes(1 + rng.below(40));
    inserted.insert(inserted.begin() + static_cast<long>(rng.below(inserted.size() + 1)), piece.begin(), piece.end());
  }
  result.emplace_back("inserted", inserted);
  Bytes deleted = base;
  for (int i = 0; i < 8 && deleted.size() > 50; ++i) {
    const std::size_t at = rng.below(deleted.size() - 40);
    deleted.erase(deleted.begin() + static_cast<long>(at), deleted.begin() + static_cast<long>(at + 1 + rng.below(40)));
  }
  result.emplace_back("deleted", deleted);
  Bytes moved;
  const std::size_t third = base.size() / 3;
  moved.insert(moved.end(), base.begin() + static_cast<long>(2 * third), base.end());
  moved.insert(moved.end(), base.begin() + static_cast<long>(third), base.begin() + static_cast<long>(2 * third));
  moved.insert(moved.end(), base.begin(), base.begin() + static_cast<long>(third));
  result.emplace_back("moved", moved);
  Bytes mixed = inserted;
  mixed.insert(mixed.end(), base.begin(), base.begin() + static_cast<long>(third));  // repeated stretch
  for (int i = 0; i < 10 && !mixed.empty(); ++i) mixed[rng.below(mixed.size())] ^= 0x55;
  result.emplace_back("mixed", mixed);
  result.emplace_back("unrelated", rng.bytes(base.size() / 2));
  result.emplace_back("same", base);
  return result;
}

const int kMinBlocks[] = {0, 3, 5};  // VARY -3, 0 and 2

TEST(RoundTrip, RandomAndMutatedFilesInEveryMode) {
  test::Rng rng(41);
  const test::AllocRule levels[] = {test::refuse_nothing(), test::refuse_3d(), test::refuse_3d_and_2d()};
  // A file with repeated structure (text-like) and one of random bytes.
  Bytes structured;
  while (structured.size() < 3000) {
    const Bytes word = rng.bytes(3 + rng.below(12), 'a', 'h');
    for (int k = static_cast<int>(rng.below(3)); k >= 0; --k) structured.insert(structured.end(), word.begin(), word.end());
  }
  const Bytes bases[] = {structured, rng.bytes(2500)};
  int levelChoice = 0;
  for (const Bytes& base : bases) {
    for (const auto& [name, neu] : mutations(base, rng)) {
      for (int minBlock : kMinBlocks) {
        for (int mode = 0; mode <= 4; ++mode) {
          const test::AllocRule& level = levels[levelChoice++ % 3];
          check_round_trip(mode, base, neu, {}, minBlock, level,
                           name + " MODE " + std::to_string(mode) + " minBlock " + std::to_string(minBlock));
          if (testing::Test::HasFailure()) return;
        }
      }
    }
  }
}

TEST(RoundTrip, EmptyAndTinyFiles) {
  const Bytes samples[] = {{}, {'a'}, {'a', 'b'}, {'a', 'b', 'c'}, {'a', 'b', 'c', 'd'}, {'x', 'b', 'c', 'd'},
                           {'a', 'a', 'a', 'a'}};
  for (const Bytes& old : samples) {
    for (const Bytes& neu : samples) {
      for (int minBlock : kMinBlocks) {
        for (int mode = 0; mode <= 4; ++mode) {
          check_round_trip(mode, old, neu, {}, minBlock, test::refuse_3d(),
                           "old " + std::to_string(old.size()) + " new " + std::to_string(neu.size()) + " MODE " +
                               std::to_string(mode) + " minBlock " + std::to_string(minBlock));
          if (testing::Test::HasFailure()) return;
        }
      }
    }
  }
}

TEST(RoundTrip, AppendedRecordsReuseTheExistingPatchFile) {
  test::Rng rng(42);
  // The first record carries literal data that the second newfile repeats.
  const Bytes old1 = rng.bytes(1500);
  const Bytes literal = rng.bytes(800);
  const Bytes new1 = concat({Bytes(old1.begin(), old1.begin() + 500), literal, Bytes(old1.begin() + 500, old1.end())});
  const Bytes old2 = rng.bytes(1200);
  const Bytes new2 = concat({Bytes(old2.begin(), old2.begin() + 300), Bytes(literal.begin() + 100, literal.begin() + 700),
                             Bytes(old2.begin() + 300, old2.end()), Bytes(literal.begin(), literal.begin() + 50)});
  for (int mode = 1; mode <= 4; ++mode) {
    const Appended first = encode_and_append(mode, old1, new1, {}, 3, test::refuse_3d());
    ASSERT_TRUE(test::decode_record(old1, first.file, first.offset).ok);
    for (int minBlock : kMinBlocks) {
      for (int secondMode = 0; secondMode <= 4; ++secondMode) {
        const std::string what = "MODE " + std::to_string(mode) + " then " + std::to_string(secondMode) + " minBlock " +
                                 std::to_string(minBlock);
        const test::DecodedRecord decoded =
            check_round_trip(secondMode, old2, new2, first.file, minBlock, test::refuse_3d(), what);
        // The linear search never looks into the patch file.
        if (secondMode != 0) {
          EXPECT_GT(decoded.matchesInPatch, 0u) << what;
        }
        if (testing::Test::HasFailure()) return;
      }
    }
  }
}

TEST(RoundTrip, AppendedToAPatchFileOfOnlyAHeader) {
  test::Rng rng(43);
  Bytes header{'V', 'L', 'M', '3', 0, 0, 0, 0, 0, 0, 0, 0};
  put_be(header.data() + 4, crc32_of(header.data() + 8, 4), 4);
  for (std::size_t oldSize : {std::size_t{65523}, std::size_t{65524}, std::size_t{65535}, std::size_t{65536}}) {
    const Bytes old = rng.bytes(oldSize);
    const Bytes neu = concat({Bytes(old.end() - 300, old.end()), Bytes(old.begin() + 10, old.begin() + 400),
                              rng.bytes(50), Bytes(old.begin() + 30000, old.begin() + 30100)});
    for (int mode = 1; mode <= 4; ++mode)
      check_round_trip(mode, old, neu, header, 3, test::refuse_3d(),
                       "oldSize " + std::to_string(oldSize) + " MODE " + std::to_string(mode));
  }
}

// Far positions that need three and four bytes in MODE 3, and the long
// position forms of the other MODEs, on one large oldfile.
TEST(RoundTrip, LargeOldfileFarPositions) {
  constexpr std::size_t kOldSize = 16777216 + 4096;
  static Bytes old(kOldSize);
  test::Rng(44).fill(old.data(), old.size());
  const auto piece = [&](std::size_t at, std::size_t length) {
    return Bytes(old.begin() + static_cast<long>(at), old.begin() + static_cast<long>(at + length));
  };
  test::Rng rng(45);
  const Bytes neu = concat({piece(16777300, 100), piece(50, 100), rng.bytes(20), piece(9000000, 200),
                            piece(70000, 64), piece(16777216, 40), piece(8388607, 80)});
  test::SessionFiles files(old, neu);
  MatchIndex index(files.session, &test::scripted_alloc);
  test::set_alloc_rule(test::refuse_3d());
  testing::internal::CaptureStdout();
  ASSERT_TRUE(index.allocate(false, false));
  index.build_old_index("old");
  testing::internal::GetCapturedStdout();
  CarriedState carried;
  for (int mode = 1; mode <= 4; ++mode) {
    index.reset_match_memo();
    EncodeResult result;
    result.patchsize = 20;
    result.mode = mode;
    result.out = std::tmpfile();
    testing::internal::CaptureStdout();
    encode_mode(mode, files.session, index, result, carried);
    testing::internal::GetCapturedStdout();
    const Bytes stream = test::read_whole_stream(result.out);
    std::fclose(result.out);
    RecordFields fields;
    fields.patchsize = static_cast<std::uint32_t>(result.patchsize);
    fields.filesize = static_cast<std::int32_t>(old.size());
    fields.crcOld = crc_of(old);
    fields.crcNew = crc_of(neu);
    fields.typeWord = make_type_word(mode, 0, 0);
    fields.blocks = result.blocks;
    std::int64_t offset = 0;
    const Bytes file = test::append_record({}, fields, stream, &offset);
    const test::DecodedRecord decoded = test::decode_record(old, file, offset);
    ASSERT_TRUE(decoded.ok) << "MODE " << mode << ": " << decoded.error;
    EXPECT_TRUE(decoded.output == neu) << "MODE " << mode;
    if (mode == 3) {
      // The first block: a match of 100 at 16,777,300 with a four-byte far position.
      ASSERT_GE(stream.size(), 7u);
      EXPECT_EQ(test::hex(Bytes(stream.begin(), stream.begin() + 7)),
                test::hex(Bytes{0xE0, 0x43, 0x7F, 0x01, 0x00, 0x00, 0x54}));
    }
  }
  // MODE 3 with three-byte far positions: an oldfile of 70,000 bytes.
  const Bytes mid(old.begin(), old.begin() + 70000);
  const Bytes midNew = concat({Bytes(mid.begin() + 60000, mid.begin() + 60100), Bytes(mid.begin() + 5, mid.begin() + 105)});
  const Appended appended = encode_and_append(3, mid, midNew, {}, 3, test::refuse_3d());
  EXPECT_EQ(test::hex(appended.encoded.stream),
            test::hex(Bytes{0xE0, 0x43, 0x7F, 0x00, 0xEA, 0x60, 0xE0, 0x43, 0x7F, 0x00, 0x00, 0x05}));
  const test::DecodedRecord decoded = test::decode_record(mid, appended.file, appended.offset);
  EXPECT_TRUE(decoded.ok) << decoded.error;
}

}  // namespace
}  // namespace vd
