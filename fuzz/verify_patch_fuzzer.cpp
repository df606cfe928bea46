// The maker's verification of an existing patch file, and the final check
// and listing that follow it.
//
// Input: a flag byte, then the patch file. The flags fix the CRC total and
// describe the run's oldfile and newfile after one of the records, so that
// mutations reach the record walk and the duplicate test.
//
// Besides the sanitizers' checks: verification ends only with the maker's
// codes for it, leaves the file as it was, and on success returns the record
// count plus one with the stream at the end of the file; a verified file
// always passes the final check, which changes nothing but a CRC total that
// then matches the file.
#include <algorithm>
#include <cstdint>
#include <optional>

#include "core/crc32.h"
#include "core/patch_format.h"
#include "core/run_state.h"
#include "fuzz/fuzz_support.h"
#include "maker/existing_patch.h"
#include "maker/session.h"

namespace vd::fuzz {
namespace {

enum Flag : std::uint8_t {
  kFixCrcTotal = 1,
  kCreated = 2,
  kAimMask = 12,  // which record describes the run's oldfile
  kAimFirst = 4,
  kAimLast = 8,
  kAimIdentity = 12,  // the last record, made an identity record first
  kIdenticalFiles = 16,
  kRealFile = 32,
  kFinalCheck = 64,
  kSmallBuffer = 128,
};

struct Input {
  std::uint8_t flags = 0;
  Bytes patch;
};

struct RunFiles {
  std::int32_t oldSize = 0;
  std::int32_t newSize = 0;
  FileCrcs crcs;
};

// The last record's offset, following the chain as far as it stays inside.
std::optional<std::size_t> last_record(const Bytes& patch) {
  const std::vector<std::size_t> offsets = record_offsets(patch);
  if (offsets.empty()) return std::nullopt;
  return offsets.back();
}

RunFiles prepare(Input& input) {
  RunFiles files;
  files.oldSize = 1000;
  files.crcs.oldCrc = 0x12345678;
  const unsigned aim = input.flags & kAimMask;
  std::optional<std::size_t> offset;
  if (aim == kAimFirst && input.patch.size() >= kHeaderSize + kRecordFieldsSize) offset = kHeaderSize;
  if (aim == kAimLast || aim == kAimIdentity) offset = last_record(input.patch);
  if (offset) {
    std::uint8_t* fields = input.patch.data() + *offset;
    if (aim == kAimIdentity) std::copy(fields + 8, fields + 12, fields + 12);
    files.oldSize = static_cast<std::int32_t>(get_be(fields + 4, 4));
    files.crcs.oldCrc = get_be(fields + 8, 4);
  }
  files.newSize = files.oldSize ^ 1;
  files.crcs.newCrc = ~files.crcs.oldCrc;
  if (input.flags & kIdenticalFiles) {
    files.newSize = files.oldSize;
    files.crcs.newCrc = files.crcs.oldCrc;
  }
  if (input.flags & kFixCrcTotal) fix_crc_total(input.patch);
  return files;
}

MakerSession make_session(const Input& input, const RunFiles& files) {
  MakerSession session;
  session.oldName = "old";
  session.newName = "new";
  session.patchName = "patch";
  session.oldSize = files.oldSize;
  session.newSize = files.newSize;
  session.patchDataSize = static_cast<std::int32_t>(input.patch.size());
  session.created = (input.flags & kCreated) != 0;
  return session;
}

FILE* open_patch(const Input& input, Bytes& memory, const char* mode) {
  if (!(input.flags & kRealFile)) {
    memory = input.patch;
    memory.push_back(0);  // room for the terminator that fmemopen may add
    FILE* stream = fmemopen(memory.data(), input.patch.size(), mode);
    if (stream == nullptr) violated("fmemopen failed");
    return stream;
  }
  FILE* stream = std::fopen(private_path("patch").c_str(), mode);
  if (stream == nullptr) violated("cannot open the patch file");
  return stream;
}

Bytes content_after(const Input& input, const Bytes& memory) {
  if (input.flags & kRealFile) return read_file(private_path("patch"));
  return Bytes(memory.begin(), memory.begin() + static_cast<std::ptrdiff_t>(input.patch.size()));
}

bool verify(const Input& input, const MakerSession& session, const RunFiles& files) {
  Bytes memory;
  // The driver opens an existing patch file for appending.
  FILE* stream = open_patch(input, memory, (input.flags & kRealFile) ? "a+b" : "rb");
  bool verified = false;
  try {
    const std::uint32_t count = verify_existing_patch(stream, session, files.crcs);
    verified = true;
    if (count != get_be(input.patch.data() + 8, 4) + 1) violated("wrong file count after verification");
    if (std::ftell(stream) != static_cast<long>(input.patch.size()))
      violated("verification left the stream away from the end of the file");
  } catch (const RunEnded& ended) {
    if (ended.code != 5 && ended.code != 15) violated("unexpected exit code from verification");
  }
  std::fclose(stream);
  if (content_after(input, memory) != input.patch) violated("verification changed the patch file");
  return verified;
}

void final_check(const Input& input, const MakerSession& session) {
  Bytes memory;
  FILE* stream = open_patch(input, memory, "r+b");
  try {
    final_check_and_listing(stream, session);
  } catch (const RunEnded&) {
    violated("a verified patch file failed the final check");
  }
  std::fclose(stream);
  const Bytes after = content_after(input, memory);
  Bytes expected = input.patch;
  fix_crc_total(expected);
  if (after != expected) violated("the final check wrote something other than the CRC total");
}

}  // namespace
}  // namespace vd::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vd::fuzz::init_harness();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vd::fuzz;
  if (size < 1) return 0;
  Input input{data[0], Bytes(data + 1, data + size)};
  const RunFiles files = prepare(input);
  reset_run_state();
  fresh_working_buffer((input.flags & kSmallBuffer) ? 64 : 819200);
  if (input.flags & kRealFile) write_file(private_path("patch"), input.patch);
  const vd::MakerSession session = make_session(input, files);
  if (verify(input, session, files) && (input.flags & kFinalCheck)) {
    fresh_working_buffer((input.flags & kSmallBuffer) ? 64 : 819200);
    final_check(input, session);
  }
  std::remove(private_path("patch").c_str());
  return 0;
}
