#include "maker/driver.h"

#include <cstdio>
#include <optional>

#include "core/crc32.h"
#include "core/files.h"
#include "core/keywords.h"
#include "core/patch_format.h"
#include "core/reloc.h"
#include "core/run_state.h"
#include "core/temp_files.h"
#include "core/version.h"
#include "maker/command_line.h"
#include "maker/encoder.h"
#include "maker/existing_patch.h"
#include "maker/file_failures.h"
#include "maker/large_pages.h"
#include "maker/match_index.h"
#include "maker/optimal_encoder.h"
#include "maker/optimizer.h"
#include "maker/patch_update.h"

namespace vd {
namespace {

// Everything the run holds: owned by run_maker, registered with fatal_exit,
// which closes its streams and then releases it, on every way out.
struct MakerRun {
  explicit MakerRun(const MakerOptions& options);

  MakerSession session;
  NamedStream oldFile;
  NamedStream newFile;
  NamedStream patchFile;
  PatchUpdate update;
  MatchIndex index{session};
};

MakerRun::MakerRun(const MakerOptions& options)
    : oldFile{.name = options.oldName}, newFile{.name = options.newName}, patchFile{.name = options.patchName} {
  MakerSession& s = session;
  s.oldName = options.oldName;
  s.newName = options.newName;
  s.patchName = options.patchName;
  s.patchPath = options.patchName;
  s.minBlock = static_cast<std::int32_t>(3 + options.vary);
  s.verbose = options.verbose;
  s.blockListing = options.verbose && options.mode != MakerMode::Auto;
}

// The run never returns from run_maker, so the record lives until
// fatal_exit releases it.
void register_with_fatal_exit(std::optional<MakerRun>& record) {
  RunState& state = run_state();
  state.streams = {&record->oldFile, &record->newFile, &record->patchFile};
  state.releaseRun = [&record] { record.reset(); };
}

FILE* open_input(const char* name) {
  OpenFailure failure = OpenFailure::None;
  FILE* stream = open_input_file(name, failure);
  if (failure == OpenFailure::NotRegularFile)
    fail_with(15, false, "\n%s\n\n", not_regular_file_message(name).c_str());
  if (stream == nullptr) fail_open(name, 10, false);
  return stream;
}

// Appending to a patch file that is also the oldfile or the newfile would
// change an input on disk; refuse before the patch file is even opened.
void refuse_input_as_patch_file(const MakerRun& run) {
  const char* patchName = run.patchFile.name;
  for (const NamedStream* input : {&run.oldFile, &run.newFile}) {
    if (names_same_file(patchName, input->file))
      fail_with(15, false, "\nError: patchfile %s is the same file as %s.\n\n", patchName, input->name);
  }
}

std::int32_t measure_size(const NamedStream& input) {
  const char* name = input.name;
  const std::int64_t size = stream_length(input.file);
  std::fseek(input.file, 0, SEEK_SET);
  if (size > kMaxFileSize)
    fail_with(15, false, "\nFile %s is too large: files of 2 GiB or more are not supported.\n\n", name);
  // A pipe has no size to measure; reading it as empty would make a wrong record.
  if (size < 0) fail_with(15, false, " Error while reading %s\n", name);
  return static_cast<std::int32_t>(size);
}

std::uint8_t* allocate_image(HeapBytes& owner, std::int32_t size) {
  owner.reset(static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(size) + 1)));
  if (!owner) {
    run_state().partialOutput.clear();
    fatal_exit("Not enough memory", 15, false);
  }
  ask_for_large_pages(owner.get(), static_cast<std::size_t>(size));
  return owner.get();
}

void read_image(const NamedStream& input, std::uint8_t* data, std::int32_t size) {
  if (std::fread(data, 1, static_cast<std::size_t>(size), input.file) != static_cast<std::size_t>(size))
    fail_with(15, false, " Error while reading %s\n", input.name);
}

void load_files(MakerRun& run) {
  MakerSession& s = run.session;
  run.oldFile.file = open_input(run.oldFile.name);
  run.newFile.file = open_input(run.newFile.name);
  refuse_input_as_patch_file(run);
  run.patchFile.file = open_patch_file(run.patchFile.name, run.update);

  s.patchDataSize = measure_size(run.patchFile);
  s.oldSize = measure_size(run.oldFile);
  s.newSize = measure_size(run.newFile);
  s.oldData = allocate_image(s.oldBytes, s.oldSize);
  s.newData = allocate_image(s.newBytes, s.newSize);
  if (s.patchDataSize > 0) s.patchData = allocate_image(s.patchBytes, s.patchDataSize);
  if (s.patchDataSize > 0) read_image(run.patchFile, s.patchData, s.patchDataSize);
  read_image(run.oldFile, s.oldData, s.oldSize);
  read_image(run.newFile, s.newData, s.newSize);
  if (s.patchDataSize > 0) protect_existing_patch_file(s, run.update);
}

