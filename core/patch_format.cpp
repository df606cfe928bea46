#include "core/patch_format.h"

#include <cstring>

#include "core/block_forms.h"

namespace vd {

MagicKind classify_magic(const std::uint8_t magic[4]) {
  if (std::memcmp(magic, kMagic, 4) == 0) return MagicKind::Current;
  if (std::memcmp(magic, kMagic, 3) == 0) return MagicKind::OtherGeneration;
  return MagicKind::Foreign;
}

std::uint32_t make_type_word(int mode, int relocOld, int relocNew) {
  return static_cast<std::uint32_t>(mode) | static_cast<std::uint32_t>(relocOld) << 16 |
         static_cast<std::uint32_t>(relocNew) << 18;
}

void encode_record_fields(const RecordFields& fields, std::uint8_t out[kRecordFieldsSize]) {
  put_be(out, fields.patchsize, 4);
  put_be(out + 4, static_cast<std::uint32_t>(fields.filesize), 4);
  put_be(out + 8, fields.crcOld, 4);
  put_be(out + 12, fields.crcNew, 4);
  put_be(out + 16, fields.typeWord, 4);
  put_be(out + 20, fields.blocks, 4);
}

RecordFields decode_record_fields(const std::uint8_t in[kRecordFieldsSize]) {
  RecordFields fields;
  fields.patchsize = get_be(in, 4);
  fields.filesize = static_cast<std::int32_t>(get_be(in + 4, 4));
  fields.crcOld = get_be(in + 8, 4);
  fields.crcNew = get_be(in + 12, 4);
  fields.typeWord = get_be(in + 16, 4);
  fields.blocks = get_be(in + 20, 4);
  return fields;
}

int far_width(std::int64_t filesize, std::int64_t recordOffset) {
  const std::int64_t before = recordOffset == kHeaderSize ? 0 : recordOffset;
  return far_width_for(filesize + before);
}

std::int64_t reference_bound(std::int64_t filesize, std::int64_t patchFileLength,
                             std::uint32_t patchsize) {
  return filesize + patchFileLength - static_cast<std::int64_t>(patchsize) - 4;
}

bool read_u32(FILE* stream, std::uint32_t& value) {
  std::uint8_t bytes[4];
  if (std::fread(bytes, 1, 4, stream) != 4) return false;
  value = get_be(bytes, 4);
  return true;
}

bool write_u32(FILE* stream, std::uint32_t value) {
  std::uint8_t bytes[4];
  put_be(bytes, value, 4);
  return std::fwrite(bytes, 1, 4, stream) == 4;
}

bool walk_records(FILE* stream, std::int64_t fileLength, std::uint32_t count,
                  const RecordVisitor& visit, std::int64_t* end) {
  std::int64_t offset = kHeaderSize;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (std::fseek(stream, offset, SEEK_SET) != 0) return false;
    std::uint8_t bytes[kRecordFieldsSize];
    if (offset + kRecordFieldsSize > fileLength ||
        std::fread(bytes, 1, kRecordFieldsSize, stream) != kRecordFieldsSize)
      return false;
    const RecordFields fields = decode_record_fields(bytes);
    if (!visit(offset, fields)) return true;
    const std::int64_t next = offset + 4 + static_cast<std::int64_t>(fields.patchsize);
    if (fields.patchsize < kFixedFieldsAfterPatchsize || next > fileLength) return false;
    offset = next;
  }
  if (end != nullptr) *end = offset;
  return std::fseek(stream, offset, SEEK_SET) == 0;
}

}  // namespace vd
