// The rollback journal of an append written into a patch file in place.
//
// An append changes only the 12-byte header (CRC total, file count) and the
// bytes past the old end. Before the first of those bytes changes, the old
// size and the old header go into a journal, synced with its folder; the
// journal is removed only once the patch file is synced. A journal found
// later means a run died in between: cutting the file back to the old size
// and putting the old header back gives exactly the file as it was.
//
// The journal lies beside the patch file, "<patchfile>.append-journal", or,
// where that folder cannot be written, in the temporary folder under the
// patch file's name, device and inode: "<name>.<dev>-<inode>.append-journal".
// Both programs look in both places before they read a patch file.
#pragma once

#include <string>

namespace vd {

// Writes the journal for the patch file `name`, open as `fd` and still
// holding its old bytes; `path` receives where it went. False when it could
// be written in neither place.
bool begin_journal(const char* name, int fd, std::string& path);

// The append is complete and synced: the journal goes.
bool end_journal(const std::string& path);

// True when a journal file (complete or not) for the patch file exists.
bool journal_exists(const char* name, int fd);

enum class Recovery { Clean, NeedsWriteAccess, Failed };

// Deals with every journal of the patch file, to be called under an
// exclusive lock before the file is read: an incomplete journal (the file
// was not yet touched) is removed; a journal that no longer fits the file
// (changed since in some other way) is removed, the file left alone, and
// that is said; a journal that fits is rolled back, which is said in one
// line. A file that needs rolling back but is not `writable` is left alone.
Recovery recover_patch_file(const char* name, int fd, bool writable);

}  // namespace vd
