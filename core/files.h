// Opening the files a run reads, and telling whether two names are one file.
#pragma once

#include <fcntl.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace vd {

// Why a file could not be had. A directory cannot be opened (it would open,
// but not read); a pipe, socket or device opens, but has no size and cannot
// be read back, and opening one may wait for ever for the other side.
enum class OpenFailure { None, CannotOpen, NotRegularFile };

// Opens a regular file with the open(2) `flags` (O_RDONLY, O_WRONLY | O_CREAT |
// O_TRUNC, ...) as a stream of `mode`, never waiting in the open itself. Null,
// with the reason in `failure`, when it is no regular file or cannot be opened.
FILE* open_regular_file(const char* name, int flags, const char* mode, OpenFailure& failure);

inline FILE* open_input_file(const char* name, OpenFailure& failure) {
  return open_regular_file(name, O_RDONLY, "rb", failure);
}

// True when `name` exists and is neither a regular file nor a directory.
bool names_special_file(const char* name);

// The one message both programs give for a file that is no regular file.
std::string not_regular_file_message(const char* name);

// True when `name` denotes the file open as `stream` (same device and inode,
// whatever the spelling, links included).
bool names_same_file(const char* name, FILE* stream);

// The length of a stream, its position kept; -1 for one without a length (a
// pipe).
std::int64_t stream_length(FILE* stream);

// The same for an open descriptor: a run that waited for a lock may find
// that the file it locked was replaced by renaming meanwhile, and must then
// open the name again.
bool name_denotes(const char* name, int fd);

// Replacing a file so that at every moment it holds either its old or its
// new content, complete: the new content goes into a file beside it (same
// directory, so that renaming is atomic), which is synced and renamed over
// the original.

// The path "<target>.<tag>" in the target's directory, the target's name
// shortened where it would not fit with `extra` more characters.
std::string path_beside(const std::string& target, const std::string& tag, std::size_t extra = 0);

// Creates that file exclusively with mode 0600, named after the target, what
// it is and this process: "<target>.<program>-partial.<process id>_<counter>".
// Null on failure.
FILE* create_beside(const std::string& target, std::string& name);

// The path of the file behind any symbolic links; empty when it is missing.
std::string resolved_path(const char* name);

// Flushes a file that was written and syncs it to the disk; false when
// either fails (buffered data that cannot be written shows up only here).
bool flush_to_disk(FILE* file);

// Syncs the directory that holds `path`, so that a rename or removal there
// has reached the disk.
bool sync_directory_of(const std::string& path);

// The path a replacement must rename onto: the file behind any symbolic
// links, so that a link stays a link. Empty when the target is no regular
// file with a single name (renaming would split hard links) or is missing.
std::string replacement_target(const char* name);

// Gives the finished file beside the target the target's permission bits
// and owner, syncs and closes it (taking it off the temporary files if it was
// registered), renames it over the target and syncs the directory. On
// failure the file beside stays (closed) and false is returned.
bool commit_beside(FILE* file, const std::string& name, const std::string& target);

// Syncs the folder that holds `path`, so that a file created, renamed or
// removed there stays so after a crash.
bool sync_directory_of(const std::string& path);

}  // namespace vd
