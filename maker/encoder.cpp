#include "maker/encoder.h"

#include "core/block_stream.h"
#include "core/break_signal.h"
#include "core/patch_format.h"
#include "maker/block_writer.h"
#include "maker/console.h"
#include "maker/match_cost.h"

namespace vd {
namespace {

class Encoder {
 public:
  Encoder(MakerSession& session, MatchIndex& index, EncodeResult& result, CarriedState& carried, int mode,
          bool linear, bool quiet)
      : session_(session),
        index_(index),
        result_(result),
        carried_(carried),
        writer_(result.out),
        mode_(mode),
        linear_(linear),
        showsProgress_(!quiet && !session.blockListing),
        listsBlocks_(!quiet && session.blockListing),
        dataLimit_(block_length_limit(mode)),
        farWidth_(far_width(session.oldSize, session.recordStart)),
        percent_(session.newSize) {}

  void run();

 private:
  std::optional<MatchCandidate> search(std::int64_t p) {
    return linear_ ? index_.find_match_linear(p) : index_.find_match(mode_, p);
  }
  void write_match(const MatchCandidate& match);
  void write_data();
  std::uint8_t choose_data_kind(std::int64_t count, const std::optional<MatchCandidate>& found);

  MakerSession& session_;
  MatchIndex& index_;
  EncodeResult& result_;
  CarriedState& carried_;
  BlockWriter writer_;
  const int mode_;
  const bool linear_;
  const bool showsProgress_;
  const bool listsBlocks_;
  const std::int64_t dataLimit_;
  const int farWidth_;
  std::int64_t current_ = 0;
  // The previous data block announced that the next match continues where it
  // said, so that match is written without position bytes.
  bool impliedPosition_ = false;
  RunningPercent percent_;
};

void Encoder::run() {
  index_.state = SearchState{.running = 0, .replacePosition = carried_.replacePosition};
  result_.blocks = 0;
  result_.identical = mode_ == 1 || carried_.identical;
  while (current_ < session_.newSize) {
    check_break();
    if (showsProgress_) percent_.show(current_);
    if (const auto match = search(current_))
      write_match(*match);
    else
      write_data();
    ++result_.blocks;
  }
  if (mode_ == 1 && result_.blocks > 1) result_.identical = false;
  carried_ = CarriedState{.replacePosition = index_.state.replacePosition, .identical = result_.identical};
  writer_.flush();
  result_.patchsize += writer_.written();
}

void Encoder::write_match(const MatchCandidate& match) {
  const std::int64_t start = current_;
  current_ = start + match.length;
  if (listsBlocks_) {
    const bool inOldfile = linear_ || match.position < session_.oldSize;
    list_match_block(start, match.length, inOldfile ? match.position : match.position - session_.oldSize,
                     inOldfile ? session_.oldName : session_.patchName);
  }
  write_match_header(writer_, mode_, match.length);
  if (impliedPosition_)
    impliedPosition_ = false;
  else
    write_match_position(writer_, mode_, match.position, index_.state.running, farWidth_);
  index_.state.running = match.position + match.length;
}

// Insert data when the match that ended the scan continues at the running
// position, replace data when it continues as many bytes further on as the
// data block holds; otherwise plain data.
std::uint8_t Encoder::choose_data_kind(std::int64_t count, const std::optional<MatchCandidate>& found) {
  const std::int64_t running = index_.state.running;
  index_.state.replacePosition = running + count;
  if (!found) return kKindPlain;
  if (found->position == running) {
    impliedPosition_ = true;
    return kKindInsert;
  }
  if (found->position == running + count) {
    impliedPosition_ = true;
    return kKindReplace;
  }
  return kKindPlain;
}

void Encoder::write_data() {
  if (mode_ == 1) result_.identical = false;
  const std::int64_t start = current_;
  std::int64_t count = 0;
  std::optional<MatchCandidate> found;
  while (start + count < session_.newSize && count < dataLimit_) {
    ++count;
    check_break();
    if (showsProgress_) percent_.show(start + count);
    found = search(start + count);
    if (found) break;
  }
  if (listsBlocks_) list_data_block(start, count);
  const std::uint8_t kind = has_data_kinds(mode_) ? choose_data_kind(count, found) : kKindPlain;
  write_data_header(writer_, mode_, count, kind);
  writer_.bytes(session_.newData + start, count);
  current_ = start + count;
}

}  // namespace

void encode_mode3_linear(MakerSession& session, MatchIndex& index, EncodeResult& result, CarriedState& carried) {
  Encoder(session, index, result, carried, 3, true, false).run();
}

void encode_mode(int mode, MakerSession& session, MatchIndex& index, EncodeResult& result, CarriedState& carried,
                 bool quiet) {
  Encoder(session, index, result, carried, mode, false, quiet).run();
}

}  // namespace vd
