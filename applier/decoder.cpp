#include "applier/decoder.h"

#include <fcntl.h>
#include <unistd.h>

#include "applier/console.h"
#include "applier/patch_reader.h"
#include "applier/read_window.h"
#include "core/block_stream.h"
#include "core/break_signal.h"
#include "core/crc32.h"
#include "core/files.h"
#include "core/reloc.h"
#include "core/run_state.h"
#include "core/temp_files.h"

namespace vd {
namespace {

// A crafted stream may repeat one long match again and again; stop at the
// limit instead of filling the disk.
void account_output(const DecodeJob& job, std::int64_t& produced, std::uint32_t length) {
  produced += length;
  if (produced > job.outputLimit) fatal_exit("Bad patchfile (new file too large)", 15, true);
}

// Four megabytes and a quarter: too much for the stack, and static storage
// cannot fail to be had. One block stream is decoded at a time.
struct DecodeBuffers {
  ReadWindow old;
  ReadWindow patch;
  OutputSink output;
};

void copy_match(const DecodeJob& job, const Block& block, std::int64_t bound, std::int64_t& produced,
                DecodeBuffers& buffers) {
  const std::int64_t p = block.position;
  if (p < 0 || p >= bound) fail_with(15, true, "Bad patchfile %s (position out of range)\n", job.patchName);
  account_output(job, produced, block.length);
  if (p < job.oldSize)
    buffers.old.copy_to(p, block.length, buffers.output);
  else
    buffers.patch.copy_to(p - job.oldSize, block.length, buffers.output);
}

// Whatever replaced the output since it was written must not make the run
// wait for ever, as a pipe would.
void reopen_output(NamedStream& output, int flags, const char* mode) {
  OpenFailure failure = OpenFailure::None;
  output.file = open_regular_file(output.name, flags, mode, failure);
  if (output.file == nullptr) fail_open(output.name, true);
}

// The block stream rebuilt the transformed new file; summing its relocation
// differences gives back the real one, which is what CRCnew describes.
void undo_transform(NamedStream& output) {
  reopen_output(output, O_RDWR, "r+b");
  reloc_transform_file(output.file, RelocDirection::Sum);
  close_or_fail(output);
}

// The output is opened without truncation: whatever it held beyond the bytes
// just decoded is cut off once they are all written and the file is closed.
void close_output_at_decoded_end(NamedStream& output) {
  const long decoded = std::ftell(output.file);
  close_or_fail(output);
  if (decoded < 0 || truncate(output.name, decoded) != 0)
    fail_with(15, true, "\nError while writing %s\n", output.name);
}

void verify_output(NamedStream& output, const RecordFields& fields) {
  close_output_at_decoded_end(output);
  if (fields.new_reloc() != 0) undo_transform(output);
  reopen_output(output, O_RDONLY, "rb");
  if (crc32_stream_mapped(output.file, true) != fields.crcNew)
    fail_with(15, true, " Patch failed - CRC error in %s\n", output.name);
}

}  // namespace

void execute_block_stream(const DecodeJob& job) {
  PatchReader reader(job.patchStream, job.patchName);
  BlockStreamParser parser(job.fields.mode(), far_width(job.fields.filesize, job.recordOffset));
  const std::int64_t bound = reference_bound(job.oldSize, job.patchLength, job.fields.patchsize);
  std::int64_t produced = 0;
  static DecodeBuffers buffers;
  buffers.old.attach(job.oldStream, job.oldName);
  buffers.patch.attach(job.patchStream, job.patchName);
  buffers.output.attach(job.output, job.outputName);
  for (std::uint32_t i = 0; i < job.fields.blocks; ++i) {
    check_break();
    Block block;
    if (!parser.next(reader, block)) fail_with(15, true, "\nError while reading %s\n", job.patchName);
    if (block.is_match()) {
      copy_match(job, block, bound, produced, buffers);
    } else {
      account_output(job, produced, block.length);
      reader.copy_to(buffers.output, block.length);
    }
  }
  buffers.output.flush();
}

void decode_record(ApplierSession& session, const ChosenRecord& record, std::int64_t oldSize,
                   std::int64_t patchLength) {
  const int mode = record.fields.mode();
  if (mode < 1 || mode > 4) fatal_exit("Bad patchfile (illegal block type)", 15, true);

  DecodeJob job;
  job.oldStream = session.old.file;
  job.oldName = session.old.name;
  job.oldSize = oldSize;
  job.patchStream = session.patch.file;
  job.patchName = session.patch.name;
  job.patchLength = patchLength;
  job.recordOffset = record.offset;
  job.fields = record.fields;
  job.output = session.output.file;
  job.outputName = session.output.name;
  execute_block_stream(job);

  verify_output(session.output, record.fields);
  if (!session.options.quiet) show_record_applied(record.identity);
}

}  // namespace vd
