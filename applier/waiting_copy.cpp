#include "applier/waiting_copy.h"

#include <sys/stat.h>

#include <cstring>
#include <vector>

#include "core/break_signal.h"
#include "core/files.h"
#include "core/run_state.h"
#include "core/temp_files.h"

namespace vd {
namespace {

constexpr char kWaitingTag[] = "Varmend-new";

// The names of a waiting copy are made from a folder and a stem; the stem of
// the one in the temporary directory carries the oldfile's device and inode,
// so that oldfiles of one name in different folders do not meet there.
std::vector<std::string> stems_for(const std::string& target) {
  std::vector<std::string> stems{target};
  struct stat info;
  if (stat(target.c_str(), &info) == 0) {
    stems.push_back(temp_directory() + "/" + leaf_of(target) + "." + std::to_string(info.st_dev) + "-" +
                    std::to_string(info.st_ino));
  }
  return stems;
}

// The copy is written under a numbered name and renamed to its own only when
// complete and synced: a copy under the waiting name is always whole.
bool write_at(const std::string& stem, FILE* source, const std::string& path) {
  std::string partial;
  FILE* file = create_beside(stem, partial);
  if (file == nullptr) return false;
  register_temp_file(file, partial);
  std::fseek(source, 0, SEEK_SET);
  const bool written = copy_stream(source, file, stream_size(source)) == CopyFault::None && flush_to_disk(file);
  if (!written) {
    close_file(file);
    return false;
  }
  if (close_keeping_file(file) != 0 || rename(partial.c_str(), path.c_str()) != 0) {
    std::remove(partial.c_str());
    return false;
  }
  sync_directory_of(path);
  return true;
}

// True when the file `name` holds the first bytes of the file `copy` (all of
// them when `whole`).
bool holds_start_of(const char* name, const std::string& copy, bool whole) {
  FILE* a = std::fopen(name, "rb");
  FILE* b = std::fopen(copy.c_str(), "rb");
  bool same = a != nullptr && b != nullptr;
  static std::uint8_t left[1 << 16];
  static std::uint8_t right[1 << 16];
  while (same) {
    const std::size_t n = std::fread(left, 1, sizeof left, a);
    if (n == 0) break;
    same = std::fread(right, 1, n, b) == n && std::memcmp(left, right, n) == 0;
  }
  same = same && !std::ferror(a) && (!whole || std::fgetc(b) == EOF);
  if (a != nullptr) std::fclose(a);
  if (b != nullptr) std::fclose(b);
  return same;
}

[[noreturn]] void fail_keeping_copy(const std::string& path) {
  fail_with(15, false, "The new version is kept in %s.\n", path.c_str());
}

void copy_into_oldfile(const std::string& path, const char* oldName) {
  FILE* copy = std::fopen(path.c_str(), "rb");
  FILE* oldFile = copy == nullptr ? nullptr : std::fopen(oldName, "wb");
  if (oldFile == nullptr) {
    if (copy != nullptr) std::fclose(copy);
    report_open_failure(oldName);
    fail_keeping_copy(path);
  }
  CopyFault fault = copy_stream(copy, oldFile, stream_size(copy));
  if (!flush_to_disk(oldFile) && fault == CopyFault::None) fault = CopyFault::Write;
  if (std::fclose(oldFile) != 0 && fault == CopyFault::None) fault = CopyFault::Write;
  std::fclose(copy);
  if (fault == CopyFault::None) return;
  report_copy_fault(fault, path.c_str(), oldName);
  fail_keeping_copy(path);
}

// What the interrupted run would have done after the rewrite: the oldfile
// replaced, and a named intermediate file with the same new version removed.
[[noreturn]] void complete_rewrite(const ApplierSession& session, const std::string& path) {
  const ApplierOptions& options = session.options;
  if (!options.quiet)
    std::printf(" Finishing the replacement of %s that an interrupted run began.\n", options.oldName);
  hold_breaks_until_exit();
  copy_into_oldfile(path, options.oldName);
  if (!options.quiet) std::printf(" Original file %s replaced.\n", options.oldName);
  const char* intermediate = options.backup ? nullptr : options.thirdName;
  if (intermediate != nullptr && holds_start_of(intermediate, path, true) && std::remove(intermediate) == 0 &&
      !options.quiet)
    std::printf(" %s removed.\n", intermediate);
  discard_waiting_copy(path);
  fatal_exit(nullptr, 0, false);
}

}  // namespace

std::string write_waiting_copy(FILE* source, const std::string& target) {
  for (const std::string& stem : stems_for(target)) {
    const std::string path = path_beside(stem, kWaitingTag);
    if (write_at(stem, source, path)) return path;
  }
  return {};
}

void discard_waiting_copy(const std::string& path) {
  if (std::remove(path.c_str()) == 0) sync_directory_of(path);
}

void finish_interrupted_rewrite(ApplierSession& session) {
  const char* oldName = session.options.oldName;
  const std::string target = resolved_path(oldName);
  if (target.empty()) return;
  for (const std::string& stem : stems_for(target)) {
    const std::string path = path_beside(stem, kWaitingTag);
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    if (holds_start_of(oldName, path, false)) complete_rewrite(session, path);
    if (!session.options.quiet)
      std::printf(" Note: %s was left by an interrupted run, but %s has changed since; it was not used.\n",
                  path.c_str(), oldName);
  }
}

}  // namespace vd
