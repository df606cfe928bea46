// The pass loop: header check, selection of the patch record for the current
// old file, progress lines, decoding, and with RECURSIVE the hand-over of
// each result to the next pass.
#pragma once

#include <cstdint>

#include "applier/record_table.h"
#include "applier/session.h"

namespace vd {

// The visited table needs one byte per record that can fit in the file, so a
// forged file count never makes it larger than the file justifies.
std::uint32_t visited_table_size(std::uint32_t fileCount, std::int64_t patchLength);

// Runs passes until the chain is complete. On return the final result is in
// the output file, whose stream is open for reading.
void run_passes(ApplierSession& session, RecordTable& table);

}  // namespace vd
