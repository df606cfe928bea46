#include "applier/record_table.h"

#include <algorithm>

#include "applier/console.h"
#include "core/crc32.h"
#include "core/run_state.h"

namespace vd {
namespace {

// Reads the magic and verifies CRC total; leaves the stream at the file count.
void check_header(const NamedStream& patchFile) {
  FILE* patch = patchFile.file;
  const char* patchName = patchFile.name;
  std::uint8_t magic[4] = {};
  const bool complete = std::fread(magic, 1, 4, patch) == 4;
  const MagicKind kind = complete ? classify_magic(magic) : MagicKind::Foreign;
  if (kind == MagicKind::OtherGeneration) fail_other_generation(magic[3]);
  if (kind == MagicKind::Foreign) fail_with(12, false, "File %s is not a Vardelta patchfile.\n", patchName);
  std::uint32_t stored = 0;
  if (!read_u32(patch, stored)) fatal_exit(kUnexpectedEnd, 15, false);
  if (crc32_stream_mapped(patch, true) != stored)
    fail_with(15, false, "Corrupt patchfile %s (CRC error)\n", patchName);
}

// Any write to the file moves its change time, which only the system can
// set; size and modification time catch most writes even where the change
// time is coarse, and device and inode a file put in its place.
bool looks_the_same(const struct stat& a, const struct stat& b) {
  const auto same_time = [](const timespec& x, const timespec& y) {
    return x.tv_sec == y.tv_sec && x.tv_nsec == y.tv_nsec;
  };
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         same_time(a.st_mtim, b.st_mtim) && same_time(a.st_ctim, b.st_ctim);
}

ChosenRecord read_chosen(FILE* patch, std::int64_t offset, std::uint32_t number) {
  std::uint8_t bytes[kRecordFieldsSize];
  if (std::fseek(patch, offset, SEEK_SET) != 0 || std::fread(bytes, 1, sizeof bytes, patch) != sizeof bytes)
    fatal_exit(kUnexpectedEnd, 15, false);
  return ChosenRecord{.offset = offset, .number = number, .fields = decode_record_fields(bytes), .identity = false};
}

}  // namespace

std::uint32_t records_that_fit(std::uint32_t fileCount, std::int64_t patchLength) {
  const std::int64_t fitting =
      patchLength > kHeaderSize ? (patchLength - kHeaderSize) / kRecordFieldsSize : 0;
  return static_cast<std::uint32_t>(std::min<std::int64_t>(fileCount, fitting));
}

// Walks every record once, which also finds a chain that runs past the end.
// Every record the walk visits has its fields within the file, so there is room
// for it; were there not, the table would be dropped rather than cut short.
void RecordTable::read_keys() {
  const std::uint32_t room = records_that_fit(file_.fileCount, file_.length);
  keys_.reset(static_cast<Key*>(std::malloc(sizeof(Key) * (room + std::size_t{1}))));
  keyCount_ = 0;
  const bool fits = walk_records(patch_.file, file_.length, file_.fileCount,
                                 [&](std::int64_t offset, const RecordFields& fields) {
                                   if (keyCount_ == room) keys_.reset();
                                   if (keys_) keys_[keyCount_++] = {offset, fields.filesize, fields.crcOld};
                                   return true;
                                 });
  if (!fits) fatal_exit(kUnexpectedEnd, 15, false);
}

const CheckedPatchFile& RecordTable::check() {
  struct stat look;
  const bool looked = fstat(fileno(patch_.file), &look) == 0;
  if (checked_ && looked && looks_the_same(look, look_)) return file_;
  checked_ = false;
  file_.length = stream_size(patch_.file);
  check_header(patch_);
  if (!read_u32(patch_.file, file_.fileCount)) fatal_exit(kUnexpectedEnd, 15, false);
  read_keys();
  look_ = look;
  checked_ = looked;
  return file_;
}

std::optional<ChosenRecord> RecordTable::choose(std::int64_t oldSize, std::uint32_t oldCrc) const {
  if (!keys_) return select_record(patch_.file, file_.fileCount, file_.length, oldSize, oldCrc);
  for (std::uint32_t i = keyCount_; i-- > 0;) {
    const Key& key = keys_[i];
    if (key.crcOld == oldCrc && key.filesize == oldSize) return read_chosen(patch_.file, key.offset, i + 1);
  }
  return std::nullopt;
}

std::optional<ChosenRecord> select_record(FILE* patch, std::uint32_t fileCount, std::int64_t patchLength,
                                          std::int64_t oldSize, std::uint32_t oldCrc) {
  std::optional<ChosenRecord> chosen;
  std::uint32_t number = 0;
  const bool fits = walk_records(
      patch, patchLength, fileCount, [&](std::int64_t offset, const RecordFields& fields) {
        ++number;
        if (fields.crcOld == oldCrc && fields.filesize == oldSize)
          chosen = ChosenRecord{.offset = offset, .number = number, .fields = fields, .identity = false};
        return true;
      });
  if (!fits) fatal_exit(kUnexpectedEnd, 15, false);
  return chosen;
}

}  // namespace vd
