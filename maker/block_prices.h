// The exact number of bytes of the forms the writer chooses, for one MODE
// and far width, so that an encoder can weigh whole streams before writing
// them.
#pragma once

#include <array>
#include <cstdint>

#include "core/block_forms.h"

namespace vd {

// Where a stream stands after some newfile bytes: the running position and
// the length of the open data block, or of its last block when a long run
// is split (0 when the stream ends in a match).
struct StreamState {
  std::int64_t running = 0;
  std::int64_t dataLength = 0;
};

// The search asks for these prices many times for every newfile byte: the
// headers of short blocks and the size of each position form are worked
// out once.
class BlockPrices {
 public:
  // `farWidth` is the MODE 3 far width in bytes (2, 3 or 4).
  BlockPrices(int mode, int farWidth);

  int data_header(std::int64_t length) const { return header(length); }
  int match_header(std::int64_t length) const { return header(length); }
  // Position bytes of a match at q after a match that ended at `running`,
  // when no insert or replace data announced it.
  int position(std::int64_t q, std::int64_t running) const {
    return formSizes_[static_cast<std::size_t>(position_form(mode_, q, running))];
  }
  // Whether a match right after data can carry no position: MODE 3 and 4.
  bool has_implied_positions() const { return has_data_kinds(mode_); }
  // Position bytes of a match at q from `state`: none where the data before
  // it can announce it.
  int position_after(std::int64_t q, const StreamState& state) const {
    if (state.dataLength > 0 && has_implied_positions() &&
        (q == state.running || q == state.running + state.dataLength))
      return 0;
    return position(q, state.running);
  }

 private:
  static constexpr std::size_t kShortLengths = 256;

  int header(std::int64_t length) const {
    return length < static_cast<std::int64_t>(kShortLengths) ? shortHeaders_[static_cast<std::size_t>(length)]
                                                             : header_size(mode_, length);
  }

  int mode_;
  std::array<std::uint8_t, kShortLengths> shortHeaders_{};
  std::array<int, 4> formSizes_{};
};

}  // namespace vd