void print_version(const char* label, const std::uint8_t* data, std::int32_t size) {
  if (const std::uint8_t* text = find_version(data, size))
    std::printf(" Version info %s: %s\n", label, version_text(text, data + size).c_str());
}

// The record names its files by their CRC-32 on disk, while the block stream
// was coded from the bytes read at the start: a file that changed in between
// would give a patch that can never apply.
void require_unchanged(const MakerSession& s, const FileCrcs& onDisk, const FileCrcs& coded, bool deleteOutput) {
  const char* changed = onDisk.oldCrc != coded.oldCrc ? s.oldName : onDisk.newCrc != coded.newCrc ? s.newName : nullptr;
  if (changed == nullptr) return;
  fail_with(15, deleteOutput, "\nFile %s changed while it was read.\n\n", changed);
}

std::uint32_t checksum_with_status(const NamedStream& input, const char* status, bool deleteOutput) {
  std::fseek(input.file, 0, SEEK_SET);
  std::puts(status);
  return crc32_stream(input.file, deleteOutput);
}

// A new patch file gets its header; an existing one is verified. Returns the
// file count the finished file will have.
std::uint32_t prepare_patch_file(MakerRun& run, const FileCrcs& coded, std::optional<FileCrcs>& crcs) {
  MakerSession& s = run.session;
  FILE* patchStream = run.patchFile.file;
  if (s.patchDataSize == 0) {
    s.created = true;
    std::puts(" Creating patchfile");
    if (std::fwrite(kMagic, 1, 4, patchStream) != 4) fatal_exit("\nError while writing.\n", 15, true);
    write_u32(patchStream, 0);
    write_u32(patchStream, 1);
    s.recordStart = static_cast<std::int32_t>(kHeaderSize);
    return 1;
  }
  FileCrcs known;
  known.oldCrc = checksum_with_status(run.oldFile, " CRC old...", s.created);
  std::printf("%s", kEraseLastLine);
  known.newCrc = checksum_with_status(run.newFile, " CRC new...", s.created);
  std::printf("%s", kEraseLastLine);
  require_unchanged(s, known, coded, false);
  crcs = known;
  const std::uint32_t count = verify_existing_patch(patchStream, s, known);
  s.recordStart = s.patchDataSize;
  return count;
}

// A fixed MODE codes both files transformed when both are hunk executables
// with relocations, and neither otherwise.
void transform_both_or_neither(MakerSession& s, EncodeResult& result) {
  result.relocOld = reloc_transform(s.oldData, s.oldSize, RelocDirection::Difference);
  if (result.relocOld == 0) return;
  result.relocNew = reloc_transform(s.newData, s.newSize, RelocDirection::Difference);
  if (result.relocNew == 0) result.relocOld = reloc_transform(s.oldData, s.oldSize, RelocDirection::Sum);
}

// The one encoder run of a fixed MODE codes into a temporary file, from
// both files transformed or neither.
EncodeResult prepare_fixed_mode_run(MakerSession& s, MakerMode mode) {
  EncodeResult result;
  result.mode = static_cast<std::int32_t>(mode);
  result.out = open_temp(s.patchName);
  if (result.out == nullptr) fatal_exit("Cannot open temporary file.", 15, s.created);
  transform_both_or_neither(s, result);
  return result;
}

// The optimizer turns AUTO into the best MODE it found. The result names the
// MODE its block stream is coded in.
EncodeResult encode_new_file(MakerRun& run, MakerMode mode, bool hasLists, const MakerOptions& options) {
  MakerSession& s = run.session;
  MatchIndex& index = run.index;
  const bool automatic = mode == MakerMode::Auto;
  EncodeResult result = automatic ? EncodeResult{} : prepare_fixed_mode_run(s, mode);
  index.build_old_index(s.oldName);
  index.build_patch_index(s.patchName);
  if (automatic) return run_optimizer(s, index, options.deep, options.optimal);
  CarriedState fresh;
  if (hasLists && options.optimal)
    encode_optimal(result.mode, s, index, result, fresh);
  else if (hasLists)
    encode_mode(result.mode, s, index, result, fresh);
  else
    encode_mode3_linear(s, index, result, fresh);
  return result;
}

