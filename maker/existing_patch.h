// An existing patch file: its verification before a record is appended, and
// the final check and listing that end every successful run.
#pragma once

#include <cstdint>
#include <cstdio>

#include "maker/session.h"

namespace vd {

struct FileCrcs {
  std::uint32_t oldCrc = 0;
  std::uint32_t newCrc = 0;
};

// Checks magic, CRC total and the record chain of the patch file, refuses a
// second real record for the oldfile, and leaves the stream ready for
// appending. Returns the new file count; any failure ends the run.
std::uint32_t verify_existing_patch(FILE* patchStream, const MakerSession& session,
                                    const FileCrcs& crcs);

// Writes the CRC total of the finished file (opened "r+b") and lists every
// record in it.
void final_check_and_listing(FILE* patchStream, const MakerSession& session);

}  // namespace vd
