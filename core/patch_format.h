// The patch file container: a 12-byte header ("VLM3", CRC total, file count)
// followed by patch records, every integer big-endian.
//
// A record at offset R: patchsize (bytes after this field), filesize, CRCold,
// CRCnew, the type word (MODE in bits 0-15, old reloc in 16-17, new reloc in
// 18-19) and blocks, then the block stream of patchsize - 20 bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>

namespace vd {

inline constexpr char kMagic[] = "VLM3";
inline constexpr std::int64_t kHeaderSize = 12;
inline constexpr std::int64_t kRecordFieldsSize = 24;
// patchsize counts the five fields after it; the block stream follows them.
inline constexpr std::uint32_t kFixedFieldsAfterPatchsize = 20;
// The format describes sizes and positions as signed 32-bit values.
inline constexpr std::int64_t kMaxFileSize = 0x7FFFFFFF;

inline std::uint32_t get_be(const std::uint8_t* p, int width) {
  std::uint32_t value = 0;
  for (int i = 0; i < width; ++i) value = value << 8 | p[i];
  return value;
}

inline void put_be(std::uint8_t* p, std::uint32_t value, int width) {
  for (int i = width - 1; i >= 0; --i, value >>= 8) p[i] = static_cast<std::uint8_t>(value);
}

enum class MagicKind { Current, OtherGeneration, Foreign };
MagicKind classify_magic(const std::uint8_t magic[4]);

struct RecordFields {
  std::uint32_t patchsize = 0;
  std::int32_t filesize = 0;
  std::uint32_t crcOld = 0;
  std::uint32_t crcNew = 0;
  std::uint32_t typeWord = 0;
  std::uint32_t blocks = 0;

  int mode() const { return static_cast<int>(typeWord & 0xFFFF); }
  int old_reloc() const { return static_cast<int>(typeWord >> 16 & 3); }
  int new_reloc() const { return static_cast<int>(typeWord >> 18 & 3); }
};

std::uint32_t make_type_word(int mode, int relocOld, int relocNew);

void encode_record_fields(const RecordFields& fields, std::uint8_t out[kRecordFieldsSize]);
RecordFields decode_record_fields(const std::uint8_t in[kRecordFieldsSize]);

// Width in bytes of a MODE 3 far position. The bound W is the record's
// filesize plus the length the patch file had before the record was added,
// which is 0 for the first record (at offset 12) and the record's offset for
// every later one.
int far_width(std::int64_t filesize, std::int64_t recordOffset);

// A match position p is valid when 0 <= p < this bound: the old file, then
// the patch file up to the start of the record that refers to it.
std::int64_t reference_bound(std::int64_t filesize, std::int64_t patchFileLength,
                             std::uint32_t patchsize);

// Big-endian u32 I/O on a stream; false on a short read or write.
bool read_u32(FILE* stream, std::uint32_t& value);
bool write_u32(FILE* stream, std::uint32_t value);

// Visits the records of a patch file whose stream stands at offset 12, in
// file order, reading each one's six fixed fields. The visitor returns false
// to stop. Returns false when a record's fields or its block stream would
// reach past `fileLength`. Otherwise `end` receives the offset after the last
// record (when all were visited). Every step moves forward by at least 24
// bytes, so even a huge count ends within the file's length.
using RecordVisitor = std::function<bool(std::int64_t offset, const RecordFields& fields)>;
bool walk_records(FILE* stream, std::int64_t fileLength, std::uint32_t count,
                  const RecordVisitor& visit, std::int64_t* end = nullptr);

}  // namespace vd
