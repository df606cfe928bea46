#include "support/record_decoder.h"

#include <cstring>

#include "core/block_stream.h"
#include "core/crc32.h"

namespace vd::test {

DecodedRecord decode_stream(int mode, int farWidth, std::uint32_t blocks, const Bytes& stream,
                            const Bytes& old, const Bytes& patchFile, std::int64_t bound) {
  DecodedRecord result;
  if (mode < 1 || mode > 4) {
    result.error = "illegal block type " + std::to_string(mode);
    return result;
  }
  MemorySource source(stream.data(), stream.size());
  BlockStreamParser parser(mode, farWidth);
  const auto oldSize = static_cast<std::int64_t>(old.size());
  for (std::uint32_t i = 0; i < blocks; ++i) {
    Block block;
    if (!parser.next(source, block)) {
      result.error = "block " + std::to_string(i) + ": stream ends inside its header";
      return result;
    }
    if (!block.is_match()) {
      ++result.dataBlocks;
      const std::size_t at = result.output.size();
      result.output.resize(at + block.length);
      if (!source.read(result.output.data() + at, block.length)) {
        result.error = "block " + std::to_string(i) + ": data runs past the stream";
        return result;
      }
      continue;
    }
    const std::int64_t p = block.position;
    if (p < 0 || p >= bound) {
      result.error = "block " + std::to_string(i) + ": position " + std::to_string(p) +
                     " outside [0, " + std::to_string(bound) + ")";
      return result;
    }
    const std::uint8_t* from;
    if (p < oldSize) {
      if (p + block.length > oldSize) {
        result.error = "block " + std::to_string(i) + ": match runs past the old file";
        return result;
      }
      from = old.data() + p;
      ++result.matchesInOld;
    } else {
      const std::int64_t k = p - oldSize;
      if (k + block.length > static_cast<std::int64_t>(patchFile.size())) {
        result.error = "block " + std::to_string(i) + ": match runs past the patch file";
        return result;
      }
      from = patchFile.data() + k;
      ++result.matchesInPatch;
    }
    result.output.insert(result.output.end(), from, from + block.length);
  }
  if (source.remaining() != 0) {
    result.error = std::to_string(source.remaining()) + " stream bytes left after the last block";
    return result;
  }
  result.ok = true;
  return result;
}

DecodedRecord decode_record(const Bytes& old, const Bytes& patchFile, std::int64_t recordOffset) {
  DecodedRecord failed;
  const auto length = static_cast<std::int64_t>(patchFile.size());
  if (recordOffset < kHeaderSize || recordOffset + kRecordFieldsSize > length) {
    failed.error = "record fields outside the file";
    return failed;
  }
  const RecordFields fields = decode_record_fields(patchFile.data() + recordOffset);
  failed.fields = fields;
  if (fields.patchsize < kFixedFieldsAfterPatchsize ||
      recordOffset + 4 + static_cast<std::int64_t>(fields.patchsize) > length) {
    failed.error = "patchsize leads past the end of the file";
    return failed;
  }
  if (fields.filesize != static_cast<std::int32_t>(old.size()) ||
      fields.crcOld != crc32_of(old.data(), static_cast<std::int64_t>(old.size()))) {
    failed.error = "record does not belong to this old file";
    return failed;
  }
  const auto* begin = patchFile.data() + recordOffset + kRecordFieldsSize;
  const Bytes stream(begin, begin + (fields.patchsize - kFixedFieldsAfterPatchsize));
  DecodedRecord result =
      decode_stream(fields.mode(), far_width(fields.filesize, recordOffset), fields.blocks, stream,
                    old, patchFile, reference_bound(fields.filesize, length, fields.patchsize));
  result.fields = fields;
  if (result.ok &&
      crc32_of(result.output.data(), static_cast<std::int64_t>(result.output.size())) != fields.crcNew) {
    result.ok = false;
    result.error = "CRC of the result differs from CRCnew";
  }
  return result;
}

Bytes append_record(const Bytes& existing, const RecordFields& fields, const Bytes& stream,
                    std::int64_t* recordOffset) {
  Bytes file = existing;
  if (file.empty()) {
    file = {'V', 'L', 'M', '3', 0, 0, 0, 0, 0, 0, 0, 0};
  }
  if (recordOffset != nullptr) *recordOffset = static_cast<std::int64_t>(file.size());
  std::uint8_t packed[kRecordFieldsSize];
  encode_record_fields(fields, packed);
  file.insert(file.end(), packed, packed + kRecordFieldsSize);
  file.insert(file.end(), stream.begin(), stream.end());
  put_be(file.data() + 8, get_be(file.data() + 8, 4) + 1, 4);
  put_be(file.data() + 4, crc32_of(file.data() + 8, static_cast<std::int64_t>(file.size()) - 8), 4);
  return file;
}

bool patch_file_is_valid(const Bytes& patchFile) {
  const auto length = static_cast<std::int64_t>(patchFile.size());
  if (length < kHeaderSize || std::memcmp(patchFile.data(), kMagic, 4) != 0) return false;
  if (get_be(patchFile.data() + 4, 4) != crc32_of(patchFile.data() + 8, length - 8)) return false;
  std::int64_t offset = kHeaderSize;
  for (std::uint32_t i = get_be(patchFile.data() + 8, 4); i > 0; --i) {
    if (offset + kRecordFieldsSize > length) return false;
    const std::uint32_t patchsize = get_be(patchFile.data() + offset, 4);
    if (patchsize < kFixedFieldsAfterPatchsize) return false;
    offset += 4 + static_cast<std::int64_t>(patchsize);
    if (offset > length) return false;
  }
  return offset == length;
}

}  // namespace vd::test
