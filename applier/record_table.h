// What the passes know of the patch file: its header checked, its file count
// and the table of its records.
//
// The patch file stays open for reading for the whole run, and every pass
// must see a file whose header and records were checked. A RECURSIVE run
// makes one pass per record of a chain: checking the whole file and walking
// its records again in each of them would make a long chain cost the square
// of its length. The file is checked and its table read once; a later pass
// redoes that only when the open file no longer looks the same (size, times
// and identity).
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>

#include "applier/session.h"

namespace vd {

inline constexpr char kUnexpectedEnd[] = "Bad patchfile (unexpected end of file)";

// How many records a file of `patchLength` bytes can hold at most, but no
// more than `fileCount`: what a table of records ever needs.
std::uint32_t records_that_fit(std::uint32_t fileCount, std::int64_t patchLength);

struct CheckedPatchFile {
  std::int64_t length = 0;
  std::uint32_t fileCount = 0;
};

// Reads the run's patch stream, which must outlive the table.
class RecordTable {
 public:
  explicit RecordTable(const NamedStream& patch) : patch_(patch) {}

  // Checks magic and CRC total and reads the records, unless the patch
  // stream is unchanged since the last check. Any fault ends the run with the
  // header's or the walk's message.
  const CheckedPatchFile& check();

  // The last record whose filesize and CRCold match, or none, from the
  // records the last check read (by walking the file when they could not be
  // kept).
  std::optional<ChosenRecord> choose(std::int64_t oldSize, std::uint32_t oldCrc) const;

 private:
  // What selection needs of a record; the rest is read again once chosen.
  struct Key {
    std::int64_t offset;
    std::int32_t filesize;
    std::uint32_t crcOld;
  };
  struct FreeKeys {
    void operator()(Key* p) const { std::free(p); }
  };

  void read_keys();

  const NamedStream& patch_;
  bool checked_ = false;
  struct stat look_ = {};
  CheckedPatchFile file_;
  // Null when they could not be had: then every choice walks the file.
  std::unique_ptr<Key[], FreeKeys> keys_;
  std::uint32_t keyCount_ = 0;
};

// The same choice made by walking the patch stream's records. A chain of
// records that runs past the end of the file ends the run.
std::optional<ChosenRecord> select_record(FILE* patch, std::uint32_t fileCount, std::int64_t patchLength,
                                          std::int64_t oldSize, std::uint32_t oldCrc);

}  // namespace vd
