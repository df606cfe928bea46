// An in-memory reader of patch records, built on the core's block stream
// parser: it executes a record's block stream against an old file and the
// patch file image, the way the applier does, but checks more (every match
// inside the reference space and inside the file it starts in, the stream
// consumed exactly).
#pragma once

#include <cstdint>
#include <string>

#include "core/patch_format.h"
#include "support/test_support.h"

namespace vd::test {

struct DecodedRecord {
  bool ok = false;
  std::string error;  // what went wrong, when !ok
  Bytes output;
  RecordFields fields;
  std::uint32_t matchesInOld = 0;
  std::uint32_t matchesInPatch = 0;
  std::uint32_t dataBlocks = 0;
};

// Executes `blocks` blocks of `stream` in `mode` (far width for MODE 3)
// against the reference space: `old`, then `patchFile` from its first byte.
// Match positions must satisfy 0 <= p < bound.
DecodedRecord decode_stream(int mode, int farWidth, std::uint32_t blocks, const Bytes& stream,
                            const Bytes& old, const Bytes& patchFile, std::int64_t bound);

// Decodes the record that starts at `recordOffset` of the complete patch
// file `patchFile`: the far width and the bound come from the record's
// place in the file, and the result must meet CRCnew; `old` must match
// filesize and CRCold.
DecodedRecord decode_record(const Bytes& old, const Bytes& patchFile, std::int64_t recordOffset);

// Appends a record to a patch file image (an empty image starts a new file),
// updating the file count and CRC total. `recordOffset` receives where the
// record starts.
Bytes append_record(const Bytes& existing, const RecordFields& fields, const Bytes& stream,
                    std::int64_t* recordOffset = nullptr);

// Checks the header of a whole patch file image: magic, CRC total, and that
// its records end exactly at its end.
bool patch_file_is_valid(const Bytes& patchFile);

}  // namespace vd::test
