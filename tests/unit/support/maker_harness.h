// Running the maker's match index and encoders on in-memory files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "maker/encoder.h"
#include "maker/match_index.h"
#include "maker/session.h"
#include "support/test_support.h"

namespace vd::test {

// Bucket counts of the three list levels.
inline constexpr std::size_t k3DBuckets = std::size_t{1} << 24;
inline constexpr std::size_t k2DBuckets = std::size_t{1} << 16;
inline constexpr std::size_t k1DBuckets = 256;

// What building the lists of the oldfile and of the patch file shows.
inline const std::string kSortOld = "Sorting old...\n\x1b[1A\x1b[K\x1b[1A\n";
inline const std::string kSortPatch = "Sorting patch...\n\x1b[1A\x1b[K\x1b[1A\n";

// An allocator for MatchIndex whose failures a test chooses. The rule sees
// each request (element count, element size) and how many earlier requests
// had the same element count; it returns true to refuse the request.
using AllocRule = std::function<bool(std::size_t count, std::size_t size, int earlierSameCount)>;
void set_alloc_rule(AllocRule rule);
void* scripted_alloc(std::size_t count, std::size_t size);
// Every request since the last set_alloc_rule, in order.
const std::vector<std::pair<std::size_t, std::size_t>>& alloc_requests();

// Rules for common cases.
AllocRule refuse_nothing();
AllocRule refuse_3d();          // both files fall back to 2D lists
AllocRule refuse_3d_and_2d();   // both files fall back to simple lists

// Owns the file images a MakerSession points into (each one byte longer than
// the file, as the driver allocates them).
struct SessionFiles {
  Bytes old, neu, patch;
  MakerSession session;

  SessionFiles(Bytes oldFile, Bytes newFile, Bytes patchFile = {}, int minBlock = 3);
  SessionFiles(const SessionFiles&) = delete;
  SessionFiles& operator=(const SessionFiles&) = delete;
};

struct EncodeInput {
  Bytes old, neu;
  Bytes patch;  // an existing patch file, or empty for a new one
  int minBlock = 3;
  bool blockListing = false;
  bool mem128 = false;
  bool mem256 = false;
  AllocRule alloc;  // null: the plain zero-filling allocator
};

struct EncodeOutput {
  EncodeResult result;  // `out` is closed and null again
  Bytes stream;
  std::string indexNotes;  // what allocating and building the lists printed
  std::string console;     // what the encoder printed
  bool hasLists = false;
  std::int64_t replacePosition = 0;
  std::int32_t recordStart = 12;
};

// mode 1 to 4, or 0 for the linear-search MODE 3 encoder (which is also used
// whenever the oldfile got no lists, as the driver does).
EncodeOutput run_encoder(int mode, const EncodeInput& input);

// The same set-up for any coder of the newfile: `code` gets the session, the
// built index and a result whose `out` is a fresh stream; `mode` is what
// the result records.
using Coder = std::function<void(MakerSession&, MatchIndex&, EncodeResult&)>;
EncodeOutput run_coder(int mode, const EncodeInput& input, const Coder& code);

}  // namespace vd::test
