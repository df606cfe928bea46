// Executing the block stream of a patch record into the output file.
#pragma once

#include <cstdint>
#include <cstdio>

#include "applier/session.h"
#include "core/patch_format.h"

namespace vd {

struct DecodeJob {
  FILE* oldStream = nullptr;
  const char* oldName = "";
  std::int64_t oldSize = 0;
  // Positioned at the first byte of the block stream.
  FILE* patchStream = nullptr;
  const char* patchName = "";
  std::int64_t patchLength = 0;
  std::int64_t recordOffset = 0;
  RecordFields fields;
  FILE* output = nullptr;
  const char* outputName = "";
  // No genuine new file reaches the format's size limit.
  std::int64_t outputLimit = kMaxFileSize;
};

// Writes the record's blocks to the output. The MODE must be 1 to 4. Every
// fault in the stream ends the run with exit 15 and the output deleted.
void execute_block_stream(const DecodeJob& job);

// Checks the MODE, executes the block stream, closes the output and verifies
// it against CRCnew. On return the output stream is open for reading at its
// start and "OK" (or, for an identity record, an empty line) is printed.
void decode_record(ApplierSession& session, const ChosenRecord& record, std::int64_t oldSize,
                   std::int64_t patchLength);

}  // namespace vd
