// Where the verified result ends up: under the newfile name, or in place of
// the oldfile (DIRECT), optionally keeping the unchanged oldfile (BACKUP).
#pragma once

#include <cstdint>
#include <cstdio>

#include "applier/session.h"

namespace vd {

// Newfile mode leaves everything as it is. DIRECT copies the result over the
// oldfile and removes the intermediate file; with BACKUP the unchanged
// oldfile is saved under the backupfile name first. At every moment both
// versions exist complete in files that have names.
void place_result(ApplierSession& session);

}  // namespace vd
