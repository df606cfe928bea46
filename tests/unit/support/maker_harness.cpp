#include "support/maker_harness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "core/patch_format.h"
#include "core/temp_files.h"

namespace vd::test {
namespace {

AllocRule& current_rule() {
  static AllocRule rule;
  return rule;
}

std::vector<std::pair<std::size_t, std::size_t>>& requests() {
  static std::vector<std::pair<std::size_t, std::size_t>> log;
  return log;
}

std::uint8_t* image_of(Bytes& file) {
  // One byte more than the file, so that even an empty file has an address.
  file.reserve(file.size() + 1);
  return file.data() == nullptr ? nullptr : file.data();
}

}  // namespace

void set_alloc_rule(AllocRule rule) {
  current_rule() = std::move(rule);
  requests().clear();
}

void* scripted_alloc(std::size_t count, std::size_t size) {
  int earlier = 0;
  for (const auto& request : requests())
    if (request.first == count) ++earlier;
  requests().emplace_back(count, size);
  if (current_rule() && current_rule()(count, size, earlier)) return nullptr;
  return std::calloc(count, size);
}

const std::vector<std::pair<std::size_t, std::size_t>>& alloc_requests() { return requests(); }

AllocRule refuse_nothing() {
  return [](std::size_t, std::size_t, int) { return false; };
}

AllocRule refuse_3d() {
  return [](std::size_t count, std::size_t, int) { return count == k3DBuckets; };
}

AllocRule refuse_3d_and_2d() {
  return [](std::size_t count, std::size_t, int) { return count == k3DBuckets || count == k2DBuckets; };
}

SessionFiles::SessionFiles(Bytes oldFile, Bytes newFile, Bytes patchFile, int minBlock)
    : old(std::move(oldFile)), neu(std::move(newFile)), patch(std::move(patchFile)) {
  old.reserve(old.size() + 1);
  neu.reserve(neu.size() + 1);
  patch.reserve(patch.size() + 1);
  session.oldData = image_of(old);
  session.oldSize = static_cast<std::int32_t>(old.size());
  session.newData = image_of(neu);
  session.newSize = static_cast<std::int32_t>(neu.size());
  session.patchData = patch.empty() ? nullptr : image_of(patch);
  session.patchDataSize = static_cast<std::int32_t>(patch.size());
  session.minBlock = minBlock;
  session.oldName = "old";
  session.newName = "new";
  session.patchName = "patch";
  session.recordStart = patch.empty() ? static_cast<std::int32_t>(kHeaderSize)
                                      : static_cast<std::int32_t>(patch.size());
}

EncodeOutput run_encoder(int mode, const EncodeInput& input) {
  return run_coder(mode, input, [mode](MakerSession& session, MatchIndex& index, EncodeResult& result) {
    CarriedState carried;
    if (mode == 0 || index.old_lists().key_length() == 0)
      encode_mode3_linear(session, index, result, carried);
    else
      encode_mode(mode, session, index, result, carried);
  });
}

EncodeOutput run_coder(int mode, const EncodeInput& input, const Coder& code) {
  SessionFiles files(input.old, input.neu, input.patch, input.minBlock);
  MakerSession& session = files.session;
  session.blockListing = input.blockListing;
  session.verbose = input.blockListing;
  session.created = input.patch.empty();

  EncodeOutput output;
  output.recordStart = session.recordStart;
  set_alloc_rule(input.alloc);
  MatchIndex index(session, input.alloc ? &scripted_alloc : &std::calloc);
  testing::internal::CaptureStdout();
  output.hasLists = index.allocate(input.mem128, input.mem256);
  index.build_old_index(session.oldName);
  index.build_patch_index(session.patchName);
  output.indexNotes = testing::internal::GetCapturedStdout();

  EncodeResult& result = output.result;
  result.patchsize = 20;
  result.mode = output.hasLists && mode != 0 ? mode : 3;
  result.out = std::tmpfile();
  testing::internal::CaptureStdout();
  code(session, index, result);
  output.console = testing::internal::GetCapturedStdout();
  output.stream = read_whole_stream(result.out);
  close_file(result.out);
  result.out = nullptr;
  output.replacePosition = index.state.replacePosition;
  return output;
}

}  // namespace vd::test
