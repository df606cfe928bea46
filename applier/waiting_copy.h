// The waiting copy: the verified new version, complete, synced and under a
// name of its own, for as long as the oldfile is rewritten in place.
//
// Where no copy can be renamed over the oldfile (it has several hard links,
// or its folder cannot be written), the oldfile is rewritten in place, and a
// crash in the middle would leave it holding the start of the new version
// and nothing else. So before the first byte of the oldfile changes, the new
// version is put beside it as "<oldfile>.Varmend-new" or, where that folder
// cannot be written, in the temporary directory as
// "<oldfile>.<device>-<inode>.Varmend-new"; it is removed once the oldfile
// holds the new version on the disk. A DIRECT run that finds one finishes
// the rewrite the interrupted run had begun.
#pragma once

#include <cstdio>
#include <string>

#include "applier/session.h"

namespace vd {

// Puts all of `source` into the waiting copy for `target` (the oldfile's path
// behind any symbolic links) and returns its path; empty when no place would
// take it.
std::string write_waiting_copy(FILE* source, const std::string& target);

// Removes the waiting copy once the oldfile holds the new version for good.
void discard_waiting_copy(const std::string& path);

// A DIRECT run on an oldfile that an interrupted run was rewriting: when a
// waiting copy exists and the oldfile holds a beginning of it, the rewrite is
// finished and the run ends as a successful one does. Returns only when
// there is nothing to finish.
void finish_interrupted_rewrite(ApplierSession& session);

}  // namespace vd
