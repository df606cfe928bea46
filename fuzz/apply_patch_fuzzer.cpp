// The applier's pass loop and block decoders on a patch file from a stranger.
//
// Input: a flag byte, a working-buffer size selector, the oldfile's length
// as a big-endian u16, the oldfile, and the rest is the patch file. A random
// patch file almost never names the oldfile by size and CRC-32, nor carries
// a valid CRC total, so the flags can aim a record at the oldfile, make its
// CRCnew the CRC-32 of what its blocks produce, and fix the CRC total: then
// mutations reach the decoders and the recursive hand-over.
//
// Besides the sanitizers' checks: a run ends only with the applier's failure
// codes, never modifies the oldfile or the patch file, and leaves no
// temporary file behind; and the decoder, which reads ahead and seeks back
// and forth in the patch file, produces exactly what the same blocks give
// when executed straight from the bytes in memory.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "applier/decoder.h"
#include "applier/passes.h"
#include "applier/session.h"
#include "core/block_stream.h"
#include "core/crc32.h"
#include "core/patch_format.h"
#include "core/reloc.h"
#include "core/run_state.h"
#include "core/temp_files.h"
#include "fuzz/fuzz_support.h"

namespace vd::fuzz {
namespace {

enum Flag : std::uint8_t {
  kFixCrcTotal = 1,
  kAimRecord = 2,
  kFixCrcNew = 4,
  kRecursive = 8,
  kQuiet = 16,
  kNoVersion = 32,
  kRealFiles = 64,
  kAimFirst = 128,  // else the last record that fits
};

struct Input {
  std::uint8_t flags = 0;
  std::uint32_t bufferStart = 819200;
  Bytes old, patch;
};

Input split(const std::uint8_t* data, std::size_t size) {
  Input input;
  if (size < 4) {
    input.patch.assign(data, data + size);
    return input;
  }
  input.flags = data[0];
  input.bufferStart = std::uint32_t{32} << (data[1] % 15);
  const std::size_t oldLength = std::min<std::size_t>(get_be(data + 2, 2), size - 4);
  input.old.assign(data + 4, data + 4 + oldLength);
  input.patch.assign(data + 4 + oldLength, data + size);
  return input;
}

std::uint32_t crc_of(const Bytes& bytes) {
  return crc32_of(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

// The record's blocks executed from memory, or none where the applier must
// fail: a short stream, a position outside the reference space, a match that
// runs past the end of the file it starts in, or too much output.
std::optional<Bytes> decode_in_memory(const Bytes& oldImage, const Bytes& patch, std::size_t offset,
                                      const RecordFields& fields, std::int64_t limit) {
  BlockStreamParser parser(fields.mode(), far_width(fields.filesize, static_cast<std::int64_t>(offset)));
  const auto oldSize = static_cast<std::int64_t>(oldImage.size());
  const std::int64_t bound = reference_bound(oldSize, static_cast<std::int64_t>(patch.size()), fields.patchsize);
  const std::size_t streamStart = offset + kRecordFieldsSize;
  MemorySource source(patch.data() + streamStart, patch.size() - streamStart);
  Bytes out;
  for (std::uint32_t i = 0; i < fields.blocks; ++i) {
    Block block;
    if (!parser.next(source, block)) return std::nullopt;
    if (static_cast<std::int64_t>(out.size()) + block.length > limit) return std::nullopt;
    const std::size_t before = out.size();
    if (!block.is_match()) {
      out.resize(before + block.length);
      if (!source.read(out.data() + before, block.length)) return std::nullopt;
      continue;
    }
    if (block.position < 0 || block.position >= bound) return std::nullopt;
    const bool inOld = block.position < oldSize;
    const Bytes& file = inOld ? oldImage : patch;
    const std::int64_t start = inOld ? block.position : block.position - oldSize;
    if (start + block.length > static_cast<std::int64_t>(file.size())) return std::nullopt;
    out.insert(out.end(), file.begin() + start, file.begin() + start + block.length);
  }
  return out;
}

// Decodes the record into memory the way the applier would, and returns the
// CRC-32 of the result, or none when the block stream is faulty.
std::optional<std::uint32_t> produced_crc(const Bytes& old, const Bytes& patch, std::size_t offset) {
  const RecordFields fields = decode_record_fields(patch.data() + offset);
  if (fields.mode() < 1 || fields.mode() > 4) return std::nullopt;
  Bytes oldImage = old;
  if (fields.old_reloc() != 0)
    reloc_transform(oldImage.data(), static_cast<std::int64_t>(oldImage.size()), RelocDirection::Difference);
  char* outData = nullptr;
  std::size_t outSize = 0;
  DecodeJob job;
  job.oldStream = unnamed_file_stream(oldImage);
  job.oldName = "old";
  job.oldSize = static_cast<std::int64_t>(oldImage.size());
  job.patchStream = unnamed_file_stream(patch);
  job.patchName = "patch";
  job.patchLength = static_cast<std::int64_t>(patch.size());
  job.recordOffset = static_cast<std::int64_t>(offset);
  job.fields = fields;
  job.output = open_memstream(&outData, &outSize);
  job.outputName = "out";
  job.outputLimit = std::int64_t{1} << 24;
  std::fseek(job.patchStream, static_cast<long>(offset + kRecordFieldsSize), SEEK_SET);
  bool complete = true;
  try {
    execute_block_stream(job);
  } catch (const RunEnded&) {
    complete = false;
    fresh_working_buffer();
  }
  std::fclose(job.output);
  std::fclose(job.oldStream);
  std::fclose(job.patchStream);
  Bytes result(outData, outData + outSize);
  std::free(outData);
  const std::optional<Bytes> reference = decode_in_memory(oldImage, patch, offset, fields, job.outputLimit);
  if (complete != reference.has_value()) violated("the decoder and the in-memory execution disagree on failing");
  if (!complete) return std::nullopt;
  if (result != *reference) violated("the decoder produced other bytes than the in-memory execution");
  if (fields.new_reloc() != 0)
    reloc_transform(result.data(), static_cast<std::int64_t>(result.size()), RelocDirection::Sum);
  return crc_of(result);
}

void apply_fixes(Input& input) {
  if (input.flags & kAimRecord) {
    const std::vector<std::size_t> offsets = record_offsets(input.patch);
    if (!offsets.empty()) {
      const std::size_t offset = (input.flags & kAimFirst) ? offsets.front() : offsets.back();
      std::uint8_t* fields = input.patch.data() + offset;
      put_be(fields + 4, static_cast<std::uint32_t>(input.old.size()), 4);
      put_be(fields + 8, crc_of(input.old), 4);
      if (input.flags & kFixCrcTotal) fix_crc_total(input.patch);
      const std::optional<std::uint32_t> crc = produced_crc(input.old, input.patch, offset);
      if (crc && (input.flags & kFixCrcNew)) put_be(fields + 12, *crc, 4);
    }
  }
  if (input.flags & kFixCrcTotal) fix_crc_total(input.patch);
}

void reset_session(ApplierSession& session, const Input& input) {
  session.options = ApplierOptions{};
  session.options.oldName = "old";
  session.options.patchName = "patch";
  session.options.recursive = (input.flags & kRecursive) != 0;
  session.options.quiet = (input.flags & kQuiet) != 0;
  session.options.noVersion = (input.flags & kNoVersion) != 0;
  session.recursive = session.options.recursive;
  session.decodeTarget = private_path("out");
  session.outputReservation = nullptr;
  session.old.name = "old";
  session.patch.name = "patch";
  session.output.name = session.decodeTarget.c_str();
  session.pass = 1;
  session.visited.reset();
  session.visitedSize = 0;
  session.visitedTried = false;
}

FILE* open_input(const std::string& path, const Bytes& content, bool realFile) {
  if (!realFile) return unnamed_file_stream(content);
  write_file(path, content);
  FILE* stream = std::fopen(path.c_str(), "rb");
  if (stream == nullptr) violated("cannot open an input file");
  return stream;
}

void close_after_success() {
  for (NamedStream* stream : run_state().streams) {
    if (stream != nullptr && stream->file != nullptr) close_file(stream->file);
  }
  run_state().streams = {};
  close_all_temp_files();
}

void check_failure(const RunEnded& ended) {
  if (ended.code != 11 && ended.code != 12 && ended.code != 15) violated("unexpected exit code");
  if (!stray_files({"old", "patch", "out"}).empty()) violated("a failed run left a temporary file");
}

void run_one(const Input& input) {
  const bool realFiles = (input.flags & kRealFiles) != 0;
  const std::string oldPath = private_path("old");
  const std::string patchPath = private_path("patch");
  reset_run_state();
  run_state().copyMessagePrefix = "\n";
  fresh_working_buffer(input.bufferStart);
  ApplierSession session;
  reset_session(session, input);
  run_state().streams = {&session.old, &session.output, &session.patch};
  session.old.file = open_input(oldPath, input.old, realFiles);
  session.patch.file = open_input(patchPath, input.patch, realFiles);
  RecordTable table(session.patch);
  try {
    run_passes(session, table);
    close_after_success();
  } catch (const RunEnded& ended) {
    check_failure(ended);
  }
  if (realFiles && (read_file(oldPath) != input.old || read_file(patchPath) != input.patch))
    violated("the applier modified one of its inputs");
  std::remove(oldPath.c_str());
  std::remove(patchPath.c_str());
  std::remove(session.decodeTarget.c_str());
}

}  // namespace
}  // namespace vd::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vd::fuzz::init_harness();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vd::fuzz::Input input = vd::fuzz::split(data, size);
  vd::fuzz::reset_run_state();
  vd::fuzz::fresh_working_buffer();
  vd::fuzz::apply_fixes(input);
  vd::fuzz::run_one(input);
  return 0;
}
