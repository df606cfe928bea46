#include "maker/existing_patch.h"

#include "core/crc32.h"
#include "core/files.h"
#include "core/keywords.h"
#include "core/patch_format.h"
#include "core/run_state.h"
#include "maker/file_failures.h"

namespace vd {
namespace {

const char kUnexpectedEnd[] = "Bad patchfile (unexpected end of file)";

void check_magic(FILE* patchStream, const MakerSession& session) {
  std::uint8_t magic[4] = {};
  std::fseek(patchStream, 0, SEEK_SET);
  const bool complete = std::fread(magic, 1, 4, patchStream) == 4;
  const MagicKind kind = complete ? classify_magic(magic) : MagicKind::Foreign;
  if (kind == MagicKind::OtherGeneration) fatal_exit("Bad patchfile version.", 15, false);
  if (kind == MagicKind::Foreign)
    fail_with(15, false, "File %s is not a Vardelta patchfile.\n", session.patchName);
}

void check_crc_total(FILE* patchStream, const MakerSession& session) {
  std::uint32_t stored = 0;
  read_u32(patchStream, stored);
  std::puts(" CRC patch...");
  if (crc32_stream(patchStream, session.created) != stored)
    fatal_exit("Bad patchfile (CRC error).", 15, false);
  std::printf("%s", kEraseLastLine);
}

// A patch file holds at most one real record per oldfile; an identity record
// (CRCold equal to CRCnew) may be followed by one real record for it.
void refuse_duplicate(const RecordFields& record, const MakerSession& session, const FileCrcs& crcs) {
  if (record.crcOld != crcs.oldCrc || record.filesize != session.oldSize) return;
  const bool realRecord = record.crcOld != record.crcNew;
  const bool identicalFiles = crcs.oldCrc == crcs.newCrc && session.oldSize == session.newSize;
  if (realRecord || identicalFiles)
    fail_with(5, false, "Patches for %s already in %s.\n", session.oldName, session.patchName);
}

void print_listing_row(const RecordFields& record) {
  std::printf("%9ld |", static_cast<long>(record.filesize));
  std::printf(" %08lx |", static_cast<unsigned long>(record.crcOld));
  std::printf(" %08lx |", static_cast<unsigned long>(record.crcNew));
  std::printf("%3ld%3ld |%5ld |%10ld |", static_cast<long>(record.old_reloc()),
              static_cast<long>(record.new_reloc()), static_cast<long>(record.mode()),
              static_cast<long>(record.patchsize));
  std::printf("%8lu\n", static_cast<unsigned long>(record.blocks & 0x7FFFFFFF));
}

}  // namespace

std::uint32_t verify_existing_patch(FILE* patchStream, const MakerSession& session,
                                    const FileCrcs& crcs) {
  check_magic(patchStream, session);
  check_crc_total(patchStream, session);
  std::uint32_t count = 0;
  read_u32(patchStream, count);
  std::int64_t end = 0;
  const bool chainFits = walk_records(
      patchStream, session.patchDataSize, count,
      [&](std::int64_t, const RecordFields& record) {
        refuse_duplicate(record, session, crcs);
        return true;
      },
      &end);
  if (!chainFits || end != session.patchDataSize) fatal_exit(kUnexpectedEnd, 15, false);
  std::printf(" File %s contains patches for %lu file%s - appending new data.\n", session.patchName,
              static_cast<unsigned long>(count), count > 1 ? "s" : "");
  std::fseek(patchStream, session.patchDataSize, SEEK_SET);
  return count + 1;
}

void final_check_and_listing(FILE* patchStream, const MakerSession& session) {
  std::printf("%s Final check:\n", kEraseLastLine);
  std::uint8_t magic[4] = {};
  std::fseek(patchStream, 0, SEEK_SET);
  if (std::fread(magic, 1, 4, patchStream) != 4 || classify_magic(magic) != MagicKind::Current)
    fatal_exit("Bad patchfile version.", 15, true);
  std::puts(" CRC total...");
  if (std::fseek(patchStream, 4, SEEK_CUR) != 0) fatal_exit(kUnexpectedEnd, 15, true);
  const std::uint32_t total = crc32_stream(patchStream, session.created);
  std::printf("%s CRC total %08lx\n", kEraseLastLine, static_cast<unsigned long>(total));
  if (std::fseek(patchStream, -4, SEEK_CUR) != 0) fatal_exit(kUnexpectedEnd, 15, true);
  // A write that fails only when the buffer is flushed must not end in "Finished.".
  if (!write_u32(patchStream, total) || std::fflush(patchStream) != 0) fail_write(session.patchName);
  reposition(patchStream);
  std::uint32_t count = 0;
  read_u32(patchStream, count);

  std::printf(" File %s contains patches for %lu file%s.\n"
              " filesize |   CRCold |   CRCnew | reloc | type | patchsize |  blocks\n",
              session.patchName, static_cast<unsigned long>(count), count == 1 ? "" : "s");
  const bool listed = walk_records(patchStream, stream_length(patchStream), count,
                                   [](std::int64_t, const RecordFields& record) {
                                     print_listing_row(record);
                                     return true;
                                   });
  if (!listed) fatal_exit(kUnexpectedEnd, 15, true);
}

}  // namespace vd