void append_record(const MakerSession& s, FILE* patchStream, const EncodeResult& result) {
  if (s.recordStart + 4 + result.patchsize > kMaxFileSize)
    fail_with(15, s.created, "\nPatchfile %s would grow to 2 GiB or more.\n\n", s.patchName);
  for (int word = 0; word < 6; ++word) write_u32(patchStream, static_cast<std::uint32_t>(result.patchsize));
  std::fseek(result.out, 0, SEEK_SET);
  copy_bytes(result.out, patchStream, result.patchsize - kFixedFieldsAfterPatchsize, kTemporaryFileName,
             s.patchName, true);
}

void finish_progress_display(const MakerSession& s) {
  if (s.blockListing) return;
  std::printf("%s", s.verbose ? "\x1b[1A\r\x1b[K" : "\r\x1b[K 100%\n");
}

void write_fixed_fields(const MakerRun& run, std::uint32_t fileCount, const EncodeResult& result,
                        const FileCrcs& coded, const std::optional<FileCrcs>& known) {
  const MakerSession& s = run.session;
  FILE* patchStream = run.patchFile.file;
  FileCrcs crcs;
  if (known) {
    crcs = *known;
    std::puts("");
  } else {
    crcs.oldCrc = checksum_with_status(run.oldFile, " CRC old...", s.created);
    crcs.newCrc = checksum_with_status(run.newFile, "\x1b[1A\x1b[K CRC new...", s.created);
    require_unchanged(s, crcs, coded, true);
  }
  // The checksums are those of the files on disk, never of transformed images.
  RecordFields fields;
  fields.patchsize = static_cast<std::uint32_t>(result.patchsize);
  fields.filesize = s.oldSize;
  fields.crcOld = crcs.oldCrc;
  fields.crcNew = crcs.newCrc;
  fields.typeWord = make_type_word(result.mode, result.relocOld, result.relocNew);
  fields.blocks = result.blocks;
  std::uint8_t bytes[kRecordFieldsSize];
  encode_record_fields(fields, bytes);
  const bool written = std::fseek(patchStream, 8, SEEK_SET) == 0 && write_u32(patchStream, fileCount) &&
                       std::fseek(patchStream, s.recordStart, SEEK_SET) == 0 &&
                       std::fwrite(bytes, 1, sizeof bytes, patchStream) == sizeof bytes &&
                       std::fflush(patchStream) == 0;
  if (!written) fail_write(s.patchName);
}

}  // namespace

void run_maker(int argc, char** argv) {
  set_program_name("Vardelta");
  const MakerOptions options = parse_maker_command_line(argc, argv);
  std::optional<MakerRun> record;
  MakerRun& run = record.emplace(options);
  register_with_fatal_exit(record);
  const MakerSession& s = run.session;
  MakerMode mode = options.mode;

  load_files(run);
  const FileCrcs coded{crc32_of(s.oldData, s.oldSize), crc32_of(s.newData, s.newSize)};
  const bool hasLists = run.index.allocate(options.mem128, options.mem256);
  // Without lists the run falls back to MODE 3 with the linear search, and
  // a requested AUTO is dropped.
  if (!hasLists) mode = MakerMode::Mode3;
  if (!alloc_working_buffer()) fatal_exit("Not enough memory", 15, false);

  std::printf("Working on %s\n", s.oldName);
  print_version("old", s.oldData, s.oldSize);
  print_version("new", s.newData, s.newSize);

  std::optional<FileCrcs> crcs;
  const std::uint32_t fileCount = prepare_patch_file(run, coded, crcs);
  // From here on the patch stream may be the copy beside the patch file.
  if (!s.created) begin_update(run.session, run.update, run.patchFile);

  if (mode == MakerMode::Auto) std::puts("");
  const EncodeResult result = encode_new_file(run, mode, hasLists, options);
  append_record(s, run.patchFile.file, result);
  finish_progress_display(s);
  reopen_for_update(s, run.update, run.patchFile);
  write_fixed_fields(run, fileCount, result, coded, crcs);
  final_check_and_listing(run.patchFile.file, s);
  commit_update(s, run.update, run.patchFile);
  fatal_exit("Finished.", 0, false);
}

}  // namespace vd
