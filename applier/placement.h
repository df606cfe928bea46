// Where the verified result ends up: under the newfile name, or in place of
// the oldfile (DIRECT), optionally keeping the unchanged oldfile (BACKUP).
#pragma once

#include <cstdint>
#include <cstdio>

#include "applier/session.h"

namespace vd {

enum class CopyFault { None, Read, Write };

// Copies `count` bytes from the source's position through the working
// buffer and reports which side failed instead of ending the run, for the
// steps where the caller must first secure what would otherwise be lost.
CopyFault copy_stream(FILE* source, FILE* destination, std::int64_t count);

// Newfile mode leaves everything as it is. DIRECT copies the result over the
// oldfile and removes the intermediate file; with BACKUP the unchanged
// oldfile is saved under the backupfile name first. At every moment both
// versions exist complete in files that have names.
void place_result(ApplierSession& session);

}  // namespace vd
